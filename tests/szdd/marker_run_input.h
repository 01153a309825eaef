// An input whose optimal SZDD parse would spell a marker run, for the compressor and the packer.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <random>
#include <span>
#include <vector>

#include "szdd/szdd.h"
#include "tests/support/memory_stream.h"

namespace szdd_corpus {

using Bytes = std::vector<std::uint8_t>;

// Bytes whose three-byte strings all differ and hold no blank: nothing in them can be a match.
inline Bytes Unmatchable(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<bool> seen(1 << 24);
    Bytes bytes;
    while (bytes.size() < size) {
        const auto byte = static_cast<std::uint8_t>(random());
        if (byte == ' ') continue;
        if (bytes.size() >= 2) {
            const std::size_t key = bytes[bytes.size() - 2] << 16 | bytes[bytes.size() - 1] << 8 | byte;
            if (seen[key]) continue;
            seen[key] = true;
        }
        bytes.push_back(byte);
    }
    return bytes;
}

// A data stream that spells the run, if one can be built behind `literals` unmatchable literals:
// they fill the window, then come groups whose flag bytes, literals and match bytes count up 0x00,
// 0x01, ... 0xFE. Each match must copy from the unmatchable bytes alone, so that it is the only
// match of its length; whether it does depends on where the window stands, so some prefix
// lengths fail.
inline std::optional<Bytes> StreamSpellingTheRun(const Bytes& unmatchable, std::size_t literals) {
    Bytes stream;
    for (std::size_t i = 0; i < literals; i += 8) {
        stream.push_back(0xFF);
        stream.insert(stream.end(), unmatchable.begin() + static_cast<long>(i), unmatchable.begin() + static_cast<long>(i + 8));
    }
    std::size_t produced = literals;
    std::size_t filler = literals;
    unsigned next = 0;
    auto runOr = [&](std::uint8_t otherwise) { return next <= 0xFE ? static_cast<std::uint8_t>(next++) : otherwise; };
    while (next <= 0xFE) {
        const std::uint8_t flags = runOr(0);
        stream.push_back(flags);
        for (int bit = 0; bit < 8; ++bit) {
            if (flags >> bit & 1) {
                stream.push_back(runOr(unmatchable[filler++]));
                ++produced;
                continue;
            }
            const std::uint8_t first = runOr(0x00);
            const std::uint8_t second = runOr(0x80);  // past the run: 3 bytes from window position 0x800
            stream.insert(stream.end(), {first, second});
            const std::size_t source = first | (second & 0xF0u) << 4;
            const std::size_t length = (second & 0x0F) + szdd::kMinMatch;
            const std::size_t back = ((szdd::kWindowStart + produced - source - 1) & (szdd::kWindowSize - 1)) + 1;
            if (back > produced || produced - back + length > literals) return std::nullopt;
            produced += length;
        }
    }
    return stream;
}

inline Bytes InputWhoseOptimumHoldsARun() {
    const Bytes unmatchable = Unmatchable(3 * szdd::kWindowSize, 3);
    std::optional<Bytes> stream;
    for (std::size_t literals = szdd::kWindowSize; !stream; literals += 8) stream = StreamSpellingTheRun(unmatchable, literals);
    // Expand with a length no stream reaches, to learn the input's size.
    testing_support::MemoryStream io(*stream);
    szdd::ExpandData(szdd::Header{szdd::kModeA, 0, 0xFFFFFFFFu}, io.Stream());
    return io.Output();
}

}  // namespace szdd_corpus
