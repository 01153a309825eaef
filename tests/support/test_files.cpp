// Temporary directories and whole-file helpers for the tests.
#include "tests/support/test_files.h"

#include <stdlib.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace testing_support {

TempDir::TempDir() {
    // An 8.3 name: its short path is itself, so no alias depends on what else is in /tmp.
    std::string pattern = (std::filesystem::temp_directory_path() / "qtXXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may leave read-only directories behind; make them removable first.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ignored);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ignored))
        std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, std::filesystem::perm_options::add,
                                 ignored);
    std::filesystem::remove_all(path_, ignored);
}

Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::string ReadText(const std::string& path) {
    const Bytes bytes = ReadBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void WriteText(const std::string& path, const std::string& text) { WriteBytes(path, Bytes(text.begin(), text.end())); }

bool Exists(const std::string& path) { return std::filesystem::exists(path); }

std::vector<std::string> ListDirectory(const std::string& path) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

Bytes Marker() {
    Bytes marker(256);
    for (int i = 0; i < 256; ++i) marker[i] = static_cast<std::uint8_t>(i);
    return marker;
}

Bytes SampleProgram(std::size_t size, unsigned seed) {
    // Words from a small vocabulary with random numbers between: compressible, never a marker run.
    static const char* const kWords[] = {"Quendolin ", "screen ", "saver ", "\x90\x90\x90", "MZ", "PE\0\0", "kernel32 "};
    std::mt19937 random(seed);
    Bytes bytes;
    while (bytes.size() < size) {
        const std::string word = kWords[random() % 7];
        bytes.insert(bytes.end(), word.begin(), word.end());
        bytes.push_back(static_cast<std::uint8_t>(0x80 + random() % 0x7F));
    }
    bytes.resize(size);
    return bytes;
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
    return all;
}

Bytes MakePackage(const Bytes& image, const Bytes& payload) {
    Bytes package = image;
    if (package.size() < 40001) package.resize(40001, 0);
    return Concat({package, Marker(), payload, Marker()});
}

Bytes Trailer(const Bytes& payload) {
    Bytes trailer{'Q', 'P', 'K', 'G', 'C', 'R', 'C', '1'};
    const auto crc = static_cast<std::uint32_t>(crc32(0, payload.data(), static_cast<uInt>(payload.size())));
    for (const std::uint32_t value : {static_cast<std::uint32_t>(payload.size()), crc})
        for (int i = 0; i < 4; ++i) trailer.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return trailer;
}

}  // namespace testing_support
