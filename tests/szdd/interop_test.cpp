// The codec against the peers, used as black boxes: our files expand right with msexpand and with
// libmspack, and the files mscompress makes expand right with ours.
#include <gtest/gtest.h>
#include <mspack.h>

#include <cstdlib>
#include <string>

#include "szdd/szdd.h"
#include "tests/support/test_files.h"
#include "tests/szdd/corpus.h"

namespace {

using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::WriteBytes;

bool Installed(const char* program) {
    const std::string command = std::string("command -v ") + program + " >/dev/null 2>&1";
    return std::system(command.c_str()) == 0;
}

// msexpand < in > out; its output, or nothing when it fails.
Bytes WithMsexpand(const std::string& in, const std::string& out) {
    const std::string command = "msexpand < '" + in + "' > '" + out + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadBytes(out);
}

Bytes WithLibmspack(const std::string& in, const std::string& out) {
    msszdd_decompressor* decompressor = mspack_create_szdd_decompressor(nullptr);
    const int error = decompressor->decompress(decompressor, in.c_str(), out.c_str());
    mspack_destroy_szdd_decompressor(decompressor);
    EXPECT_EQ(error, MSPACK_ERR_OK);
    return ReadBytes(out);
}

// mscompress FILE writes FILE_ beside it.
Bytes WithMscompress(const std::string& path) {
    const std::string command = "mscompress '" + path + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return ReadBytes(path + "_");
}

TEST(SzddPeers, OurFilesExpandToTheOriginalWithMsexpandAndLibmspack) {
    if (!Installed("msexpand")) GTEST_SKIP() << "msexpand absent (Debian package mscompress)";
    testing_support::TempDir dir;
    int index = 0;
    for (const auto& entry : szdd_corpus::Corpus()) {
        SCOPED_TRACE(entry.name);
        const std::string packed = dir / ("file" + std::to_string(index++) + ".sz_");
        WriteBytes(packed, szdd::Compress(entry.bytes));
        EXPECT_EQ(WithMsexpand(packed, dir / "by-msexpand"), entry.bytes);
        EXPECT_EQ(WithLibmspack(packed, dir / "by-libmspack"), entry.bytes);
    }
}

TEST(SzddPeers, MscompressFilesExpandWithOursAsWithMsexpand) {
    if (!Installed("mscompress") || !Installed("msexpand")) GTEST_SKIP() << "mscompress absent (Debian package mscompress)";
    testing_support::TempDir dir;
    int index = 0;
    for (const auto& entry : szdd_corpus::Corpus()) {
        SCOPED_TRACE(entry.name);
        const std::string plain = dir / ("file" + std::to_string(index++));
        WriteBytes(plain, entry.bytes);
        const Bytes packed = WithMscompress(plain);
        Bytes ours;
        const szdd::Result result = szdd::Expand(packed, &ours);
        EXPECT_EQ(result.status, szdd::Status::ok) << szdd::Describe(result.status);
        // msexpand decodes all the data and ignores the stated length, which ours (as LZ32)
        // keeps to: mscompress's empty file holds a stray literal past its length of 0.
        Bytes theirs = WithMsexpand(plain + "_", dir / "by-msexpand");
        szdd::Header header;
        ASSERT_TRUE(szdd::ParseHeader(packed, &header));
        if (theirs.size() > header.length) theirs.resize(header.length);
        EXPECT_EQ(ours, theirs);
        // mscompress 0.4 writes wrong data for files under 16 bytes (one byte "Q" becomes 0x00);
        // from there on its files hold the original.
        if (entry.bytes.size() >= 16) {
            EXPECT_EQ(ours, entry.bytes);
        }
    }
}

// Our expander refuses any data past the stated length but mscompress's leftover behind an empty
// file: no file mscompress writes, at any length or ending (in a literal, in a match, at a
// group's end), may trip over that.
TEST(SzddPeers, MscompressFilesOfEveryEndingExpandWithOurs) {
    if (!Installed("mscompress")) GTEST_SKIP() << "mscompress absent (Debian package mscompress)";
    testing_support::TempDir dir;
    const Bytes noise = szdd_corpus::RandomBytes(600, 3);
    for (std::size_t size = 0; size <= 160; ++size) {
        for (int kind = 0; kind < 3; ++kind) {
            SCOPED_TRACE("size " + std::to_string(size) + ", kind " + std::to_string(kind));
            Bytes input(size);
            for (std::size_t i = 0; i < size; ++i)
                input[i] = kind == 0 ? noise[i] : kind == 1 ? static_cast<std::uint8_t>('a' + noise[i] % 3) : 'z';
            // mscompress will not replace a FILE_ that is there already.
            const std::string plain = dir / ("file" + std::to_string(size) + "-" + std::to_string(kind));
            WriteBytes(plain, input);
            const Bytes packed = WithMscompress(plain);
            Bytes ours;
            const szdd::Result result = szdd::Expand(packed, &ours);
            EXPECT_EQ(result.status, szdd::Status::ok) << szdd::Describe(result.status);
            EXPECT_EQ(ours.size(), size);
        }
    }
}

}  // namespace
