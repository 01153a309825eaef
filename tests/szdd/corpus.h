// The table of files the codec is tried on, shared by its tests and the benchmark.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

namespace szdd_corpus {

using Bytes = std::vector<std::uint8_t>;

struct Entry {
    std::string name;
    Bytes bytes;
};

// A real 32-bit PE, from Debian's i686 MinGW runtime; empty when that package is absent.
inline const char kPePath[] = "/usr/lib/gcc/i686-w64-mingw32/12-posix/libquadmath-0.dll";
inline const char kTextPath[] = "/usr/share/common-licenses/GPL-3";

inline Bytes ReadIfPresent(const char* path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline Bytes RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 random(seed);
    Bytes bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// A random block of `period` bytes, repeated: the repeats lie just inside, at or past the window.
inline Bytes Repeats(std::size_t period, std::size_t copies) {
    const Bytes block = RandomBytes(period, static_cast<unsigned>(period));
    Bytes bytes;
    for (std::size_t i = 0; i < copies; ++i) bytes.insert(bytes.end(), block.begin(), block.end());
    return bytes;
}

// Long runs of a few values with short noise between them, like a program's padding.
inline Bytes LongRuns() {
    Bytes bytes;
    std::mt19937 random(7);
    for (int run = 0; run < 200; ++run) {
        bytes.insert(bytes.end(), 100 + random() % 3000, static_cast<std::uint8_t>(run % 3 == 0 ? 0x00 : run % 3 == 1 ? 0xFF : ' '));
        for (int i = 0; i < 20; ++i) bytes.push_back(static_cast<std::uint8_t>(random()));
    }
    return bytes;
}

// The bytes 0x00 to 0xFE: the part of a package's marker that the installer's scan compares, the
// sequence the packer has the compressor avoid.
inline Bytes MarkerRun() {
    Bytes run(255);
    for (std::size_t i = 0; i < run.size(); ++i) run[i] = static_cast<std::uint8_t>(i);
    return run;
}

// The full table; pass false to leave out the large entries.
inline std::vector<Entry> Corpus(bool large = true) {
    std::vector<Entry> corpus = {
        {"empty", {}},
        {"one byte", {'Q'}},
        {"repeat 4095", Repeats(4095, 3)},
        {"repeat 4096", Repeats(4096, 3)},
        {"repeat 4097", Repeats(4097, 3)},
        {"long runs", LongRuns()},
        {"text", ReadIfPresent(kTextPath)},
    };
    if (large) {
        corpus.push_back({"random 1 MiB", RandomBytes(1 << 20, 1)});
        Bytes pe = ReadIfPresent(kPePath);
        if (!pe.empty()) corpus.push_back({"PE libquadmath-0.dll", std::move(pe)});
    }
    return corpus;
}

}  // namespace szdd_corpus
