// The trailer's one reader and one writer, for the installer and mkpackage alike.
#include "package/package.h"

namespace {

constexpr BYTE kTrailerMagic[kTrailerMagicSize] = {'Q', 'P', 'K', 'G', 'C', 'R', 'C', '1'};
constexpr int kLengthOffset = kTrailerMagicSize;
constexpr int kCrcOffset = kTrailerMagicSize + 4;

void PutLittleEndian32(DWORD value, BYTE* bytes) {
    for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(value >> (8 * i));
}

}  // namespace

bool ReadTrailer(const BYTE* bytes, Trailer* trailer) {
    for (int i = 0; i < kTrailerMagicSize; ++i)
        if (bytes[i] != kTrailerMagic[i]) return false;
    trailer->payloadLength = LittleEndian32(bytes + kLengthOffset);
    trailer->payloadCrc = LittleEndian32(bytes + kCrcOffset);
    return true;
}

void WriteTrailer(const Trailer& trailer, BYTE* bytes) {
    for (int i = 0; i < kTrailerMagicSize; ++i) bytes[i] = kTrailerMagic[i];
    PutLittleEndian32(trailer.payloadLength, bytes + kLengthOffset);
    PutLittleEndian32(trailer.payloadCrc, bytes + kCrcOffset);
}
