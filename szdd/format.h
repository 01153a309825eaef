// The SZDD header's fields, as plain constants: for the codec, and for a reader that has no C++
// standard library (the installer's own header check).
//
// Header: "SZDD" 0x88 0xF0 0x27 0x33, mode 'A', the expanded file name's last character (0 when
// unknown), the expanded length (32-bit little-endian).
#pragma once

namespace szdd {

constexpr decltype(sizeof 0) kHeaderSize = 14;
constexpr decltype(sizeof 0) kMagicSize = 8;
constexpr unsigned char kMagic[kMagicSize] = {'S', 'Z', 'D', 'D', 0x88, 0xF0, 0x27, 0x33};
constexpr decltype(sizeof 0) kModeOffset = 8;
constexpr decltype(sizeof 0) kLastNameCharOffset = 9;
constexpr decltype(sizeof 0) kLengthOffset = 10;  // 32-bit little-endian
constexpr unsigned char kModeA = 'A';

}  // namespace szdd
