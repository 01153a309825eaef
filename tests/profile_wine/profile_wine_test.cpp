// The stand-in's WritePrivateProfileStringA against Wine's: one table of files and writes, replayed
// by both on twin files, with the bytes compared. Where Wine's bytes differ on purpose, the case
// holds what Wine writes and why our stand-in keeps its own.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "platform/hosted/winapi_hosted.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;
using namespace std::string_literals;

constexpr int kSkipped = 77;  // ctest's SKIP_RETURN_CODE for this test
constexpr char kFieldSeparator = '\x1f';
constexpr char kNullField[] = "\x18";

struct Write {
    const char* section;
    const char* key;
    const char* value;
};

struct Case {
    const char* name;
    std::optional<std::string> before;  // nothing: the file does not exist
    std::vector<Write> writes;
    std::string after;                  // what the stand-in writes
    // Where Wine writes other bytes: what it writes, and in `why` the reason we keep ours.
    std::optional<std::string> wineAfter = std::nullopt;
    const char* why = nullptr;
};

const std::string kLongValue(5000, 'v');

// Wine rewrites the whole file from what it parsed; where that alone makes its bytes differ, the
// stand-in keeps every other line as it was, as the installer's callers expect of system.ini.
constexpr char kWineRewritesCrlf[] = "Wine ends every line of the file in CRLF; we keep the file's LF";
constexpr char kWineDropsBlankLines[] = "Wine drops all blank lines of the file; we keep every other line";
constexpr char kWineRewritesLoneCr[] =
    "Wine reads a lone CR as a line end, as we do, and ends every line in CRLF; we keep the file's CR";
constexpr char kWineTrimsHeaders[] = "Wine rewrites section headers without blanks; we keep other lines as they are";

