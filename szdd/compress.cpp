// The SZDD compressor: greedy longest matches found through hash chains.
#include <algorithm>

#include "szdd/szdd.h"

namespace szdd {

namespace {

constexpr std::size_t kHashBits = 15;
constexpr std::size_t kChainLimit = 256;
constexpr std::int64_t kNone = -1;

// The input seen as the decoder's window sees it: 4096 blanks, then the data. A match may reach
// back into the blanks.
class History {
public:
    explicit History(std::span<const std::uint8_t> input) : bytes_(kWindowSize, kWindowFill) {
        bytes_.insert(bytes_.end(), input.begin(), input.end());
        head_.assign(std::size_t{1} << kHashBits, kNone);
        previous_.assign(bytes_.size(), kNone);
    }
    std::size_t size() const { return bytes_.size(); }
    std::uint8_t operator[](std::size_t i) const { return bytes_[i]; }

    void Insert(std::size_t at) {
        if (at + kMinMatch > bytes_.size()) return;
        const std::size_t h = Hash(at);
        previous_[at] = head_[h];
        head_[h] = static_cast<std::int64_t>(at);
    }

    // The longest earlier occurrence of the bytes at `at`, within the window.
    void LongestMatch(std::size_t at, std::size_t* length, std::size_t* from) const {
        *length = 0;
        if (at + kMinMatch > bytes_.size()) return;
        const std::size_t limit = std::min(kMaxMatch, bytes_.size() - at);
        std::size_t steps = 0;
        for (std::int64_t candidate = head_[Hash(at)]; candidate != kNone && steps < kChainLimit;
             candidate = previous_[static_cast<std::size_t>(candidate)], ++steps) {
            const auto c = static_cast<std::size_t>(candidate);
            if (at - c > kWindowSize) break;
            std::size_t n = 0;
            while (n < limit && bytes_[c + n] == bytes_[at + n]) ++n;
            if (n > *length) {
                *length = n;
                *from = c;
                if (n == limit) break;
            }
        }
    }

private:
    std::size_t Hash(std::size_t at) const {
        const std::uint32_t v = bytes_[at] | bytes_[at + 1] << 8 | bytes_[at + 2] << 16;
        return (v * 2654435761u) >> (32 - kHashBits);
    }
    std::vector<std::uint8_t> bytes_;
    std::vector<std::int64_t> head_;
    std::vector<std::int64_t> previous_;
};

// Flag bytes and items, eight items to a flag byte.
class Writer {
public:
    explicit Writer(std::vector<std::uint8_t>* out) : out_(out) {}
    void Literal(std::uint8_t byte) {
        Begin();
        (*out_)[flagAt_] |= static_cast<std::uint8_t>(1u << count_++);
        out_->push_back(byte);
    }
    void Match(std::size_t windowPosition, std::size_t length) {
        Begin();
        ++count_;
        out_->push_back(static_cast<std::uint8_t>(windowPosition & 0xFF));
        out_->push_back(static_cast<std::uint8_t>((windowPosition >> 4 & 0xF0) | (length - kMinMatch)));
    }

private:
    void Begin() {
        if (count_ < 8) return;
        flagAt_ = out_->size();
        out_->push_back(0);
        count_ = 0;
    }
    std::vector<std::uint8_t>* out_;
    std::size_t flagAt_ = 0;
    int count_ = 8;
};

}  // namespace

std::vector<std::uint8_t> Compress(std::span<const std::uint8_t> input, std::uint8_t lastNameChar) {
    std::vector<std::uint8_t> out(kHeaderSize);
    Header header;
    header.lastNameChar = lastNameChar;
    header.length = static_cast<std::uint32_t>(input.size());
    PutHeader(header, out.data());

    History history(input);
    for (std::size_t i = 0; i < kWindowSize; ++i) history.Insert(i);
    Writer writer(&out);
    std::size_t at = kWindowSize;
    while (at < history.size()) {
        std::size_t length = 0;
        std::size_t from = 0;
        history.LongestMatch(at, &length, &from);
        if (length < kMinMatch) {
            writer.Literal(history[at]);
            history.Insert(at++);
            continue;
        }
        // Window position of the source: data byte i sits at (kWindowStart + i) mod 4096.
        writer.Match((from - kWindowSize + kWindowStart) & (kWindowSize - 1), length);
        for (std::size_t end = at + length; at < end; ++at) history.Insert(at);
    }
    return out;
}

}  // namespace szdd
