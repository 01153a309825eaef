// Fuzzes FindMarker over a real file: from a chosen start it must find the first run of the bytes
// 0x00..0xFE that a plain scan finds, or report -1, and leave the file just past the marker.
//
// Input: 4 bytes start offset, 2 bytes insertion point, 1 byte prefix length, then the file. The
// first <prefix length> marker bytes are inserted at the insertion point, so that whole and broken
// markers, which random bytes almost never hold, turn up at every place.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <vector>

#include "package/package.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz_support::Require;
using Bytes = std::vector<std::uint8_t>;

Bytes MarkerPrefix(std::size_t length) {
    Bytes prefix(length);
    for (std::size_t i = 0; i < length; ++i) prefix[i] = static_cast<std::uint8_t>(i);
    return prefix;
}

// The distance from start to the first 255-byte run 0x00..0xFE, or -1.
long ReferenceScan(const Bytes& file, std::size_t start) {
    for (std::size_t at = start; at + kMarkerMatched <= file.size(); ++at) {
        std::size_t matched = 0;
        while (matched < kMarkerMatched && file[at + matched] == matched) ++matched;
        if (matched == kMarkerMatched) return static_cast<long>(at - start);
    }
    return -1;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::uint32_t startChoice = input.ConsumeIntegral<std::uint32_t>();
    const std::uint16_t insertChoice = input.ConsumeIntegral<std::uint16_t>();
    const std::uint8_t prefixLength = input.ConsumeIntegral<std::uint8_t>();
    Bytes file = input.ConsumeRemainingBytes<std::uint8_t>();
    const Bytes prefix = MarkerPrefix(prefixLength);
    file.insert(file.begin() + static_cast<long>(insertChoice % (file.size() + 1)), prefix.begin(), prefix.end());
    const std::size_t start = startChoice % (file.size() + 1);

    static const std::string path = fuzz_support::ScratchDirectory() + "/package.bin";
    fuzz_support::WriteFile(path, file.data(), file.size());
    const HFILE package = _lopen(path.c_str(), OF_READ);
    Require(package != HFILE_ERROR, "the package opens");
    Require(_llseek(package, static_cast<LONG>(start), 0) == static_cast<LONG>(start), "the start can be set");

    const LONG found = FindMarker(package);
    Require(found == ReferenceScan(file, start), "FindMarker finds the first marker, as a plain scan does");
    if (found >= 0) {
        const std::size_t marker = start + static_cast<std::size_t>(found);
        for (std::size_t i = 0; i < static_cast<std::size_t>(kMarkerMatched); ++i)
            Require(file[marker + i] == i, "the bytes at the result are 0x00..0xFE");
        Require(_llseek(package, 0, 1) == static_cast<LONG>(marker + kMarkerSize), "the file stands past the marker");
    }
    _lclose(package);
    return 0;
}
