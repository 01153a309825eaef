// The SZDD format, as COMPRESS writes it and EXPAND and LZ32 read it: a 14-byte header (format.h),
// then LZSS data over a 4096-byte window that starts filled with blanks.
//
// Data: a flag byte whose bits, lowest first,
// tell for each of the next eight items whether it is a literal byte (1) or a match (0). A match is
// two bytes: window position = b0 | (b1 & 0xF0) << 4, length = (b1 & 0x0F) + 3. Bytes are written
// to the window from position 4096 - 16 on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "szdd/format.h"

namespace szdd {

constexpr std::size_t kWindowSize = 4096;
constexpr std::size_t kWindowStart = kWindowSize - 16;
constexpr std::uint8_t kWindowFill = ' ';
constexpr std::size_t kMinMatch = 3;
constexpr std::size_t kMaxMatch = 18;

struct Header {
    std::uint8_t mode = kModeA;
    std::uint8_t lastNameChar = 0;
    std::uint32_t length = 0;  // of the expanded file
};

// Reads a header; false when the bytes are fewer than 14 or lack the magic.
bool ParseHeader(std::span<const std::uint8_t> bytes, Header* header);
void PutHeader(const Header& header, std::uint8_t* out);

enum class Status {
    ok,
    notSzdd,         // no SZDD magic
    unknownMode,     // a mode other than 'A'
    truncated,       // the data end before the header's length is reached, or inside a match
    tooLong,         // the data go on past the header's length
    readFailed,
    writeFailed,
};

const char* Describe(Status status);

struct Result {
    Status status = Status::ok;
    std::uint64_t written = 0;  // bytes delivered to the sink
};

// Where the streaming expander takes its input and puts its output.
// read: up to size bytes into buffer; returns how many, 0 at the end, negative on failure.
// write: all size bytes, or false on failure.
struct Stream {
    void* context;
    long (*read)(void* context, std::uint8_t* buffer, std::size_t size);
    bool (*write)(void* context, const std::uint8_t* data, std::size_t size);
};

// Expands the data that follow a header, which the caller has already read. Memory stays fixed
// (one window and one block each way) whatever the header claims; output stops at the header's
// length, and data that go on past it are an error (tooLong), but for the flag byte and literal
// 0x00 that mscompress writes for an empty file.
Result ExpandData(const Header& header, const Stream& stream);

// Expands a whole SZDD file held in memory. The output grows with the data actually decoded, never
// with what the header claims alone.
Result Expand(std::span<const std::uint8_t> file, std::vector<std::uint8_t>* out);

// Compresses into a whole SZDD file, header included: the smallest file the format allows among
// those that nowhere contain the byte sequence `avoid` (none when empty), for a caller that frames
// the file with that sequence. Equal to CompressOptimal's file except where that one holds it.
// Throws std::length_error for an input the 32-bit length field cannot state, and
// std::runtime_error when no parse avoids the sequence. One of nine bytes or more without 0xFF can
// always be avoided past the header, since every eight literals follow a flag byte 0xFF.
std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> input, std::uint8_t lastNameChar = 0,
                                   std::span<const std::uint8_t> avoid = {});

// The smallest SZDD file for the input, whatever it contains: the optimal parse, where a literal
// costs 9 bits and a match 17. For measuring, and for comparing Compress against.
std::vector<std::uint8_t> CompressOptimal(std::span<const std::uint8_t> input, std::uint8_t lastNameChar = 0);

// The offset of the first occurrence of sequence in bytes, if any (none for an empty sequence).
std::optional<std::size_t> Find(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> sequence);

}  // namespace szdd
