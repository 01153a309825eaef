// The package read from outside, as mkpackage reads it: where the installer's scan finds each
// piece, whether the installer would take it, and the payload as a stream. Tool side only: it uses
// the C++ standard library, which the installer never links.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "package/package.h"

namespace package {

// The marker the installer scans for, as bytes to write.
std::vector<std::uint8_t> MarkerBytes();

// A package's pieces as the installer's scan finds them (offsets from the file's start).
struct Layout {
    std::uint64_t fileSize = 0;
    std::uint64_t firstMarker = 0;
    std::uint64_t payload = 0;
    std::uint64_t payloadLength = 0;
    std::uint64_t secondMarker = 0;
    std::uint64_t tail = 0;  // everything after the second marker, the trailer included
    // The scan compares a marker's first 255 bytes only; these tell whether its 256th is there
    // and 0xFF too.
    bool firstMarkerWhole = true;
    bool secondMarkerWhole = true;
    std::optional<Trailer> trailer;
};

// Finds the layout of the package at path by the installer's own scan. Returns an empty string,
// or why the installer could not install it ("damaged: ..."), or why the file could not be read.
// A trailer whose length disagrees with the markers' counts as damage; its CRC-32 is checked by
// PayloadReader, which reads the payload anyway.
std::string FindLayout(const std::string& path, Layout* layout);

// The payload's bytes from the package file, in blocks, with their CRC-32.
class PayloadReader {
public:
    PayloadReader(const std::string& path, const Layout& layout);
    ~PayloadReader();
    PayloadReader(const PayloadReader&) = delete;
    PayloadReader& operator=(const PayloadReader&) = delete;

    bool opened() const { return fd_ >= 0; }
    // Up to size bytes into buffer; 0 at the payload's end, negative on failure (errno set).
    long Read(std::uint8_t* buffer, std::size_t size);
    // Reads what is left of the payload into the CRC; false on a failed read.
    bool ReadToEnd();
    // True when the payload read so far is all of it and matches the trailer, or there is none.
    bool MatchesTrailer() const;
    DWORD crc() const { return crc_; }

private:
    int fd_ = -1;
    std::uint64_t remaining_;
    std::optional<Trailer> trailer_;
    DWORD crc_ = 0;
};

}  // namespace package
