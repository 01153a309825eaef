// The SZDD expander: streaming through a fixed buffer, and a whole-file variant over memory.
//
// Output goes into one straight buffer that keeps the last kWindowSize bytes in front of it (at
// first the window's blanks), so a match is a copy from a fixed distance back. When the buffer
// fills, its new bytes go to the sink and the last kWindowSize bytes move to the front. Whole
// groups (a flag byte and eight items) decode without per-byte checks while enough input, room and
// expected length remain; the rest, near the ends, goes item by item with every check.
#include <algorithm>
#include <bit>
#include <cstring>
#include <memory>

#include "szdd/szdd.h"

namespace szdd {

namespace {

constexpr std::size_t kInputBlock = 64 * 1024;
constexpr std::size_t kOutputBlock = 256 * 1024;
constexpr std::size_t kCopySlack = 32;  // a match copies kMaxMatch bytes whatever its length
constexpr std::size_t kGroupInput = 1 + 8 * 2;
constexpr std::size_t kGroupOutput = 8 * kMaxMatch;
// mscompress's file of an empty input holds one item past its length of 0: a flag byte and a
// literal 0x00. Nothing else that it writes goes past the last item, so nothing else is let through.
constexpr std::uint8_t kEmptyFileLeftover[] = {0x01, 0x00};
constexpr std::size_t kLiteralSlack = 8;  // literals are copied 8 bytes at a time, from up to the group's end

// Input bytes from a block that is refilled on demand, keeping what is left of the old one.
class Reader {
public:
    explicit Reader(const Stream& stream) : stream_(stream) {}

    // Makes at least `wanted` bytes available unless the data end first; returns how many are.
    std::size_t Ensure(std::size_t wanted) {
        while (available() < wanted && !ended_) {
            const std::size_t left = available();
            std::memmove(block_, next_, left);
            next_ = block_;
            end_ = block_ + left;
            const long got = stream_.read(stream_.context, block_ + left, sizeof block_ - left);
            if (got <= 0) {
                ended_ = true;
                failed_ = got < 0;
            } else {
                end_ += got;
            }
        }
        return available();
    }
    std::size_t available() const { return static_cast<std::size_t>(end_ - next_); }
    const std::uint8_t*& next() { return next_; }
    bool failed() const { return failed_; }

private:
    const Stream& stream_;
    std::uint8_t block_[kInputBlock];
    const std::uint8_t* next_ = block_;
    const std::uint8_t* end_ = block_;
    bool ended_ = false;
    bool failed_ = false;
};

class Writer {
public:
    explicit Writer(const Stream& stream) : stream_(stream) {
        std::memset(buffer_, kWindowFill, kWindowSize);
    }

