// FindMarker and ExtractPayload on real files.
#include <gtest/gtest.h>

#include <numeric>
#include <string>
#include <vector>

#include <zlib.h>

#include "package/package.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;

Bytes Run255(std::uint8_t last) {
    Bytes run(255);
    std::iota(run.begin(), run.end(), 0);
    run.push_back(last);
    return run;
}

Bytes Filler(std::size_t size) { return Bytes(size, 'A'); }

struct ScanCase {
    const char* name;
    Bytes content;
    LONG start;
    LONG found;        // FindMarker's result
    LONG positionAfter;  // meaningful when found >= 0
};

class FileScan : public ::testing::Test {
protected:
    HFILE Open(const Bytes& content) {
        WriteBytes(path_, content);
        return _lopen(path_.c_str(), OF_READ);
    }
    TempDir temp_;
    std::string path_ = temp_ / "package";
};

TEST_F(FileScan, FindMarkerCases) {
    const Bytes marker = Marker();
    Bytes run254(255);
    std::iota(run254.begin(), run254.end(), 0);
    const ScanCase cases[] = {
        {"marker at the start", Concat({marker, Filler(10)}), 0, 0, 256},
        {"marker at the search start", Concat({Filler(40001), marker}), 40001, 0, 40257},
        {"marker across a 4096-byte boundary", Concat({Filler(4000), marker, Filler(5000)}), 0, 4000, 4256},
        {"marker across the second block boundary", Concat({Filler(8100), marker, Filler(10)}), 100, 8000, 8356},
        {"partial match broken by a marker's 0x00", Concat({Bytes{0, 1, 2}, marker}), 0, 3, 259},
        {"run of 255 then any byte", Concat({Filler(7), Run255('Z'), Filler(3)}), 0, 7, 263},
        {"file ends right after a run of 255", Concat({Filler(7), run254}), 0, 7, 263},
        {"first of two markers", Concat({Filler(5), marker, Filler(5), marker}), 0, 5, 261},
        {"no marker", Filler(10000), 0, -1, 0},
        {"empty file", Bytes(), 0, -1, 0},
        {"run cut short by the end", Concat({Filler(4090), Bytes(run254.begin(), run254.begin() + 200)}), 0, -1, 0},
        {"marker before the start is not seen", Concat({marker, Filler(100)}), 1, -1, 0},
    };
    std::vector<ScanCase> all(std::begin(cases), std::end(cases));
    // Every alignment against the scan's words and around a block's end, with 0x00 bytes (which
    // could begin a marker) and 0x00 0x01 pairs strewn before it.
    Bytes strewn = Filler(4200);
    for (std::size_t i = 0; i < strewn.size(); i += 13) strewn[i] = 0;
    for (std::size_t i = 5; i + 1 < strewn.size(); i += 29) {
        strewn[i] = 0;
        strewn[i + 1] = 1;
    }
    for (LONG at = 4070; at <= 4100; ++at) {
        const Bytes before(strewn.begin(), strewn.begin() + at);
        all.push_back({"marker after strewn zeros", Concat({before, marker, Filler(3)}), 0, at, at + 256});
        all.push_back({"strewn zeros from an odd start", Concat({before, marker}), 3, at - 3, at + 256});
    }
    for (const ScanCase& c : all) {
        SCOPED_TRACE(std::string(c.name) + ", " + std::to_string(c.found));
        const HFILE file = Open(c.content);
        ASSERT_NE(file, HFILE_ERROR);
        ASSERT_EQ(_llseek(file, c.start, 0), c.start);
        EXPECT_EQ(FindMarker(file), c.found);
        if (c.found >= 0) {
            EXPECT_EQ(_llseek(file, 0, 1), c.positionAfter);
        }
        _lclose(file);
    }
}

TEST_F(FileScan, ExtractPayloadCopiesExactlyThePayload) {
    const std::string packed = temp_ / "Quendolin.SC_";
    for (const std::size_t size : {0u, 1u, 8191u, 8192u, 8193u, 100000u}) {
        SCOPED_TRACE(size);
        // An older, longer packed file must be cut, not written over in part.
        WriteBytes(packed, Bytes(200000, 'o'));
        const Bytes payload = SampleProgram(size, static_cast<unsigned>(size));
        const HFILE file = Open(Concat({Filler(9), Marker(), payload, Marker(), Filler(4)}));
        _llseek(file, 9 + 256, 0);
        EXPECT_EQ(ExtractPayload(file, packed.c_str()), kStepDone);
        EXPECT_EQ(_llseek(file, 0, 1), static_cast<LONG>(9 + 256 + size)) << "left at the second marker";
        _lclose(file);
        EXPECT_EQ(ReadBytes(packed), payload);
    }
}

TEST(Crc32, MatchesTheStandardCheckValue) {
    const char text[] = "123456789";
    EXPECT_EQ(Crc32(0, reinterpret_cast<const BYTE*>(text), 9), 0xCBF43926u);
    const DWORD first = Crc32(0, reinterpret_cast<const BYTE*>(text), 4);
    EXPECT_EQ(Crc32(first, reinterpret_cast<const BYTE*>(text) + 4, 5), 0xCBF43926u) << "fed in pieces";
    // Eight bytes a step and the rest one by one: every length and start against zlib's.
    const Bytes data = SampleProgram(300, 9);
    for (UINT start = 0; start < 9; ++start)
        for (UINT length = 0; start + length <= data.size(); length += 7) {
            const DWORD ours = Crc32(0, data.data() + start, length);
            EXPECT_EQ(ours, static_cast<DWORD>(crc32(0, data.data() + start, length))) << start << " + " << length;
            EXPECT_EQ(Crc32(Crc32(0, data.data(), start), data.data() + start, length),
                      static_cast<DWORD>(crc32(0, data.data(), start + length)));
        }
}

TEST(Trailer, WrittenAsTheTestsSpellItAndReadBack) {
    const Bytes payload = SampleProgram(5000, 4);
    BYTE bytes[kTrailerSize];
    WriteTrailer(::Trailer{static_cast<DWORD>(payload.size()), Crc32(0, payload.data(), static_cast<UINT>(payload.size()))},
                 bytes);
    EXPECT_EQ(Bytes(bytes, bytes + kTrailerSize), testing_support::Trailer(payload));
    ::Trailer read{};
    ASSERT_TRUE(ReadTrailer(bytes, &read));
    EXPECT_EQ(read.payloadLength, payload.size());
    EXPECT_EQ(read.payloadCrc, static_cast<DWORD>(crc32(0, payload.data(), static_cast<uInt>(payload.size()))));
    bytes[7] ^= 1;
    EXPECT_FALSE(ReadTrailer(bytes, &read)) << "without its magic the tail is no trailer";
}

TEST_F(FileScan, ExtractPayloadWithoutSecondMarkerLeavesNoFile) {
    const std::string packed = temp_ / "Quendolin.SC_";
    const HFILE file = Open(Concat({Marker(), SampleProgram(20000)}));
    _llseek(file, 256, 0);
    EXPECT_EQ(ExtractPayload(file, packed.c_str()), kPackageDamaged);
    _lclose(file);
    EXPECT_FALSE(Exists(packed));
}

TEST_F(FileScan, ExtractPayloadIntoMissingDirectoryFails) {
    const HFILE file = Open(Concat({Marker(), SampleProgram(100), Marker()}));
    _llseek(file, 256, 0);
    EXPECT_EQ(ExtractPayload(file, (temp_ / "missing\\Quendolin.SC_").c_str()), kDirectoryUnwritable);
    _lclose(file);
}

}  // namespace
