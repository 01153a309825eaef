// The compressor's match finder: for every input position, the longest match the window offers.
//
// A match of length L at some distance also gives every shorter length down to kMinMatch at the
// same distance, so the longest match per position is all an exact parse needs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace szdd {

struct LongestMatches {
    // length[i]: the longest match at input position i, 0 when shorter than kMinMatch.
    std::vector<std::uint8_t> length;
    // distance[i]: how far back its source starts, 1 to kWindowSize; the initial blanks count as
    // the window's content before the first input byte.
    std::vector<std::uint16_t> distance;
};

LongestMatches FindLongestMatches(std::span<const std::uint8_t> input);

}  // namespace szdd