    // Room for at least `wanted` more bytes, sliding the buffer when needed; false if a write failed.
    bool MakeRoom(std::size_t wanted) {
        if (static_cast<std::size_t>(bufferEnd() - out_) >= wanted) return true;
        if (!Flush()) return false;
        std::memmove(buffer_, out_ - kWindowSize, kWindowSize);
        discarded_ += static_cast<std::uint64_t>(out_ - buffer_) - kWindowSize;
        out_ = buffer_ + kWindowSize;
        flushed_ = out_;
        return true;
    }
    bool Flush() {
        if (out_ == flushed_) return true;
        if (!stream_.write(stream_.context, flushed_, static_cast<std::size_t>(out_ - flushed_))) return false;
        delivered_ += static_cast<std::uint64_t>(out_ - flushed_);
        flushed_ = out_;
        return true;
    }
    // The window position that the next byte takes.
    std::size_t windowPosition() const { return (kWindowStart + produced()) & (kWindowSize - 1); }
    std::uint64_t produced() const { return discarded_ + static_cast<std::uint64_t>(out_ - buffer_) - kWindowSize; }
    std::uint64_t delivered() const { return delivered_; }
    std::uint8_t*& out() { return out_; }
    std::size_t room() { return static_cast<std::size_t>(bufferEnd() - out_); }

private:
    std::uint8_t* bufferEnd() { return buffer_ + kWindowSize + kOutputBlock; }
    const Stream& stream_;
    std::uint8_t buffer_[kWindowSize + kOutputBlock + kCopySlack];
    std::uint8_t* out_ = buffer_ + kWindowSize;
    std::uint8_t* flushed_ = out_;
    std::uint64_t discarded_ = 0;
    std::uint64_t delivered_ = 0;
};

// How far back a match's window position lies from the next byte's: 1 to kWindowSize.
inline std::size_t DistanceBack(std::size_t nextPosition, std::size_t source) {
    return ((nextPosition - source - 1) & (kWindowSize - 1)) + 1;
}

// Copies kMaxMatch bytes from distance back (the match's length or more; the caller keeps
// kCopySlack bytes of room), with the result the format gives a byte-by-byte copy: where source
// and copy overlap, a distance under 8 repeats its first bytes.
inline void CopyMatch(std::uint8_t* out, std::size_t distance) {
    const std::uint8_t* from = out - distance;
    if (distance >= 8) {
        // Each word's source lies wholly before it, so word by word is byte by byte.
        std::uint64_t word;
        std::memcpy(&word, from, 8);
        std::memcpy(out, &word, 8);
        std::memcpy(&word, from + 8, 8);
        std::memcpy(out + 8, &word, 8);
        std::memcpy(&word, from + 16, 8);
        std::memcpy(out + 16, &word, 8);
        return;
    }
    // Byte by byte for the first 8, which then recur every kStep[distance]
    // bytes, a multiple of the distance.
    static constexpr std::uint8_t kStep[8] = {0, 8, 8, 6, 8, 5, 6, 7};
    std::uint64_t word;
    if (distance == 1) {
        word = *from * 0x0101010101010101u;
    } else {
        for (std::size_t i = 0; i < 8; ++i) out[i] = from[i];
        std::memcpy(&word, out, 8);
    }
    for (std::size_t at = 0; at < kMaxMatch; at += kStep[distance]) std::memcpy(out + at, &word, 8);
}

class Decoder {
public:
    Decoder(const Header& header, const Stream& stream) : length_(header.length), reader_(stream), writer_(stream) {}

    Result Run() {
        Status status = Decode();
        // A failed read looks like the end of the data to Decode, which may then call it cut short.
        if (status != Status::writeFailed && reader_.failed()) status = Status::readFailed;
        if (status == Status::ok && !writer_.Flush()) status = Status::writeFailed;
        if (status == Status::ok && writer_.produced() < length_) status = Status::truncated;
        return {status, writer_.delivered()};
    }

private:
    Status Decode() {
        unsigned flags = 0;
        int itemsLeft = 0;  // in the current group
        for (;;) {
            if (itemsLeft == 0) {
                if (!FastGroups()) return Status::writeFailed;
                if (reader_.Ensure(1) == 0) return Status::ok;
                if (writer_.produced() == length_) return CheckLeftover();
                flags = *reader_.next()++;
                itemsLeft = 8;
            }
            if (reader_.Ensure(1) == 0) return Status::ok;
            if (writer_.produced() == length_) return Status::tooLong;
            --itemsLeft;
            const bool literal = flags & 1;
            flags >>= 1;
            if (literal) {
                if (!writer_.MakeRoom(1)) return Status::writeFailed;
                *writer_.out()++ = *reader_.next()++;
                continue;
            }
            if (reader_.Ensure(2) < 2) return Status::truncated;
            const std::uint8_t* item = reader_.next();
            reader_.next() += 2;
            const std::size_t distance = DistanceBack(writer_.windowPosition(), item[0] | (item[1] & 0xF0u) << 4);
            const std::size_t matchLength = (item[1] & 0x0F) + kMinMatch;
            for (std::size_t i = 0; i < matchLength; ++i) {
                if (writer_.produced() == length_) return Status::tooLong;
                if (!writer_.MakeRoom(1)) return Status::writeFailed;
                std::uint8_t*& out = writer_.out();
                *out = *(out - distance);
                ++out;
            }
        }
    }