std::vector<Case> Cases() {
    return {
        {"missing file", std::nullopt, {{"boot", "SCRNSAVE.EXE", "C:\\Q.SCR"}}, "[boot]\r\nSCRNSAVE.EXE=C:\\Q.SCR\r\n"},
        {"empty file", "", {{"boot", "SCRNSAVE.EXE", "C:\\Q.SCR"}}, "[boot]\r\nSCRNSAVE.EXE=C:\\Q.SCR\r\n"},
        {"CRLF file, key present in another case: the file's spelling stays",
         "[Boot]\r\nshell=Explorer.exe\r\nscrnsave.exe=OLD.SCR\r\n[drivers]\r\nwave=mmdrv.dll\r\n",
         {{"boot", "SCRNSAVE.EXE", "NEW.SCR"}},
         "[Boot]\r\nshell=Explorer.exe\r\nscrnsave.exe=NEW.SCR\r\n[drivers]\r\nwave=mmdrv.dll\r\n"},
        {"LF file, key present", "[Boot]\nshell=Explorer.exe\nscrnsave.exe=OLD.SCR\n[drivers]\nwave=mmdrv.dll\n",
         {{"boot", "SCRNSAVE.EXE", "NEW.SCR"}}, "[Boot]\nshell=Explorer.exe\nscrnsave.exe=NEW.SCR\n[drivers]\nwave=mmdrv.dll\n",
         "[Boot]\r\nshell=Explorer.exe\r\nscrnsave.exe=NEW.SCR\r\n[drivers]\r\nwave=mmdrv.dll\r\n", kWineRewritesCrlf},
        {"key with blanks around it and the equals sign", "[boot]\r\n  k = 1\r\n", {{"boot", "k", "2"}}, "[boot]\r\nk=2\r\n"},
        {"caller's section and key with blanks around them", "[boot]\r\nk=1\r\n", {{" boot ", " k ", "2"}}, "[boot]\r\nk=2\r\n"},
        {"section name with blanks inside the brackets", "[ boot ]\r\nk=1\r\n", {{"boot", "k", "2"}}, "[ boot ]\r\nk=2\r\n",
         "[boot]\r\nk=2\r\n", kWineTrimsHeaders},
        {"key missing, blank lines after the section", "[boot]\r\nshell=Explorer.exe\r\n\r\n\r\n[386Enh]\r\nx=1\r\n",
         {{"boot", "SCRNSAVE.EXE", "Q.SCR"}}, "[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=Q.SCR\r\n\r\n\r\n[386Enh]\r\nx=1\r\n",
         "[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=Q.SCR\r\n[386Enh]\r\nx=1\r\n", kWineDropsBlankLines},
        {"key missing in the last section, blank line at the end", "[boot]\r\nshell=E\r\n\r\n", {{"boot", "k", "v"}},
         "[boot]\r\nshell=E\r\nk=v\r\n\r\n", "[boot]\r\nshell=E\r\nk=v\r\n", kWineDropsBlankLines},
        {"key missing in an empty section", "[boot]\r\n[x]\r\ny=1\r\n", {{"boot", "k", "v"}}, "[boot]\r\nk=v\r\n[x]\r\ny=1\r\n"},
        {"section missing", "[a]\r\nx=1\r\n", {{"boot", "k", "v"}}, "[a]\r\nx=1\r\n[boot]\r\nk=v\r\n"},
        {"no final newline, key added to the last section", "[a]\r\nx=1", {{"a", "k", "v"}}, "[a]\r\nx=1\r\nk=v\r\n"},
        {"no final newline, key replaced on the last line", "[a]\r\nk=1", {{"a", "k", "2"}}, "[a]\r\nk=2\r\n"},
        {"no final newline, section added", "[a]\r\nx=1", {{"boot", "k", "v"}}, "[a]\r\nx=1\r\n[boot]\r\nk=v\r\n"},
        {"duplicate sections and keys: the first key replaced", "[boot]\r\nk=1\r\nk=2\r\n[boot]\r\nk=3\r\n",
         {{"BOOT", "K", "9"}}, "[boot]\r\nk=9\r\nk=2\r\n[boot]\r\nk=3\r\n"},
        {"duplicate sections: a new key goes into the first", "[boot]\r\nk=1\r\n[x]\r\n[boot]\r\nj=3\r\n",
         {{"boot", "n", "9"}}, "[boot]\r\nk=1\r\nn=9\r\n[x]\r\n[boot]\r\nj=3\r\n"},
        {"comments kept", "; comment\r\n[boot]\r\n;k=commented\r\nk=1\r\n# hash\r\n", {{"boot", "k", "2"}, {"boot", "j", "3"}},
         "; comment\r\n[boot]\r\n;k=commented\r\nk=2\r\n# hash\r\nj=3\r\n"},
        {"lines before any section", "junk line\r\nx=0\r\n[boot]\r\nk=1\r\n", {{"boot", "k", "2"}, {"boot", "x", "5"}},
         "junk line\r\nx=0\r\n[boot]\r\nk=2\r\nx=5\r\n"},
        {"very long line kept, very long value written", "[a]\r\nx=" + kLongValue + "\r\n[boot]\r\n",
         {{"boot", "k", kLongValue.c_str()}}, "[a]\r\nx=" + kLongValue + "\r\n[boot]\r\nk=" + kLongValue + "\r\n"},
        {"blank value", "[boot]\r\nk=1\r\n", {{"boot", "k", ""}, {"boot", "j", ""}}, "[boot]\r\nk=\r\nj=\r\n"},
        {"value with blanks and quotes inside", "[boot]\r\nk=1\r\n", {{"boot", "k", "a b"}, {"boot", "q", "\"  q  \""}},
         "[boot]\r\nk=a b\r\nq=\"  q  \"\r\n"},
        {"value's leading blanks dropped, trailing ones kept", "[boot]\r\nk=1\r\n", {{"boot", "k", "  padded  "}},
         "[boot]\r\nk=padded  \r\n"},
        {"value's leading tab dropped, trailing one kept", "[boot]\r\nk=1\r\n", {{"boot", "k", "\tx\t"}}, "[boot]\r\nk=x\t\r\n"},
        {"other lines' trailing blanks kept", "[boot]\r\nj=padded  \r\n", {{"boot", "k", "1"}},
         "[boot]\r\nj=padded  \r\nk=1\r\n", "[boot]\r\nj=padded\r\nk=1\r\n",
         "Wine re-reads the file and writes every value back trimmed; we keep every other line byte for byte"},
        {"new key with blanks around it", "[boot]\r\nk=1\r\n", {{"boot", "  sp  ", "v"}}, "[boot]\r\nk=1\r\nsp=v\r\n",
         "[boot]\r\nk=1\r\nsp  =v\r\n",
         "Wine keeps the blanks after a new key's name; we write it trimmed, as readers match keys trimmed"},
        {"key deleted", "[boot]\r\nk=1\r\nj=2\r\n[x]\r\nk=3\r\n", {{"boot", "k", nullptr}}, "[boot]\r\nj=2\r\n[x]\r\nk=3\r\n"},
        {"missing key or section deleted", "[boot]\r\nj=2\r\n", {{"boot", "k", nullptr}, {"none", "k", nullptr}, {"none", nullptr, nullptr}},
         "[boot]\r\nj=2\r\n"},
        {"section deleted with its comments", "; head\r\n[a]\r\nx=1\r\n[boot]\r\nk=1\r\n; note\r\n[c]\r\ny=2\r\n",
         {{"boot", nullptr, nullptr}}, "; head\r\n[a]\r\nx=1\r\n[c]\r\ny=2\r\n"},
        {"section deleted, blank lines kept", "[a]\r\nx=1\r\n\r\n[boot]\r\nk=1\r\n\r\n[c]\r\n", {{"boot", nullptr, nullptr}},
         "[a]\r\nx=1\r\n\r\n[c]\r\n", "[a]\r\nx=1\r\n[c]\r\n", kWineDropsBlankLines},
        {"section deleted, missing file", std::nullopt, {{"boot", nullptr, nullptr}}, ""},
        {"UTF-8 byte order mark before the first section: the key goes into it, the mark kept",
         "\xEF\xBB\xBF[boot]\r\nshell=Explorer.exe\r\n", {{"boot", "SCRNSAVE.EXE", "Q.SCR"}},
         "\xEF\xBB\xBF[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=Q.SCR\r\n"},
        {"byte order mark, key replaced in the first section", "\xEF\xBB\xBF[boot]\r\nk=1\r\n[x]\r\ny=2\r\n",
         {{"BOOT", "k", "2"}}, "\xEF\xBB\xBF[boot]\r\nk=2\r\n[x]\r\ny=2\r\n"},
        {"byte order mark before a line outside any section, the first section deleted",
         "\xEF\xBB\xBFk=0\r\n[boot]\r\nk=1\r\n[x]\r\n", {{"boot", nullptr, nullptr}}, "\xEF\xBB\xBFk=0\r\n[x]\r\n"},
        {"byte order mark, LF file", "\xEF\xBB\xBF[boot]\nshell=E\n", {{"boot", "k", "v"}}, "\xEF\xBB\xBF[boot]\nshell=E\nk=v\n",
         "\xEF\xBB\xBF[boot]\r\nshell=E\r\nk=v\r\n", kWineRewritesCrlf},
        {"lone CR line ends, key replaced", "[boot]\rshell=E\rk=1\r[x]\ry=2\r", {{"boot", "k", "2"}},
         "[boot]\rshell=E\rk=2\r[x]\ry=2\r", "[boot]\r\nshell=E\r\nk=2\r\n[x]\r\ny=2\r\n", kWineRewritesLoneCr},
        {"lone CR line ends, key added", "[boot]\rshell=E\r", {{"boot", "SCRNSAVE.EXE", "Q.SCR"}},
         "[boot]\rshell=E\rSCRNSAVE.EXE=Q.SCR\r", "[boot]\r\nshell=E\r\nSCRNSAVE.EXE=Q.SCR\r\n", kWineRewritesLoneCr},
    };
}

