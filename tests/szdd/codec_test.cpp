// The SZDD codec on its own: optimal size against a brute-force reference, marker runs, and the
// expander's answers to whole, cut, damaged and hostile files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>
#include <random>
#include <vector>

#include "szdd/szdd.h"
#include "tests/support/memory_stream.h"
#include "tests/szdd/corpus.h"
#include "tests/szdd/marker_run_input.h"

namespace {

using szdd_corpus::Bytes;

// The size of the smallest SZDD file for the input, found the slow and obvious way: every
// distance of the window tried at every position, then the shortest path in bits.
std::size_t ReferenceOptimalSize(const Bytes& input) {
    Bytes text(szdd::kWindowSize, szdd::kWindowFill);
    text.insert(text.end(), input.begin(), input.end());
    const std::size_t n = input.size();
    std::vector<std::uint64_t> bits(n + 1, 0);
    for (std::size_t i = n; i-- > 0;) {
        const std::size_t at = szdd::kWindowSize + i;
        std::size_t longest = 0;
        for (std::size_t distance = 1; distance <= szdd::kWindowSize; ++distance) {
            std::size_t length = 0;
            while (length < szdd::kMaxMatch && i + length < n && text[at - distance + length] == text[at + length]) ++length;
            longest = std::max(longest, length);
        }
        bits[i] = bits[i + 1] + 9;
        for (std::size_t length = szdd::kMinMatch; length <= longest; ++length) bits[i] = std::min(bits[i], bits[i + length] + 17);
    }
    return szdd::kHeaderSize + (bits[0] + 7) / 8;
}

Bytes ExpandOrFail(const Bytes& file) {
    Bytes out;
    const szdd::Result result = szdd::Expand(file, &out);
    EXPECT_EQ(result.status, szdd::Status::ok) << szdd::Describe(result.status);
    return out;
}

TEST(SzddCodec, EveryCorpusFileComesBackWholeFromAMarkerFreeFile) {
    for (const auto& entry : szdd_corpus::Corpus()) {
        SCOPED_TRACE(entry.name);
        const Bytes file = szdd::Compress(entry.bytes, 'x');
        szdd::Header header;
        ASSERT_TRUE(szdd::ParseHeader(file, &header));
        EXPECT_EQ(header.mode, szdd::kModeA);
        EXPECT_EQ(header.lastNameChar, 'x');
        EXPECT_EQ(header.length, entry.bytes.size());
        EXPECT_FALSE(szdd::FindMarkerRun(file).has_value());
        EXPECT_EQ(ExpandOrFail(file), entry.bytes);
        EXPECT_EQ(szdd::Compress(entry.bytes, 'x'), file) << "output differs between runs";
    }
}

TEST(SzddCodec, SizeIsTheBruteForceOptimum) {
    std::vector<Bytes> inputs = {{}, {'a'}, {'a', 'a', 'a'}, Bytes(40, ' '), Bytes(5000, 'z'),
                                 szdd_corpus::Repeats(4095, 2), szdd_corpus::Repeats(4096, 2),
                                 szdd_corpus::Repeats(4097, 2)};
    std::mt19937 random(11);
    // Few distinct bytes make many overlapping matches of every length; blanks reach into the
    // window's initial content.
    for (int k = 0; k < 24; ++k) {
        Bytes bytes(random() % 6000);
        const unsigned alphabet = 1 + random() % 4;
        for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random() % 5 == 0 ? ' ' : 'a' + random() % alphabet);
        inputs.push_back(std::move(bytes));
    }
    for (const Bytes& input : inputs) {
        SCOPED_TRACE("input of " + std::to_string(input.size()) + " bytes");
        const Bytes file = szdd::Compress(input);
        EXPECT_EQ(file.size(), ReferenceOptimalSize(input));
        EXPECT_EQ(ExpandOrFail(file), input);
    }
}

TEST(SzddCodec, OptimumOfTheRealPeIsKnown) {
    const Bytes pe = szdd_corpus::ReadIfPresent(szdd_corpus::kPePath);
    if (pe.empty()) GTEST_SKIP() << szdd_corpus::kPePath << " absent (package gcc-mingw-w64-i686-posix-runtime)";
    // mscompress makes 639,283 bytes of it.
    EXPECT_EQ(szdd::CompressOptimal(pe).size(), 615453u);
}

TEST(SzddMarkerRun, FoundWhereverItStartsAndOnlyWhenWhole) {
    Bytes run(szdd::kMarkerRunLength);
    for (std::size_t i = 0; i < run.size(); ++i) run[i] = static_cast<std::uint8_t>(i);
    auto with = [&](Bytes before, std::size_t runBytes, Bytes after) {
        before.insert(before.end(), run.begin(), run.begin() + static_cast<long>(runBytes));
        before.insert(before.end(), after.begin(), after.end());
        return before;
    };
    EXPECT_EQ(szdd::FindMarkerRun(run), 0u);
    EXPECT_EQ(szdd::FindMarkerRun(with({7, 7}, 255, {0xFF})), 2u);
    EXPECT_EQ(szdd::FindMarkerRun(with({0, 1, 2}, 255, {})), 3u) << "a broken start must not hide the run";
    EXPECT_EQ(szdd::FindMarkerRun(with({0, 1, 0, 0}, 255, {})), 4u);
    EXPECT_FALSE(szdd::FindMarkerRun(with({}, 254, {0x00})).has_value());
    EXPECT_FALSE(szdd::FindMarkerRun(with({}, 254, {})).has_value());
}

