// The stand-in's 8.3 aliases.
#include <gtest/gtest.h>
#include <stdlib.h>

#include "platform/winapi.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;

std::string ShortPath(const std::string& path) {
    char buffer[260];
    const DWORD length = GetShortPathNameA(path.c_str(), buffer, sizeof buffer);
    if (length > 0 && length < sizeof buffer) return std::string(buffer, length);
    std::string failure("failed: ");
    return failure.append(std::to_string(length));
}

struct AliasCase {
    const char* name;
    std::vector<std::string> others;  // files already in the directory
    std::string file;
    std::string alias;
};

TEST(ShortPath, AliasesAsWindowsMakesThem) {
    const AliasCase cases[] = {
        {"long name", {}, "Quendolin.scr", "QUENDO~1.SCR"},
        {"valid 8.3 names stay as they are", {}, "short.txt", "short.txt"},
        {"blanks dropped", {}, "Mein Schoner.scr", "MEINSC~1.SCR"},
        {"short base with a long extension", {}, "ab cd.html", "ABCD~1.HTM"},
        {"inner dots dropped, invalid characters as _", {}, "a.b+c.scr", "AB_C~1.SCR"},
        {"no extension", {}, "Bildschirmschoner", "BILDSC~1"},
        {"counts up past an 8.3 name already there", {"QUENDO~1.SCR"}, "Quendolin.scr", "QUENDO~2.SCR"},
        {"counts up past an alias that an earlier name takes", {"Quendolin Alt.scr"}, "Quendolin.scr", "QUENDO~2.SCR"},
        {"a later name does not push it up", {"Quendolinz.scr"}, "Quendolin.scr", "QUENDO~1.SCR"},
    };
    for (const AliasCase& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        for (const std::string& other : c.others) WriteText(dir / other, "x");
        WriteText(dir / c.file, "x");
        const std::string directory = ShortPath(dir.path().string());
        EXPECT_EQ(ShortPath(dir.path().string() + "\\" + c.file), directory + "\\" + c.alias);
    }
}

std::string AliasOf(const TempDir& dir, const std::string& name) {
    const std::string path = ShortPath(dir / name);
    return path.substr(path.rfind('/') + 1);
}

void Create(const TempDir& dir, const std::string& name) {
    const HFILE file = _lcreat((dir / name).c_str(), 0);
    ASSERT_NE(file, HFILE_ERROR) << name;
    _lclose(file);
}

// Windows gives a file its alias when it is created and keeps it whatever other names come and go.
TEST(ShortPath, AliasIsTheFilesForLife) {
    TempDir dir;
    setenv("WINDIR", dir.path().c_str(), 1);  // where every file's alias is kept
    WriteText(dir / "Quendolinzz.scr", "an older file, made where the stand-in did not see it");
    Create(dir, "Quendolin.scr");
    EXPECT_EQ(AliasOf(dir, "Quendolin.scr"), "QUENDO~2.SCR") << "the older file, found without one, came first";
    EXPECT_EQ(AliasOf(dir, "Quendolinzz.scr"), "QUENDO~1.SCR");

    Create(dir, "Quendolin Alt.scr");  // first in name order, yet created last
    EXPECT_EQ(AliasOf(dir, "Quendolin Alt.scr"), "QUENDO~3.SCR");
    EXPECT_EQ(AliasOf(dir, "Quendolin.scr"), "QUENDO~2.SCR");

    OFSTRUCT record;
    ASSERT_NE(OpenFile((dir / "Quendolinzz.scr").c_str(), &record, OF_DELETE), HFILE_ERROR);
    EXPECT_EQ(AliasOf(dir, "Quendolin.scr"), "QUENDO~2.SCR") << "a name gone deals nothing anew";
    Create(dir, "Quendolin Neu.scr");
    EXPECT_EQ(AliasOf(dir, "Quendolin Neu.scr"), "QUENDO~1.SCR") << "the freed alias is the lowest free one";
    Create(dir, "Quendolin.scr");
    EXPECT_EQ(AliasOf(dir, "Quendolin.scr"), "QUENDO~2.SCR") << "a file cut to zero stays the same file";
}

TEST(ShortPath, MovesKeepAliasesAsWindowsDoes) {
    TempDir dir;
    setenv("WINDIR", dir.path().c_str(), 1);
    Create(dir, "Quendolin.scr");
    Create(dir, "Quendolin Neu.scr");
    ASSERT_EQ(AliasOf(dir, "Quendolin Neu.scr"), "QUENDO~2.SCR");
    // Replaced under its name: the new file takes the old one's alias (name tunnelling).
    ASSERT_TRUE(MoveFileExA((dir / "Quendolin Neu.scr").c_str(), (dir / "Quendolin.scr").c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ(AliasOf(dir, "Quendolin.scr"), "QUENDO~1.SCR");
    // Moved to a new long name: a fresh alias, the old one freed.
    ASSERT_TRUE(MoveFileA((dir / "Quendolin.scr").c_str(), (dir / "Quendolin Alt.scr").c_str()));
    EXPECT_EQ(AliasOf(dir, "Quendolin Alt.scr"), "QUENDO~1.SCR");
    Create(dir, "Quendolin.scr");
    ASSERT_TRUE(MoveFileA((dir / "Quendolin Alt.scr").c_str(), (dir / "QALT.SCR").c_str()));
    EXPECT_EQ(AliasOf(dir, "QALT.SCR"), "QALT.SCR");
    EXPECT_EQ(AliasOf(dir, "Quendolin.scr"), "QUENDO~2.SCR");
    // Profiles are rewritten beside themselves and renamed: they keep their alias too.
    ASSERT_TRUE(WritePrivateProfileStringA("a", "k", "v", (dir / "Quendolin Profil.ini").c_str()));
    const std::string profileAlias = AliasOf(dir, "Quendolin Profil.ini");
    ASSERT_TRUE(WritePrivateProfileStringA("a", "k", "w", (dir / "Quendolin Profil.ini").c_str()));
    EXPECT_EQ(AliasOf(dir, "Quendolin Profil.ini"), profileAlias);
}

TEST(ShortPath, EveryComponentAndTheBufferRules) {
    TempDir dir;
    std::filesystem::create_directories(dir / "Long Directory Name/sub");
    WriteText(dir / "Long Directory Name/sub/Quendolin.scr", "x");
    const std::string base = ShortPath(dir.path().string());
    const std::string full = dir.path().string() + "/Long Directory Name\\sub\\Quendolin.scr";
    EXPECT_EQ(ShortPath(full), base + "/LONGDI~1\\sub\\QUENDO~1.SCR") << "separators stay as written";

    EXPECT_EQ(GetShortPathNameA((dir / "missing.scr").c_str(), nullptr, 0), 0u);
    char tiny[4];
    const DWORD needed = GetShortPathNameA(full.c_str(), tiny, sizeof tiny);
    EXPECT_EQ(needed, ShortPath(full).size() + 1) << "the size needed, terminating zero included";
}

}  // namespace
