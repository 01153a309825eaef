// The tests' one szdd::Stream over memory: the input handed out in pieces, the output kept, and a
// read or a write made to fail on request.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <span>
#include <vector>

#include "szdd/szdd.h"

namespace testing_support {

class MemoryStream {
public:
    explicit MemoryStream(std::span<const std::uint8_t> input) : input_(input) {}

    // Each read delivers at most `most` bytes, as short reads from a pipe or a slow disk would.
    MemoryStream& InPiecesOf(std::size_t most) {
        most_ = most;
        return *this;
    }
    // Each read delivers 1 to `most` bytes, the sizes drawn from a generator seeded with `seed`.
    MemoryStream& InUnevenPieces(std::uint32_t seed, std::size_t most) {
        uneven_ = true;
        state_ = seed;
        most_ = most;
        return *this;
    }
    // Reads fail once fewer than `left` input bytes remain, so that some output comes first.
    MemoryStream& FailReadsWithLessThan(std::size_t left) {
        failReadsBelow_ = left;
        return *this;
    }
    MemoryStream& FailWrites() {
        failWrites_ = true;
        return *this;
    }

    szdd::Stream Stream() { return szdd::Stream{this, &Read, &Write}; }
    const std::vector<std::uint8_t>& Output() const { return output_; }

private:
    static long Read(void* context, std::uint8_t* buffer, std::size_t size) {
        auto* self = static_cast<MemoryStream*>(context);
        if (self->input_.size() < self->failReadsBelow_) return -1;
        std::size_t piece = self->most_;
        if (self->uneven_) {
            self->state_ = self->state_ * 1103515245u + 12345u;
            piece = 1 + (self->state_ >> 16) % self->most_;
        }
        const std::size_t n = std::min({size, piece, self->input_.size()});
        std::memcpy(buffer, self->input_.data(), n);
        self->input_ = self->input_.subspan(n);
        return static_cast<long>(n);
    }
    static bool Write(void* context, const std::uint8_t* data, std::size_t size) {
        auto* self = static_cast<MemoryStream*>(context);
        if (self->failWrites_) return false;
        self->output_.insert(self->output_.end(), data, data + size);
        return true;
    }

    std::span<const std::uint8_t> input_;
    std::vector<std::uint8_t> output_;
    std::size_t most_ = std::numeric_limits<std::size_t>::max();
    bool uneven_ = false;
    std::uint32_t state_ = 0;
    std::size_t failReadsBelow_ = 0;
    bool failWrites_ = false;
};

}  // namespace testing_support
