// The longest match per position, from a binary tree of the window's positions.
//
// Each two-byte prefix roots a binary search tree of the window positions that begin with it,
// ordered by the kMaxMatch bytes that follow, newest at the root. Inserting a position walks down
// from the root and passes its nearest neighbours in that order on both sides, which hold the
// longest match; the walk re-links the tree around the new root as it goes. A node older than the
// window ends the walk, and everything below it is older still. Two positions that agree on all
// kMaxMatch bytes are interchangeable, so the newer replaces the older and runs cost one step.
#include "szdd/longest_match.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <stdexcept>
#include <thread>

#include "szdd/szdd.h"

namespace szdd {

namespace {

constexpr std::uint32_t kNoNode = 0;  // text position 0, a blank never needed as a source
constexpr std::uint32_t kRingSize = 2 * kWindowSize;  // holds every position within reach
constexpr std::uint32_t kRingMask = kRingSize - 1;
constexpr std::size_t kTextPadding = 8;  // a word compare may read this far past the input

static_assert(std::endian::native == std::endian::little, "CommonPrefix counts equal bytes from a word's low end");

// How many bytes from `from` on the two texts share, at most limit.
inline std::uint32_t CommonPrefix(const std::uint8_t* a, const std::uint8_t* b, std::uint32_t from, std::uint32_t limit) {
    while (from < limit) {
        std::uint64_t wordA = 0;
        std::uint64_t wordB = 0;
        std::memcpy(&wordA, a + from, sizeof wordA);
        std::memcpy(&wordB, b + from, sizeof wordB);
        if (const std::uint64_t differ = wordA ^ wordB) return std::min(limit, from + (std::countr_zero(differ) >> 3));
        from += 8;
    }
    return limit;
}

class BinaryTreeFinder {
public:
    explicit BinaryTreeFinder(const std::uint8_t* text) : text_(text), roots_(1 << 16, kNoNode), children_(2 * kRingSize, kNoNode) {}

    // Inserts the position and returns the longest match before it, up to limit bytes (limit >= 3).
    // The steps are written without branches where the data decide, which a CPU cannot guess.
    std::uint32_t Insert(std::uint32_t position, std::uint32_t limit, std::uint32_t* distance) {
        const std::uint8_t* current = text_ + position;
        std::uint32_t& root = roots_[current[0] | current[1] << 8];
        std::uint32_t candidate = root;
        root = position;
        std::uint32_t* smaller = &children_[(position & kRingMask) * 2];     // left slot to fill next
        std::uint32_t* larger = &children_[(position & kRingMask) * 2 + 1];  // right slot to fill next
        std::uint32_t smallerAgree = 2;  // bytes shared with everything left of the walk; the root's key gives two
        std::uint32_t largerAgree = 2;
        std::uint32_t longest = 0;
        std::uint32_t longestDistance = 0;
        for (;;) {
            if (candidate == kNoNode || position - candidate > kWindowSize) {
                *smaller = *larger = kNoNode;
                break;
            }
            std::uint32_t* pair = &children_[(candidate & kRingMask) * 2];
            const std::uint8_t* earlier = text_ + candidate;
            const std::uint32_t agree = CommonPrefix(earlier, current, std::min(smallerAgree, largerAgree), limit);
            const bool better = agree > longest;
            longest = better ? agree : longest;
            longestDistance = better ? position - candidate : longestDistance;
            if (agree == limit) {
                *smaller = pair[0];
                *larger = pair[1];
                break;
            }
            const bool isSmaller = earlier[agree] < current[agree];
            *(isSmaller ? smaller : larger) = candidate;
            std::uint32_t* const next = pair + (isSmaller ? 1 : 0);
            smaller = isSmaller ? next : smaller;
            larger = isSmaller ? larger : next;
            smallerAgree = isSmaller ? agree : smallerAgree;
            largerAgree = isSmaller ? largerAgree : agree;
            candidate = *next;
        }
        *distance = longestDistance;
        return longest;
    }

private:
    const std::uint8_t* text_;
    std::vector<std::uint32_t> roots_;
    std::vector<std::uint32_t> children_;
};

// Finds the matches for the text positions [begin, end) of a stretch. The tree starts empty a
// window before begin: its nodes within reach, and so every walk, are then the same as if it had
// seen the whole text, and the stretches can be searched at the same time.
void FindInStretch(const std::uint8_t* text, std::uint32_t textEnd, std::uint32_t begin, std::uint32_t end,
                   LongestMatches* matches) {
    BinaryTreeFinder finder(text);
    std::uint32_t distance = 0;
    for (std::uint32_t position = std::max<std::uint32_t>(1, begin - kWindowSize);
         position < begin && position + kMinMatch <= textEnd; ++position)
        finder.Insert(position, std::min<std::uint32_t>(kMaxMatch, textEnd - position), &distance);
    for (std::uint32_t position = begin; position < end; ++position) {
        const std::uint32_t longest = finder.Insert(position, std::min<std::uint32_t>(kMaxMatch, textEnd - position), &distance);
        if (longest < kMinMatch) continue;
        matches->length[position - kWindowSize] = static_cast<std::uint8_t>(longest);
        matches->distance[position - kWindowSize] = static_cast<std::uint16_t>(distance);
    }
}

// Stretches fixed by the input's size alone, so the output never depends on the machine.
constexpr std::size_t kStretchSize = 256 * 1024;
constexpr std::size_t kMostStretches = 4;

}  // namespace

LongestMatches FindLongestMatches(std::span<const std::uint8_t> input) {
    if (input.size() > 0xFFFFFFFFu - 2 * kWindowSize) throw std::length_error("input too large for SZDD");
    // The text the decoder's window sees: kWindowSize blanks, then the input.
    std::vector<std::uint8_t> text(kWindowSize, kWindowFill);
    text.resize(kWindowSize + input.size() + kTextPadding);
    std::copy(input.begin(), input.end(), text.begin() + kWindowSize);
    const auto textEnd = static_cast<std::uint32_t>(kWindowSize + input.size());
    // Positions with fewer than kMinMatch bytes left neither find nor give a match.
    const std::uint32_t lastStart = textEnd >= kWindowSize + kMinMatch ? textEnd - kMinMatch + 1 : kWindowSize;

    LongestMatches matches;
    matches.length.assign(input.size(), 0);
    matches.distance.assign(input.size(), 0);
    const std::size_t stretches = std::clamp<std::size_t>(input.size() / kStretchSize, 1, kMostStretches);
    const std::uint32_t span = lastStart - kWindowSize;
    auto boundary = [&](std::size_t k) { return kWindowSize + static_cast<std::uint32_t>(std::uint64_t{span} * k / stretches); };
    std::vector<std::thread> helpers;
    for (std::size_t k = 1; k < stretches; ++k)
        helpers.emplace_back(FindInStretch, text.data(), textEnd, boundary(k), boundary(k + 1), &matches);
    FindInStretch(text.data(), textEnd, boundary(0), boundary(1), &matches);
    for (std::thread& helper : helpers) helper.join();
    return matches;
}

}  // namespace szdd
