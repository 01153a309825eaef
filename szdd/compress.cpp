// The SZDD compressor: the exact shortest parse, steered clear of a byte sequence to avoid.
//
// A literal costs 9 bits (8 for the byte, one flag bit) and a match 17, so the file's data take
// ceil(bits / 8) bytes, the final flag byte's unused bits included: the parse with the fewest bits
// is the smallest file. The shortest path runs backwards over the positions; at each one the
// longest match and every shorter length down to kMinMatch are the edges.
#include <algorithm>
#include <bit>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>

#include "szdd/longest_match.h"
#include "szdd/szdd.h"

namespace szdd {

namespace {

using Bits = std::uint64_t;
constexpr Bits kLiteralBits = 9;
constexpr Bits kMatchBits = 17;
constexpr Bits kUnreachable = std::numeric_limits<Bits>::max() / 2;
constexpr std::uint8_t kLiteral = 1;  // an edge's length: 1 for a literal, else the match length
// Up to this size a parse's bits stay below 2^32, as Parser::SolveBackwardFreely needs.
constexpr std::uint32_t kLargestFreeSolve = 1u << 28;

Bits EdgeBits(std::uint32_t length) { return length == kLiteral ? kLiteralBits : kMatchBits; }

// Edges the parse must not take: at one position, a bit per length (bit 1 the literal).
struct Ban {
    std::uint32_t position;
    std::uint32_t lengths;
};

class Bans {
public:
    bool empty() const { return bans_.empty(); }
    std::uint32_t At(std::uint32_t position) const {
        const auto it = std::lower_bound(bans_.begin(), bans_.end(), position,
                                         [](const Ban& ban, std::uint32_t p) { return ban.position < p; });
        return it != bans_.end() && it->position == position ? it->lengths : 0;
    }
    bool Banned(std::uint32_t position, std::uint32_t length) const { return At(position) >> length & 1; }
    void Add(std::uint32_t position, std::uint32_t length) {
        auto it = std::lower_bound(bans_.begin(), bans_.end(), position,
                                   [](const Ban& ban, std::uint32_t p) { return ban.position < p; });
        if (it == bans_.end() || it->position != position) it = bans_.insert(it, Ban{position, 0});
        it->lengths |= 1u << length;
    }

private:
    std::vector<Ban> bans_;  // sorted by position
};

// One item of an encoded parse and where its bytes and its flag byte went.
struct PlacedItem {
    std::uint32_t position;
    std::uint8_t length;
    std::size_t flagOffset;
    std::size_t begin;
    std::size_t end;
};

class Parser {
public:
    explicit Parser(std::span<const std::uint8_t> input)
        : input_(input), matches_(FindLongestMatches(input)), size_(static_cast<std::uint32_t>(input.size())) {}

    // The cheapest parse from every position to the end: toEnd_ and the first edge, choice_.
    void SolveBackward(const Bans& bans) {
        toEnd_.assign(size_ + 1, 0);
        choice_.assign(size_, kLiteral);
        if (bans.empty() && size_ <= kLargestFreeSolve) {
            SolveBackwardFreely();
        } else {
            for (std::uint32_t i = size_; i-- > 0;) ChooseAt(i, bans.At(i));
        }
    }

    // The cheapest parse from the start to every position.
    void SolveForward(const Bans& bans) {
        fromStart_.assign(size_ + 1, kUnreachable);
        fromStart_[0] = 0;
        for (std::uint32_t i = 0; i < size_; ++i) {
            const Bits here = fromStart_[i];
            if (here >= kUnreachable) continue;
            const std::uint32_t banned = bans.At(i);
            if (!(banned >> kLiteral & 1)) fromStart_[i + 1] = std::min(fromStart_[i + 1], here + kLiteralBits);
            for (std::uint32_t length = kMinMatch; length <= matches_.length[i]; ++length)
                if (!(banned >> length & 1)) fromStart_[i + length] = std::min(fromStart_[i + length], here + kMatchBits);
        }
    }

