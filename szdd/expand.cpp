// The SZDD expander: streaming through a fixed window, and a whole-file variant over memory.
#include <algorithm>
#include <cstring>
#include <memory>

#include "szdd/szdd.h"

namespace szdd {

namespace {

constexpr std::size_t kInputBlock = 64 * 1024;
constexpr std::size_t kWindowMask = kWindowSize - 1;

// Input bytes one at a time from a refilled block.
class Input {
public:
    explicit Input(const Stream& stream) : stream_(stream) {}
    // false at the end of the data; failed() tells a read failure from the end.
    bool Next(std::uint8_t* byte) {
        if (position_ == filled_ && !Refill()) return false;
        *byte = block_[position_++];
        return true;
    }
    bool failed() const { return failed_; }

private:
    bool Refill() {
        const long got = stream_.read(stream_.context, block_, kInputBlock);
        if (got <= 0) {
            failed_ = got < 0;
            return false;
        }
        filled_ = static_cast<std::size_t>(got);
        position_ = 0;
        return true;
    }
    const Stream& stream_;
    std::uint8_t block_[kInputBlock];
    std::size_t filled_ = 0;
    std::size_t position_ = 0;
    bool failed_ = false;
};

// The window doubles as the output buffer: each time it wraps, the bytes since the last flush go
// to the sink.
class Output {
public:
    Output(const Stream& stream, std::uint64_t limit) : stream_(stream), limit_(limit) {
        std::memset(window_, kWindowFill, sizeof window_);
    }
    std::uint8_t At(std::size_t position) const { return window_[position & kWindowMask]; }
    bool full() const { return produced_ == limit_; }
    // false once the header's length is reached or a write failed.
    bool Put(std::uint8_t byte) {
        if (full()) return false;
        window_[position_] = byte;
        position_ = (position_ + 1) & kWindowMask;
        ++produced_;
        return position_ != flushedUpTo_ || Flush();
    }
    bool Flush() {
        // Bytes from flushedUpTo_ up to position_, in one or two pieces of the ring.
        std::size_t pending = static_cast<std::size_t>(produced_ - delivered_);
        while (pending > 0) {
            const std::size_t piece = std::min(pending, kWindowSize - flushedUpTo_);
            if (!stream_.write(stream_.context, window_ + flushedUpTo_, piece)) {
                writeFailed_ = true;
                return false;
            }
            flushedUpTo_ = (flushedUpTo_ + piece) & kWindowMask;
            delivered_ += piece;
            pending -= piece;
        }
        return true;
    }
    std::uint64_t produced() const { return produced_; }
    std::uint64_t delivered() const { return delivered_; }
    bool writeFailed() const { return writeFailed_; }

private:
    const Stream& stream_;
    std::uint8_t window_[kWindowSize];
    std::size_t position_ = kWindowStart;
    std::size_t flushedUpTo_ = kWindowStart;
    std::uint64_t produced_ = 0;
    std::uint64_t delivered_ = 0;
    std::uint64_t limit_;
    bool writeFailed_ = false;
};

// COMPRESS may leave a few bytes behind the last item of a small file (a flag byte and a stray
// literal); more than this beyond the header's length means the header is wrong.
constexpr int kTrailingSlack = 8;

Status CheckTrailing(Input& in, int alreadyRead) {
    std::uint8_t ignored = 0;
    int trailing = alreadyRead;
    while (trailing <= kTrailingSlack && in.Next(&ignored)) ++trailing;
    return trailing > kTrailingSlack ? Status::tooLong : Status::ok;
}

Status Decode(Input& in, Output& out) {
    std::uint8_t flags = 0;
    for (;;) {
        if (!in.Next(&flags)) return Status::ok;
        for (int bit = 0; bit < 8; ++bit, flags >>= 1) {
            std::uint8_t first = 0;
            if (!in.Next(&first)) return Status::ok;
            if (out.full()) return CheckTrailing(in, bit == 0 ? 2 : 1);
            if (flags & 1) {
                out.Put(first);
                continue;
            }
            std::uint8_t second = 0;
            if (!in.Next(&second)) return Status::truncated;
            const std::size_t from = first | static_cast<std::size_t>(second & 0xF0) << 4;
            const std::size_t length = (second & 0x0F) + kMinMatch;
            for (std::size_t i = 0; i < length; ++i)
                if (!out.Put(out.At(from + i))) return out.full() ? Status::tooLong : Status::ok;
        }
    }
}

}  // namespace

Result ExpandData(const Header& header, const Stream& stream) {
    if (header.mode != kModeA) return {Status::unknownMode, 0};
    auto in = std::make_unique<Input>(stream);
    auto out = std::make_unique<Output>(stream, header.length);
    Status status = Decode(*in, *out);
    if (!out->writeFailed()) out->Flush();
    if (out->writeFailed()) status = Status::writeFailed;
    else if (in->failed()) status = Status::readFailed;
    else if (status == Status::ok && out->produced() < header.length) status = Status::truncated;
    return {status, out->delivered()};
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
    memory->out->insert(memory->out->end(), data, data + size);
    return true;
}

}  // namespace

Result Expand(std::span<const std::uint8_t> file, std::vector<std::uint8_t>* out) {
    Header header;
    out->clear();
    if (!ParseHeader(file, &header)) return {Status::notSzdd, 0};
    MemoryStream memory{file.subspan(kHeaderSize), out};
    return ExpandData(header, Stream{&memory, ReadMemory, WriteMemory});
}

}  // namespace szdd
