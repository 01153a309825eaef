// What the fuzz targets share: a scratch file per process, and a loud stop on a broken invariant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz_support {

// Stops the run with a message; libFuzzer records the input as a crash.
[[noreturn]] inline void Violated(const char* invariant) {
    std::fprintf(stderr, "invariant violated: %s\n", invariant);
    std::abort();
}

inline void Require(bool holds, const char* invariant) {
    if (!holds) Violated(invariant);
}

// A directory of its own for this process, made on first use and left for the system's cleanup of
// its temporary directory (libFuzzer ends a process without running destructors).
const std::string& ScratchDirectory();

// Puts the bytes into the file at path, replacing what it held.
void WriteFile(const std::string& path, const std::uint8_t* data, std::size_t size);

}  // namespace fuzz_support