std::string Field(const char* text) { return text == nullptr ? kNullField : text; }

std::string WinePath(const std::string& posixPath) {
    std::string path = "Z:" + posixPath;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

std::string TwinName(std::size_t index, const char* side) { return "case" + std::to_string(index) + "-" + side + ".ini"; }

// Runs every case's writes through Wine's WritePrivateProfileStringA in one process; returns the
// probe's "ok"/"failed" lines.
std::vector<std::string> ReplayUnderWine(const TempDir& dir, const std::vector<Case>& cases) {
    std::string commands;
    for (std::size_t i = 0; i < cases.size(); ++i)
        for (const Write& write : cases[i].writes) {
            commands += WinePath(dir / TwinName(i, "wine"));
            for (const char* field : {write.section, write.key, write.value}) {
                commands += kFieldSeparator;
                commands += Field(field);
            }
            commands += '\n';
        }
    WriteText(dir / "commands", commands);
    setenv("WINEPREFIX", WINE_PREFIX, 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);
    const std::string command = std::string(WINE) + " " + PROBE + " '" + WinePath(dir / "commands") + "' 2>/dev/null";
    std::FILE* probe = popen(command.c_str(), "r");
    std::vector<std::string> results;
    if (probe == nullptr) return results;
    char line[64];
    while (std::fgets(line, sizeof line, probe) != nullptr) {
        std::string result(line);
        while (!result.empty() && (result.back() == '\n' || result.back() == '\r')) result.pop_back();
        results.push_back(result);
    }
    pclose(probe);
    return results;
}

std::string Visible(const std::string& bytes) {
    std::string out;
    for (char c : bytes) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n\n";
        else out += c;
    }
    return out;
}

TEST(ProfileAgainstWine, SameBytesOrExplainedDifference) {
    const std::vector<Case> cases = Cases();
    TempDir dir;
    for (std::size_t i = 0; i < cases.size(); ++i)
        if (cases[i].before)
            for (const char* side : {"wine", "hosted"}) WriteText(dir / TwinName(i, side), *cases[i].before);
    const std::vector<std::string> wineResults = ReplayUnderWine(dir, cases);

    std::size_t record = 0;
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.name);
        for (const Write& write : c.writes) {
            const BOOL done = WritePrivateProfileStringA(write.section, write.key, write.value,
                                                         (dir / TwinName(i, "hosted")).c_str());
            ASSERT_LT(record, wineResults.size()) << "the probe under Wine stopped early";
            EXPECT_EQ(done ? "ok" : "failed", wineResults[record++]);
        }
        const std::string hosted = Exists(dir / TwinName(i, "hosted")) ? ReadText(dir / TwinName(i, "hosted")) : "";
        const std::string wine = Exists(dir / TwinName(i, "wine")) ? ReadText(dir / TwinName(i, "wine")) : "";
        EXPECT_EQ(hosted, c.after) << Visible(hosted.substr(0, 400));
        EXPECT_EQ(wine, c.wineAfter.value_or(c.after)) << Visible(wine.substr(0, 400));
        EXPECT_EQ(c.wineAfter.has_value(), c.why != nullptr) << "a difference from Wine, and only one, has a reason";
    }
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    for (const char* tool : {WINE, PROBE})
        if (!Exists(tool)) {
            std::printf("skipped: %s is missing (the comparison needs Wine and a mingw cross compiler)\n", tool);
            return kSkipped;
        }
    return RUN_ALL_TESTS();
}