    // The cheapest parse that avoids the edge at position with length, given both solutions:
    // every such parse crosses the gap after position on some other edge.
    Bits CostWithout(std::uint32_t position, std::uint32_t length, const Bans& bans) const {
        Bits best = kUnreachable;
        const std::uint32_t first = position >= kMaxMatch ? position - (kMaxMatch - 1) : 0;
        for (std::uint32_t from = first; from <= position; ++from) {
            if (fromStart_[from] >= kUnreachable) continue;
            const std::uint32_t banned = bans.At(from);
            auto consider = [&](std::uint32_t l) {
                if (from + l <= position || (from == position && l == length) || (banned >> l & 1)) return;
                best = std::min(best, fromStart_[from] + EdgeBits(l) + toEnd_[from + l]);
            };
            consider(kLiteral);
            for (std::uint32_t l = kMinMatch; l <= matches_.length[from]; ++l) consider(l);
        }
        return best;
    }

    Bits bits() const { return toEnd_[0]; }

    // Writes the header and the chosen parse; records each item's place when asked.
    std::vector<std::uint8_t> Encode(std::uint8_t lastNameChar, std::vector<PlacedItem>* placed) const {
        std::vector<std::uint8_t> out(kHeaderSize + (bits() + 7) / 8);
        PutHeader(Header{kModeA, lastNameChar, size_}, out.data());
        std::uint8_t* const data = out.data();
        std::size_t at = kHeaderSize;
        std::size_t flagAt = 0;
        int itemsInGroup = 8;
        for (std::uint32_t i = 0; i < size_;) {
            if (itemsInGroup == 8) {
                flagAt = at++;
                data[flagAt] = 0;
                itemsInGroup = 0;
            }
            const std::uint32_t length = choice_[i];
            const std::size_t begin = at;
            if (length == kLiteral) {
                data[flagAt] |= static_cast<std::uint8_t>(1u << itemsInGroup);
                data[at++] = input_[i];
            } else {
                // Input byte i sits at window position (kWindowStart + i) mod kWindowSize.
                const std::uint32_t source = (kWindowStart + i - matches_.distance[i]) & (kWindowSize - 1);
                data[at++] = static_cast<std::uint8_t>(source);
                data[at++] = static_cast<std::uint8_t>((source >> 4 & 0xF0) | (length - kMinMatch));
            }
            if (placed != nullptr) placed->push_back(PlacedItem{i, static_cast<std::uint8_t>(length), flagAt, begin, at});
            ++itemsInGroup;
            i += length;
        }
        return out;
    }

private:
    // The same choice as ChooseAt's without bans, branch-free: the match edges from i end in
    // [i + kMinMatch, i + length[i]], at most 16 ends, and the cheapest of them, the farthest
    // among equal costs, is the least of keys (cost << 32) | ~end. Two overlapping spans of a
    // power of two cover the range; each level k keeps the least key of the 2^k ends from j on,
    // for the ends j ahead of i (a ring). Costs stay below 2^32 up to kLargestFreeSolve.
    void SolveBackwardFreely() {
        constexpr std::uint32_t kRing = 32;  // more than kMaxMatch + the widest span
        constexpr std::uint64_t kNone = ~std::uint64_t{0};
        // least[k][j % kRing]: the least key of the ends j to j + 2^k - 1.
        std::uint64_t least[5][kRing];
        for (auto& level : least) std::fill(std::begin(level), std::end(level), kNone);
        Bits* const toEnd = toEnd_.data();
        std::uint8_t* const choices = choice_.data();
        const std::uint8_t* const longest = matches_.length.data();
        const std::uint32_t size = size_;
        for (std::uint32_t i = size; i-- > 0;) {
            // The spans that start at the nearest match end, i + kMinMatch; none past the data.
            const std::uint32_t first = i + kMinMatch;
            const std::uint32_t slot = first & (kRing - 1);
            const std::uint64_t key1 = first <= size ? static_cast<std::uint64_t>(toEnd[first]) << 32 | ~first : kNone;
            const std::uint64_t key2 = std::min(key1, least[0][(first + 1) & (kRing - 1)]);
            const std::uint64_t key4 = std::min(key2, least[1][(first + 2) & (kRing - 1)]);
            const std::uint64_t key8 = std::min(key4, least[2][(first + 4) & (kRing - 1)]);
            const std::uint64_t key16 = std::min(key8, least[3][(first + 8) & (kRing - 1)]);
            least[0][slot] = key1;
            least[1][slot] = key2;
            least[2][slot] = key4;
            least[3][slot] = key8;
            least[4][slot] = key16;
            // The ends i + kMinMatch .. i + length, as two spans of 2^k; a length under kMinMatch
            // gives one end whose match is then not taken.
            const std::uint32_t length = longest[i];
            const std::uint32_t ends = length >= kMinMatch ? length - kMinMatch + 1 : 1;
            const int k = std::bit_width(ends) - 1;
            const std::uint64_t cheapest = std::min(least[k][slot], least[k][(first + ends - (1u << k)) & (kRing - 1)]);
            const Bits literal = toEnd[i + 1] + kLiteralBits;
            const Bits match = (cheapest >> 32) + kMatchBits;
            const bool takeMatch = (match < literal) & (length >= kMinMatch);
            toEnd[i] = takeMatch ? match : literal;
            choices[i] = takeMatch ? static_cast<std::uint8_t>(~static_cast<std::uint32_t>(cheapest) - i) : kLiteral;
        }
    }

