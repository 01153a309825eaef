// The longest match per position, from a binary tree of the window's positions.
//
// A hash of each position's first three bytes roots a binary search tree of the window positions
// in its bucket, ordered by the kMaxMatch bytes that follow, newest at the root; any match of
// kMinMatch or more lies in the same tree. Inserting a position walks down from the root and
// passes its nearest neighbours in that order on both sides, which hold the longest match; the
// walk re-links the tree around the new root as it goes. A node older than the window ends the
// walk, and everything below it is older still. Two positions that agree on all kMaxMatch bytes
// are interchangeable, so the newer replaces the older and runs cost one step. Each step compares
// all kMaxMatch bytes at once and reads the order from the same compare.
#include "szdd/longest_match.h"

#include <algorithm>
#include <bit>
#include <stdexcept>
#include <thread>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "szdd/szdd.h"

namespace szdd {

namespace {

// The text: a window's worth and one byte that no walk reaches, kWindowSize blanks, then the input.
// Every inserted position lies more than kWindowSize past kNoNode, so the window test ends walks.
constexpr std::uint32_t kNoNode = 0;
constexpr std::uint32_t kBlanksStart = kWindowSize + 1;
constexpr std::uint32_t kInputStart = kBlanksStart + kWindowSize;
constexpr std::uint32_t kRingSize = 2 * kWindowSize;  // holds every position within reach
constexpr std::uint32_t kRingMask = kRingSize - 1;
constexpr std::size_t kTextPadding = 32;  // a compare reads 32 bytes from a position
constexpr std::uint32_t kRootBits = 16;

// Bit i of equal: a[i] == b[i]; of notAbove: a[i] <= b[i]; for i < 32.
struct Comparison {
    std::uint32_t equal;
    std::uint32_t notAbove;
};

#if defined(__SSE2__)
inline __m128i Load16(const std::uint8_t* bytes) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)); }

inline std::uint32_t Mask(__m128i bytes) { return static_cast<std::uint32_t>(_mm_movemask_epi8(bytes)); }

inline Comparison Compare32(const std::uint8_t* a, __m128i bHead, __m128i bTail) {
    const __m128i aHead = Load16(a);
    const __m128i aTail = Load16(a + 16);
    return {Mask(_mm_cmpeq_epi8(aHead, bHead)) | Mask(_mm_cmpeq_epi8(aTail, bTail)) << 16,
            Mask(_mm_cmpeq_epi8(_mm_max_epu8(aHead, bHead), bHead)) | Mask(_mm_cmpeq_epi8(_mm_max_epu8(aTail, bTail), bTail)) << 16};
}
#else
inline Comparison Compare32(const std::uint8_t* a, const std::uint8_t* b) {
    Comparison result{0, 0};
    for (std::uint32_t i = 0; i < 32; ++i) {
        result.equal |= static_cast<std::uint32_t>(a[i] == b[i]) << i;
        result.notAbove |= static_cast<std::uint32_t>(a[i] <= b[i]) << i;
    }
    return result;
}
#endif

class BinaryTreeFinder {
public:
    explicit BinaryTreeFinder(const std::uint8_t* text) : text_(text), roots_(1 << kRootBits, kNoNode), children_(2 * kRingSize, kNoNode) {}

