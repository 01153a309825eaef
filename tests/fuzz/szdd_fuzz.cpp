// Fuzzes the SZDD expander with the input as a whole SZDD file, in memory and streamed in uneven
// pieces, and the compressor with the input as the data to round-trip.
//
// Invariants: the output never grows past the header's length (the streaming sink stops the run the
// moment it would); ok means exactly the header's length; both ways agree byte for byte; and
// Compress of the input expands back to it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "szdd/szdd.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz_support::Require;
using Bytes = std::vector<std::uint8_t>;

// The stream's one context: input handed out in pieces of varying size, as short reads from a pipe
// or a slow disk would give it, and output that must stay within the header's length.
struct UnevenStream {
    std::span<const std::uint8_t> data;
    std::size_t position;
    std::uint32_t state;
    Bytes written;
    std::uint32_t limit;
};

long ReadPiece(void* context, std::uint8_t* buffer, std::size_t size) {
    auto* source = static_cast<UnevenStream*>(context);
    source->state = source->state * 1103515245u + 12345u;
    const std::size_t piece = std::min<std::size_t>({size, source->data.size() - source->position,
                                                     1 + (source->state >> 16) % 700});
    std::memcpy(buffer, source->data.data() + source->position, piece);
    source->position += piece;
    return static_cast<long>(piece);
}

bool WritePiece(void* context, const std::uint8_t* data, std::size_t size) {
    auto* sink = static_cast<UnevenStream*>(context);
    Require(sink->written.size() + size <= sink->limit, "the expander never writes past the header's length");
    sink->written.insert(sink->written.end(), data, data + size);
    return true;
}

void CheckExpansion(std::span<const std::uint8_t> file) {
    Bytes out;
    const szdd::Result whole = szdd::Expand(file, &out);
    szdd::Header header;
    if (!szdd::ParseHeader(file, &header)) {
        Require(whole.status != szdd::Status::ok, "a file without a header does not expand");
        return;
    }
    Require(out.size() <= header.length, "the output is never longer than the header's length");
    Require(whole.written == out.size(), "the count written is the output's length");
    if (whole.status == szdd::Status::ok) Require(out.size() == header.length, "ok means the header's length");

    UnevenStream stream{file.subspan(szdd::kHeaderSize), 0, static_cast<std::uint32_t>(file.size()), {}, header.length};
    const szdd::Result streamed = szdd::ExpandData(header, {&stream, ReadPiece, WritePiece});
    Require(streamed.status == whole.status, "streamed and in-memory expansion agree on the status");
    Require(streamed.written == stream.written.size(), "the streamed count written is what the sink got");
    // A failed expansion may hold back some of what it decoded; what each delivered is the same bytes.
    if (streamed.status == szdd::Status::ok) Require(stream.written == out, "streamed and in-memory expansion agree");
    const std::size_t common = std::min(stream.written.size(), out.size());
    Require(std::equal(out.begin(), out.begin() + static_cast<long>(common), stream.written.begin()),
            "streamed and in-memory expansion deliver the same bytes");
}

void CheckRoundTrip(std::span<const std::uint8_t> input) {
    const Bytes packed = szdd::Compress(input);
    Bytes out;
    Require(szdd::Expand(packed, &out).status == szdd::Status::ok, "what Compress made expands");
    Require(out.size() == input.size() && std::equal(out.begin(), out.end(), input.begin()),
            "what Compress made expands back to its input");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> input(data, size);
    CheckExpansion(input);
    CheckRoundTrip(input);
    return 0;
}
