// Fuzzes mkpackage inspect over arbitrary packages: it ends with 0 or 1, never worse, and a package
// it calls whole extracts to exactly the length its payload's header states.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "szdd/szdd.h"
#include "tests/fuzz/fuzz_support.h"
#include "tools/mkpackage_commands.h"

using fuzz_support::Require;

namespace {

// Just past the first run of the bytes 0x00..0xFE at or after offset 40001 (and the byte after
// it), as the installer's scan takes it; size when there is none.
std::size_t PayloadStart(const std::uint8_t* data, std::size_t size) {
    for (std::size_t at = 40001; at + 255 <= size; ++at) {
        std::size_t matched = 0;
        while (matched < 255 && data[at + matched] == matched) ++matched;
        if (matched == 255) return at + 256;
    }
    return size;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The layout tables would drown the fuzzer's own output; errors on stderr stay visible.
    Require(std::freopen("/dev/null", "w", stdout) != nullptr, "stdout can be silenced");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string package = fuzz_support::ScratchDirectory() + "/package";
    const std::string saver = fuzz_support::ScratchDirectory() + "/saver.scr";
    fuzz_support::WriteFile(package, data, size);
    std::filesystem::remove(saver);

    const int inspected = RunMkpackage({"inspect", package});
    Require(inspected == 0 || inspected == 1, "inspect exits 0 or 1");
    const int extracted = RunMkpackage({"extract", package, "-o", saver});
    Require(extracted == inspected, "extract agrees with inspect");
    Require(std::filesystem::exists(saver) == (extracted == 0), "a saver is written exactly when extract succeeds");
    if (extracted == 0) {
        const std::size_t payload = PayloadStart(data, size);
        szdd::Header header;
        Require(payload < size && szdd::ParseHeader({data + payload, size - payload}, &header),
                "a whole package has an SZDD header after its first marker");
        Require(std::filesystem::file_size(saver) == header.length, "the saver has the header's length");
    }
    return 0;
}