    // Inserts the position and returns the longest match before it, up to limit bytes (limit >= 3).
    std::uint32_t Insert(std::uint32_t position, std::uint32_t limit, std::uint32_t* distance) {
        const std::uint8_t* current = text_ + position;
#if defined(__SSE2__)
        const __m128i head = Load16(current);
        const __m128i tail = Load16(current + 16);
#endif
        const std::uint32_t stop = 1u << limit;  // ends every common prefix at the limit
        std::uint32_t& root = roots_[((current[0] | current[1] << 8 | current[2] << 16) * 0x9E3779B1u) >> (32 - kRootBits)];
        std::uint32_t candidate = root;
        root = position;
        std::uint32_t* smaller = &children_[(position & kRingMask) * 2];
        std::uint32_t* larger = smaller + 1;
        std::uint32_t longest = 0;
        std::uint32_t longestDistance = 0;
        while (position - candidate <= kWindowSize) {
            const std::uint32_t* pair = &children_[(candidate & kRingMask) * 2];
            const std::uint8_t* earlier = text_ + candidate;
#if defined(__SSE2__)
            const Comparison comparison = Compare32(earlier, head, tail);
#else
            const Comparison comparison = Compare32(earlier, current);
#endif
            const std::uint32_t differ = ~comparison.equal;
            const std::uint32_t agree = static_cast<std::uint32_t>(std::countr_zero(differ | stop));
            const bool better = agree > longest;
            longest = better ? agree : longest;
            longestDistance = better ? position - candidate : longestDistance;
            const std::uint32_t left = pair[0];
            const std::uint32_t right = pair[1];
            if (agree == limit) {
                *smaller = left;
                *larger = right;
                *distance = longestDistance;
                return longest;
            }
            // The first byte that differs orders the two.
            const bool isSmaller = (comparison.notAbove & differ & (0 - differ)) != 0;
            std::uint32_t* const next = &children_[(candidate & kRingMask) * 2 + (isSmaller ? 1 : 0)];
            *(isSmaller ? smaller : larger) = candidate;
            smaller = isSmaller ? next : smaller;
            larger = isSmaller ? larger : next;
            candidate = isSmaller ? right : left;
        }
        *smaller = *larger = kNoNode;
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
    for (std::uint32_t position = begin - kWindowSize;
         position < begin && position + kMinMatch <= textEnd; ++position)
        finder.Insert(position, std::min<std::uint32_t>(kMaxMatch, textEnd - position), &distance);
    for (std::uint32_t position = begin; position < end; ++position) {
        const std::uint32_t longest = finder.Insert(position, std::min<std::uint32_t>(kMaxMatch, textEnd - position), &distance);
        if (longest < kMinMatch) continue;
        matches->length[position - kInputStart] = static_cast<std::uint8_t>(longest);
        matches->distance[position - kInputStart] = static_cast<std::uint16_t>(distance);
    }
}

// Stretches fixed by the input's size alone, so the output never depends on the machine.
constexpr std::size_t kStretchSize = 256 * 1024;
constexpr std::size_t kMostStretches = 4;

}  // namespace

LongestMatches FindLongestMatches(std::span<const std::uint8_t> input) {
    if (input.size() > 0xFFFFFFFFu - kInputStart - kTextPadding) throw std::length_error("input too large for SZDD");
    // The text the decoder's window sees, kWindowSize blanks, then the input, behind bytes out of reach.
    std::vector<std::uint8_t> text(kInputStart, kWindowFill);
    std::fill(text.begin(), text.begin() + kBlanksStart, 0);
    text.resize(kInputStart + input.size() + kTextPadding);
    std::copy(input.begin(), input.end(), text.begin() + kInputStart);
    const auto textEnd = static_cast<std::uint32_t>(kInputStart + input.size());
    // Positions with fewer than kMinMatch bytes left neither find nor give a match.
    const std::uint32_t lastStart = textEnd >= kInputStart + kMinMatch ? textEnd - kMinMatch + 1 : kInputStart;

    LongestMatches matches;
    matches.length.assign(input.size(), 0);
    matches.distance.assign(input.size(), 0);
    const std::size_t stretches = std::clamp<std::size_t>(input.size() / kStretchSize, 1, kMostStretches);
    const std::uint32_t span = lastStart - kInputStart;
    auto boundary = [&](std::size_t k) { return kInputStart + static_cast<std::uint32_t>(std::uint64_t{span} * k / stretches); };
    std::vector<std::thread> helpers;
    for (std::size_t k = 1; k < stretches; ++k)
        helpers.emplace_back(FindInStretch, text.data(), textEnd, boundary(k), boundary(k + 1), &matches);
    FindInStretch(text.data(), textEnd, boundary(0), boundary(1), &matches);
    for (std::thread& helper : helpers) helper.join();
    return matches;
}

}  // namespace szdd