    // Data go on past the header's length at a group's start: an error but for mscompress's
    // leftover behind an empty file.
    Status CheckLeftover() {
        if (length_ != 0 || reader_.Ensure(sizeof kEmptyFileLeftover + 1) != sizeof kEmptyFileLeftover ||
            std::memcmp(reader_.next(), kEmptyFileLeftover, sizeof kEmptyFileLeftover) != 0)
            return Status::tooLong;
        reader_.next() += sizeof kEmptyFileLeftover;
        return Status::ok;
    }

    // Decodes whole groups while a full one fits in the input at hand, the room, and the length
    // still expected; false if a write failed. A run of literals goes as one copy of 8 bytes, so
    // the items cost a branch per match rather than one per item.
    bool FastGroups() {
        for (;;) {
            const std::uint64_t remaining = length_ - writer_.produced();
            if (remaining < kGroupOutput) return true;
            if (reader_.Ensure(kGroupInput + kLiteralSlack) < kGroupInput + kLiteralSlack) return true;
            if (!writer_.MakeRoom(kGroupOutput + kCopySlack)) return false;
            const std::uint8_t*& in = reader_.next();
            std::uint8_t*& out = writer_.out();
            // The last starts from which a whole group surely fits.
            const std::uint8_t* const inLimit = in + (reader_.available() - kGroupInput - kLiteralSlack);
            std::uint8_t* const outLimit =
                out + std::min<std::uint64_t>(remaining - kGroupOutput, writer_.room() - kGroupOutput - kCopySlack);
            // The window position of the byte at out is (out - windowOrigin) mod kWindowSize.
            const std::uintptr_t windowOrigin = reinterpret_cast<std::uintptr_t>(out) - writer_.windowPosition();
            while (in <= inLimit && out <= outLimit) {
                // Past the eight items, a 0 (ending any run of literals) and a 1: flags == 2 once
                // all eight are done.
                unsigned flags = *in++ | 0x200u;
                for (;;) {
                    const int literals = std::countr_one(flags);
                    std::memcpy(out, in, 8);
                    out += literals;
                    in += literals;
                    flags >>= literals;
                    if (flags == 2) break;
                    flags >>= 1;
                    const std::size_t next = (reinterpret_cast<std::uintptr_t>(out) - windowOrigin) & (kWindowSize - 1);
                    const std::size_t distance = DistanceBack(next, in[0] | (in[1] & 0xF0u) << 4);
                    const std::size_t matchLength = (in[1] & 0x0F) + kMinMatch;
                    in += 2;
                    CopyMatch(out, distance);
                    out += matchLength;
                }
            }
        }
    }

    std::uint64_t length_;
    Reader reader_;
    Writer writer_;
};

}  // namespace

Result ExpandData(const Header& header, const Stream& stream) {
    if (header.mode != kModeA) return {Status::unknownMode, 0};
    auto decoder = std::make_unique<Decoder>(header, stream);
    return decoder->Run();
}

namespace {

struct MemoryStream {
    std::span<const std::uint8_t> in;
    std::vector<std::uint8_t>* out;
};

long ReadMemory(void* context, std::uint8_t* buffer, std::size_t size) {
    auto* memory = static_cast<MemoryStream*>(context);
    const std::size_t n = std::min(size, memory->in.size());
    std::memcpy(buffer, memory->in.data(), n);
    memory->in = memory->in.subspan(n);
    return static_cast<long>(n);
}

bool WriteMemory(void* context, const std::uint8_t* data, std::size_t size) {
    auto* memory = static_cast<MemoryStream*>(context);
    const std::size_t at = memory->out->size();
    memory->out->resize(at + size);
    std::memcpy(memory->out->data() + at, data, size);
    return true;
}

// No SZDD data expand more than this: eight 18-byte matches from 17 bytes.
constexpr std::uint64_t kMostExpansion = 9;

}  // namespace

Result Expand(std::span<const std::uint8_t> file, std::vector<std::uint8_t>* out) {
    Header header;
    out->clear();
    if (!ParseHeader(file, &header)) return {Status::notSzdd, 0};
    out->reserve(static_cast<std::size_t>(std::min<std::uint64_t>(header.length, kMostExpansion * file.size())));
    MemoryStream memory{file.subspan(kHeaderSize), out};
    return ExpandData(header, Stream{&memory, ReadMemory, WriteMemory});
}

}  // namespace szdd
