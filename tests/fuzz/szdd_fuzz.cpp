// Fuzzes the SZDD expander with the input as a whole SZDD file, in memory and streamed in uneven
// pieces, and the compressor with the input as the data to round-trip.
//
// Invariants: the output never grows past the header's length (the streaming sink keeps all it is
// given, so any byte beyond shows); ok means exactly the header's length; both ways agree byte for
// byte; and Compress of the input expands back to it.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "szdd/szdd.h"
#include "tests/fuzz/fuzz_support.h"
#include "tests/support/memory_stream.h"

namespace {

using fuzz_support::Require;
using Bytes = std::vector<std::uint8_t>;

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

    // Input in pieces of varying size, as short reads from a pipe or a slow disk would give it.
    testing_support::MemoryStream stream(file.subspan(szdd::kHeaderSize));
    stream.InUnevenPieces(static_cast<std::uint32_t>(file.size()), 700);
    const szdd::Result streamed = szdd::ExpandData(header, stream.Stream());
    const Bytes& written = stream.Output();
    Require(written.size() <= header.length, "the expander never writes past the header's length");
    Require(streamed.status == whole.status, "streamed and in-memory expansion agree on the status");
    Require(streamed.written == written.size(), "the streamed count written is what the sink got");
    // A failed expansion may hold back some of what it decoded; what each delivered is the same bytes.
    if (streamed.status == szdd::Status::ok) Require(written == out, "streamed and in-memory expansion agree");
    const std::size_t common = std::min(written.size(), out.size());
    Require(std::equal(out.begin(), out.begin() + static_cast<long>(common), written.begin()),
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
