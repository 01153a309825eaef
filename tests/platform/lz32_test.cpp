// The stand-in's LZ32 over real files, with mscompress as the independent compressor.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/winapi.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;

class Lz32 : public ::testing::Test {
protected:
    // Expands source into target through LZOpenFileA and LZCopy; returns LZCopy's result.
    LONG Expand(const std::string& source, const std::string& target) {
        OFSTRUCT sourceRecord;
        OFSTRUCT targetRecord;
        const INT in = LZOpenFileA(const_cast<char*>(source.c_str()), &sourceRecord, OF_READ);
        const INT out = LZOpenFileA(const_cast<char*>(target.c_str()), &targetRecord, OF_CREATE);
        EXPECT_GE(in, 0);
        EXPECT_GE(out, 0);
        const LONG result = LZCopy(in, out);
        LZClose(out);
        LZClose(in);
        return result;
    }
    // mscompress writes NAME_ beside NAME.
    std::string CompressWithMscompress(const Bytes& content) {
        const std::string plain = temp_ / "plain.bin";
        WriteBytes(plain, content);
        std::filesystem::remove(plain + "_");
        const std::string command = "mscompress " + plain + " 2>/dev/null";
        EXPECT_EQ(std::system(command.c_str()), 0) << "mscompress missing? scripts/setup.sh installs it";
        return plain + "_";
    }
    TempDir temp_;
    std::string target_ = temp_ / "out.scr";

    // What msexpand, the peer's own expander, reads from a file.
    Bytes ExpandWithMsexpand(const std::string& packed) {
        const std::string out = temp_ / "msexpand.out";
        EXPECT_EQ(std::system(("msexpand < " + packed + " > " + out + " 2>/dev/null").c_str()), 0);
        return ReadBytes(out);
    }
};

TEST_F(Lz32, ExpandsWhatMscompressMade) {
    Bytes text;
    for (int line = 0; line < 2000; ++line) {
        const std::string row = "Zeile " + std::to_string(line) + ": Der Quendolin Bildschirmschoner\r\n";
        text.insert(text.end(), row.begin(), row.end());
    }
    const Bytes cases[] = {Bytes(), Bytes{'Q'}, Bytes(100000, 0xAA), text, SampleProgram(1 << 20)};
    for (const Bytes& content : cases) {
        SCOPED_TRACE(content.size());
        const std::string packed = CompressWithMscompress(content);
        const LONG written = Expand(packed, target_);
        // mscompress mangles files of 1 to 16 bytes: msexpand reads other bytes back from them too.
        // From 17 bytes on, and for an empty file, its files hold the original.
        const bool mangled = content.size() > 0 && content.size() < 17;
        EXPECT_EQ(ReadBytes(target_), mangled ? ExpandWithMsexpand(packed) : content);
        EXPECT_EQ(written, static_cast<LONG>(content.size()));
    }
}

TEST_F(Lz32, PlainFileIsCopiedAsItIs) {
    const Bytes plain = SampleProgram(70000);
    WriteBytes(temp_ / "plain.bin", plain);
    EXPECT_EQ(Expand(temp_ / "plain.bin", target_), 70000);
    EXPECT_EQ(ReadBytes(target_), plain);
}

TEST_F(Lz32, DamagedInputIsAnError) {
    const Bytes packed = ReadBytes(CompressWithMscompress(SampleProgram(100000)));
    Bytes cut(packed.begin(), packed.begin() + static_cast<long>(packed.size() / 2));
    Bytes claimsMore = packed;
    claimsMore[13] = 0x7F;  // the header states ~2 GB
    Bytes claimsLess = packed;
    claimsLess[11] = 0;
    claimsLess[12] = 0;  // the header states under 256 bytes
    for (const auto& [name, bytes] : {std::pair{"cut in half", cut}, {"claims more", claimsMore}, {"claims less", claimsLess}}) {
        SCOPED_TRACE(name);
        WriteBytes(temp_ / "bad.sz_", bytes);
        EXPECT_LT(Expand(temp_ / "bad.sz_", target_), 0);
    }
    EXPECT_LT(LZCopy(0x7777, 0x7778), 0) << "unknown handles";
}

}  // namespace
