// Temporary directories and whole-file reads and writes for the tests.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

using Bytes = std::vector<std::uint8_t>;

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

Bytes ReadBytes(const std::string& path);
std::string ReadText(const std::string& path);
void WriteBytes(const std::string& path, const Bytes& bytes);
void WriteText(const std::string& path, const std::string& text);
bool Exists(const std::string& path);

// The names in a directory, sorted.
std::vector<std::string> ListDirectory(const std::string& path);

// The 256-byte marker that frames a payload.
Bytes Marker();

// Bytes that look like a program: varied, compressible, and free of marker runs.
Bytes SampleProgram(std::size_t size, unsigned seed = 1);

// A package: image padded to 40001, marker, payload, marker.
Bytes MakePackage(const Bytes& image, const Bytes& payload);

Bytes Concat(std::initializer_list<Bytes> parts);

// The trailer mkpackage writes after the second marker: magic, payload length, CRC-32 (zlib's).
Bytes Trailer(const Bytes& payload);

}  // namespace testing_support