    void ChooseAt(std::uint32_t i, std::uint32_t banned) {
        Bits best = banned >> kLiteral & 1 ? kUnreachable : toEnd_[i + 1] + kLiteralBits;
        std::uint8_t choice = kLiteral;
        // Longest first: on a tie the longer match wins, fewer items to decode.
        for (std::uint32_t length = matches_.length[i]; length >= kMinMatch; --length) {
            const Bits cost = toEnd_[i + length] + kMatchBits;
            if (cost < best && !(banned >> length & 1)) {
                best = cost;
                choice = static_cast<std::uint8_t>(length);
            }
        }
        toEnd_[i] = std::min(best, kUnreachable);
        choice_[i] = choice;
    }

    std::span<const std::uint8_t> input_;
    LongestMatches matches_;
    std::uint32_t size_;
    std::vector<Bits> toEnd_;
    std::vector<std::uint8_t> choice_;
    std::vector<Bits> fromStart_;
};

// The edge whose removal costs least among those that wrote the occurrence's bytes or its flag
// bytes.
std::optional<PlacedItem> CheapestBreak(const Parser& parser, const Bans& bans, const std::vector<PlacedItem>& placed,
                                 std::size_t runBegin, std::size_t runLength) {
    const std::size_t runEnd = runBegin + runLength;
    std::optional<PlacedItem> best;
    Bits bestBits = kUnreachable;
    for (const PlacedItem& item : placed) {
        const bool bytesInRun = item.begin < runEnd && item.end > runBegin;
        const bool flagInRun = item.flagOffset >= runBegin && item.flagOffset < runEnd;
        if (!bytesInRun && !flagInRun) continue;
        const Bits bits = parser.CostWithout(item.position, item.length, bans);
        if (bits < bestBits) {
            bestBits = bits;
            best = item;
        }
    }
    return best;
}

}  // namespace

std::optional<std::size_t> Find(std::span<const std::uint8_t> bytes, std::span<const std::uint8_t> sequence) {
    if (sequence.empty()) return std::nullopt;
    const auto at =
        std::search(bytes.begin(), bytes.end(), std::boyer_moore_horspool_searcher(sequence.begin(), sequence.end()));
    if (at == bytes.end()) return std::nullopt;
    return static_cast<std::size_t>(at - bytes.begin());
}

std::vector<std::uint8_t> CompressOptimal(std::span<const std::uint8_t> input, std::uint8_t lastNameChar) {
    Parser parser(input);
    parser.SolveBackward(Bans{});
    return parser.Encode(lastNameChar, nullptr);
}

std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> input, std::uint8_t lastNameChar,
                                   std::span<const std::uint8_t> avoid) {
    Parser parser(input);
    Bans bans;
    for (;;) {
        parser.SolveBackward(bans);
        std::vector<std::uint8_t> out = parser.Encode(lastNameChar, nullptr);
        const std::optional<std::size_t> run = Find(out, avoid);
        if (!run) return out;
        // Rare: take the next best parse at that spot and look again, since the change moves the
        // bytes after it. An all-literal stretch holds a 0xFF flag byte every nine bytes, so for a
        // sequence that cannot hold such a stretch the bans run out of occurrences before they run
        // out of parses.
        std::vector<PlacedItem> placed;
        parser.Encode(lastNameChar, &placed);
        parser.SolveForward(bans);
        const std::optional<PlacedItem> edge = CheapestBreak(parser, bans, placed, *run, avoid.size());
        if (!edge) throw std::runtime_error("SZDD: no parse avoids the given byte sequence");
        bans.Add(edge->position, edge->length);
    }
}

}  // namespace szdd