TEST(SzddMarkerRun, CompressorTakesTheNextBestParseWhereTheOptimumWouldHoldARun) {
    const Bytes input = szdd_corpus::InputWhoseOptimumHoldsARun();
    const Bytes optimal = szdd::CompressOptimal(input);
    ASSERT_TRUE(szdd::FindMarkerRun(optimal).has_value()) << "the input no longer forces a run";
    const Bytes safe = szdd::Compress(input);
    EXPECT_FALSE(szdd::FindMarkerRun(safe).has_value());
    EXPECT_EQ(ExpandOrFail(safe), input);
    EXPECT_GE(safe.size(), optimal.size());
    EXPECT_LE(safe.size(), optimal.size() + 2) << "more than one item's worth given up";
}

// The format decoded the plain way, a byte at a time through the window, for comparing against.
Bytes ReferenceExpand(const Bytes& file) {
    std::uint8_t window[szdd::kWindowSize];
    std::memset(window, szdd::kWindowFill, sizeof window);
    std::size_t position = szdd::kWindowStart;
    Bytes out;
    for (std::size_t at = szdd::kHeaderSize; at < file.size();) {
        const std::uint8_t flags = file[at++];
        for (int bit = 0; bit < 8 && at < file.size(); ++bit) {
            if (flags >> bit & 1) {
                out.push_back(window[position++ % szdd::kWindowSize] = file[at++]);
                continue;
            }
            std::size_t source = file[at] | (file[at + 1] & 0xF0) << 4;
            const std::size_t length = (file[at + 1] & 0x0F) + szdd::kMinMatch;
            at += 2;
            for (std::size_t i = 0; i < length; ++i) {
                const std::uint8_t byte = window[source++ % szdd::kWindowSize];
                out.push_back(window[position++ % szdd::kWindowSize] = byte);
            }
        }
    }
    return out;
}

TEST(SzddExpand, EveryShortDistanceAndLengthCopiesAsByteByByte) {
    // Hand-made data: every distance 1 to 18 with every length, then random ones up to the whole
    // window (the first reach into the initial blanks), between runs of random literals, so
    // that sources and copies overlap in every way and groups mix literals and matches.
    std::mt19937 random(3);
    Bytes data;
    std::size_t produced = 0;
    std::size_t items = 0;
    std::size_t flagAt = 0;
    auto item = [&](bool literal) {
        if (items++ % 8 == 0) {
            flagAt = data.size();
            data.push_back(0);
        }
        if (literal) data[flagAt] |= static_cast<std::uint8_t>(1 << ((items - 1) % 8));
    };
    auto match = [&](std::size_t distance, std::size_t length) {
        item(false);
        const std::size_t source = (szdd::kWindowStart + produced - distance) % szdd::kWindowSize;
        data.push_back(static_cast<std::uint8_t>(source));
        data.push_back(static_cast<std::uint8_t>((source >> 4 & 0xF0) | (length - szdd::kMinMatch)));
        produced += length;
    };
    auto literals = [&](std::size_t count) {
        for (std::size_t i = 0; i < count; ++i, ++produced) {
            item(true);
            data.push_back(static_cast<std::uint8_t>(random()));
        }
    };
    match(szdd::kWindowSize, szdd::kMaxMatch);
    for (int round = 0; round < 3; ++round) {
        for (std::size_t distance = 1; distance <= szdd::kMaxMatch; ++distance)
            for (std::size_t length = szdd::kMinMatch; length <= szdd::kMaxMatch; ++length) {
                literals(random() % 4);
                match(distance, length);
            }
        for (int k = 0; k < 300; ++k) {
            literals(random() % 3);
            match(1 + random() % szdd::kWindowSize, szdd::kMinMatch + random() % 16);
        }
    }
    Bytes file(szdd::kHeaderSize);
    szdd::PutHeader(szdd::Header{szdd::kModeA, 0, static_cast<std::uint32_t>(produced)}, file.data());
    file.insert(file.end(), data.begin(), data.end());
    const Bytes expected = ReferenceExpand(file);
    ASSERT_EQ(expected.size(), produced);
    EXPECT_EQ(ExpandOrFail(file), expected);
}

// A compressed text to damage.
const Bytes& SampleFile() {
    static const Bytes file = szdd::Compress(szdd_corpus::ReadIfPresent(szdd_corpus::kTextPath));
    return file;
}

Bytes WithLength(Bytes file, std::uint32_t length) {
    szdd::Header header;
    szdd::ParseHeader(file, &header);
    header.length = length;
    szdd::PutHeader(header, file.data());
    return file;
}

