// The SZDD header and the status texts.
#include "szdd/szdd.h"

#include <algorithm>

namespace szdd {

bool ParseHeader(std::span<const std::uint8_t> bytes, Header* header) {
    if (bytes.size() < kHeaderSize || !std::equal(std::begin(kMagic), std::end(kMagic), bytes.begin()))
        return false;
    header->mode = bytes[kModeOffset];
    header->lastNameChar = bytes[kLastNameCharOffset];
    header->length = 0;
    for (std::size_t i = 0; i < 4; ++i) header->length |= static_cast<std::uint32_t>(bytes[kLengthOffset + i]) << (8 * i);
    return true;
}

void PutHeader(const Header& header, std::uint8_t* out) {
    std::copy(std::begin(kMagic), std::end(kMagic), out);
    out[kModeOffset] = header.mode;
    out[kLastNameCharOffset] = header.lastNameChar;
    for (std::size_t i = 0; i < 4; ++i) out[kLengthOffset + i] = static_cast<std::uint8_t>(header.length >> (8 * i));
}

const char* Describe(Status status) {
    switch (status) {
        case Status::ok: return "ok";
        case Status::notSzdd: return "not an SZDD file (no SZDD magic)";
        case Status::unknownMode: return "unknown SZDD compression mode";
        case Status::truncated: return "compressed data cut short";
        case Status::tooLong: return "compressed data go on past the length the header states";
        case Status::readFailed: return "read failed";
        case Status::writeFailed: return "write failed";
    }
    return "unknown status";
}

}  // namespace szdd
