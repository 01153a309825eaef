// The stand-in's MoveFileExA and MoveFileA, GetVersion, and the open-file record's path limit.
#include <gtest/gtest.h>

#include "platform/hosted/hosted_control.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;

class MoveFile : public ::testing::Test {
protected:
    void SetUp() override {
        WriteText(from_, "new");
        WriteText(to_, "old");
    }
    void TearDown() override { hosted::ReportWindows9x(false); }
    TempDir temp_;
    std::string from_ = temp_ / "Quendolin.$sc";
    std::string to_ = temp_ / "Quendolin.scr";
};

TEST_F(MoveFile, ReplacesOnlyWhenAskedAndNeverTearsEitherName) {
    EXPECT_FALSE(MoveFileExA(from_.c_str(), to_.c_str(), 0));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(MoveFileA(from_.c_str(), to_.c_str()));
    EXPECT_EQ(ReadText(to_), "old");
    EXPECT_EQ(ReadText(from_), "new");

    ASSERT_TRUE(MoveFileExA(from_.c_str(), to_.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(ReadText(to_), "new");
    EXPECT_FALSE(Exists(from_));
    EXPECT_FALSE(MoveFileExA(from_.c_str(), to_.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(ReadText(to_), "new");
}

TEST_F(MoveFile, FileOpenElsewhereIsNotReplaced) {
    const HFILE reader = _lopen(to_.c_str(), OF_READ);  // a screen saver running, say
    ASSERT_NE(reader, HFILE_ERROR);
    EXPECT_FALSE(MoveFileExA(from_.c_str(), to_.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    _lclose(reader);
    EXPECT_EQ(ReadText(to_), "old");
    EXPECT_TRUE(MoveFileExA(from_.c_str(), to_.c_str(), MOVEFILE_REPLACE_EXISTING));
}

TEST_F(MoveFile, Windows9xHasNoReplacingMove) {
    EXPECT_EQ(GetVersion() & 0x80000000u, 0u) << "the NT family by default";
    hosted::ReportWindows9x(true);
    EXPECT_NE(GetVersion() & 0x80000000u, 0u);
    EXPECT_FALSE(MoveFileExA(from_.c_str(), to_.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(ReadText(to_), "old");
    EXPECT_TRUE(MoveFileA(from_.c_str(), (temp_ / "other").c_str())) << "MoveFileA is there on every Windows";
}

TEST(OpenFileRecord, HoldsAtMost127CharactersOfPath) {
    TempDir temp;
    for (const std::size_t length : {std::size_t{127}, std::size_t{128}}) {
        SCOPED_TRACE(length);
        std::string path = temp / "";
        path.append(length - path.size(), 'f');
        OFSTRUCT record;
        const HFILE created = OpenFile(path.c_str(), &record, OF_CREATE);
        if (created != HFILE_ERROR) _lclose(created);
        OFSTRUCT lzRecord;
        const INT lz = LZOpenFileA(path.data(), &lzRecord, OF_READ);
        if (length <= 127) {
            EXPECT_NE(created, HFILE_ERROR);
            EXPECT_GE(lz, 0);
            LZClose(lz);
            EXPECT_EQ(std::string(record.szPathName), path);
            EXPECT_NE(OpenFile(path.c_str(), &record, OF_DELETE), HFILE_ERROR);
        } else {
            EXPECT_EQ(created, HFILE_ERROR);
            EXPECT_EQ(record.nErrCode, ERROR_FILENAME_EXCED_RANGE);
            EXPECT_LT(lz, 0);
            EXPECT_EQ(OpenFile(path.c_str(), &record, OF_DELETE), HFILE_ERROR);
        }
        EXPECT_TRUE(ListDirectory(temp.path().string()).empty()) << "nothing created under a cut name";
    }
}

}  // namespace