TEST(SzddExpand, ReadsInAnyPieceSizeAlike) {
    for (const auto& entry : szdd_corpus::Corpus(false)) {
        const Bytes file = szdd::Compress(entry.bytes);
        for (std::size_t piece : {1u, 7u, 17u, 65536u}) {
            SCOPED_TRACE(entry.name + ", reads of " + std::to_string(piece));
            testing_support::MemoryStream io(std::span<const std::uint8_t>(file).subspan(szdd::kHeaderSize));
            io.InPiecesOf(piece);
            szdd::Header header;
            ASSERT_TRUE(szdd::ParseHeader(file, &header));
            const szdd::Result result = szdd::ExpandData(header, io.Stream());
            EXPECT_EQ(result.status, szdd::Status::ok);
            EXPECT_EQ(result.written, entry.bytes.size());
            EXPECT_EQ(io.Output(), entry.bytes);
        }
    }
}

TEST(SzddExpand, DamagedFilesGetTheirStatusAndNeverMoreThanTheHeaderStates) {
    const Bytes& whole = SampleFile();
    szdd::Header header;
    ASSERT_TRUE(szdd::ParseHeader(whole, &header));
    Bytes otherMode = whole;
    otherMode[8] = 'B';
    Bytes noMagic = whole;
    noMagic[3] = 'Q';
    Bytes strayBytes = whole;
    strayBytes.insert(strayBytes.end(), {0x01, 0x41});
    Bytes trailingData = whole;
    trailingData.insert(trailingData.end(), 40, 0xFF);
    // The last item is a match (the text ends in a repeated line), so one byte less cuts it.
    const struct {
        const char* name;
        Bytes file;
        szdd::Status status;
    } cases[] = {
        {"whole", whole, szdd::Status::ok},
        {"header only", Bytes(whole.begin(), whole.begin() + szdd::kHeaderSize), szdd::Status::truncated},
        {"cut in half", Bytes(whole.begin(), whole.begin() + static_cast<long>(whole.size() / 2)), szdd::Status::truncated},
        {"last byte missing", Bytes(whole.begin(), whole.end() - 1), szdd::Status::truncated},
        {"length 100 short", WithLength(whole, header.length - 100), szdd::Status::tooLong},
        {"length 1 over", WithLength(whole, header.length + 1), szdd::Status::truncated},
        {"length 4 GiB", WithLength(whole, 0xFFFFFFFFu), szdd::Status::truncated},
        {"two stray bytes", strayBytes, szdd::Status::ok},
        {"40 bytes more data", trailingData, szdd::Status::tooLong},
        {"mode B", otherMode, szdd::Status::unknownMode},
        {"no magic", noMagic, szdd::Status::notSzdd},
        {"shorter than a header", Bytes(whole.begin(), whole.begin() + 10), szdd::Status::notSzdd},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes out;
        const szdd::Result result = szdd::Expand(c.file, &out);
        EXPECT_EQ(result.status, c.status) << szdd::Describe(result.status);
        szdd::Header stated;
        if (szdd::ParseHeader(c.file, &stated)) {
            EXPECT_LE(out.size(), stated.length);
        }
        EXPECT_EQ(out.size(), result.written);
        // Memory follows the data, not the claim.
        EXPECT_LE(out.capacity(), 9 * c.file.size() + 4096);
    }
}

TEST(SzddExpand, RandomDamageNeverCrashesOrOverrunsTheStatedLength) {
    const Bytes& whole = SampleFile();
    std::mt19937 random(5);
    for (int trial = 0; trial < 300; ++trial) {
        Bytes file = whole;
        for (int flips = 1 + trial % 4; flips > 0; --flips)
            file[szdd::kHeaderSize + random() % (file.size() - szdd::kHeaderSize)] = static_cast<std::uint8_t>(random());
        if (trial % 3 == 0) file.resize(szdd::kHeaderSize + random() % (file.size() - szdd::kHeaderSize));
        szdd::Header stated;
        szdd::ParseHeader(file, &stated);
        Bytes out;
        const szdd::Result result = szdd::Expand(file, &out);
        ASSERT_LE(out.size(), stated.length);
        if (result.status == szdd::Status::ok) {
            ASSERT_EQ(out.size(), stated.length);
        }
    }
}

TEST(SzddExpand, FailedReadsAndWritesAreReportedAsSuch) {
    const Bytes& whole = SampleFile();
    szdd::Header header;
    ASSERT_TRUE(szdd::ParseHeader(whole, &header));
    const std::span<const std::uint8_t> data = std::span(whole).subspan(szdd::kHeaderSize);
    testing_support::MemoryStream failingRead(data);
    failingRead.InPiecesOf(512).FailReadsWithLessThan(1000);  // fails late, after some output
    EXPECT_EQ(szdd::ExpandData(header, failingRead.Stream()).status, szdd::Status::readFailed);
    testing_support::MemoryStream failingWrite(data);
    failingWrite.InPiecesOf(512).FailWrites();
    const szdd::Result result = szdd::ExpandData(header, failingWrite.Stream());
    EXPECT_EQ(result.status, szdd::Status::writeFailed);
    EXPECT_EQ(result.written, 0u);
}

}  // namespace
