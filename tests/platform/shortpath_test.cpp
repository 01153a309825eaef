// The stand-in's 8.3 aliases.
#include <gtest/gtest.h>

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
