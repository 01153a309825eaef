// The stand-in's profile writer: the edit itself as a table, and the file replaced whole.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "platform/hosted/hosted_control.h"
#include "platform/hosted/profile.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;
using namespace std::string_literals;

struct EditCase {
    const char* name;
    std::string before;
    const char* section;
    const char* key;
    const char* value;
    std::string after;
};

TEST(ProfileEdit, Cases) {
    const EditCase cases[] = {
        {"new file gets CRLF", "", "boot", "SCRNSAVE.EXE", "C:\\Q.SCR", "[boot]\r\nSCRNSAVE.EXE=C:\\Q.SCR\r\n"},
        {"value replaced, section and key in any case, the key spelled as in the file, other lines kept",
         "; system\n[Boot]\nshell=Explorer.exe\n  scrnsave.exe = OLD.SCR\n\n[drivers]\nwave=mmdrv.dll\n", "boot",
         "SCRNSAVE.EXE", "NEW.SCR",
         "; system\n[Boot]\nshell=Explorer.exe\nscrnsave.exe=NEW.SCR\n\n[drivers]\nwave=mmdrv.dll\n"},
        {"missing key goes after the section's last line, before its blank lines",
         "[boot]\r\nshell=Explorer.exe\r\n\r\n[386Enh]\r\nx=1\r\n", "boot", "SCRNSAVE.EXE", "Q.SCR",
         "[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=Q.SCR\r\n\r\n[386Enh]\r\nx=1\r\n"},
        {"missing key in the last section", "[a]\nx=1\n[boot]\nshell=E", "boot", "k", "v", "[a]\nx=1\n[boot]\nshell=E\nk=v\n"},
        {"missing section at the end, file without final newline", "[a]\r\nx=1", "boot", "k", "v",
         "[a]\r\nx=1\r\n[boot]\r\nk=v\r\n"},
        {"only the first of duplicate keys and sections", "[boot]\nk=1\nk=2\n[boot]\nk=3\n", "BOOT", "K", "9",
         "[boot]\nk=9\nk=2\n[boot]\nk=3\n"},
        {"a replaced last line without newline gets the file's", "[boot]\nk=1", "boot", "k", "2", "[boot]\nk=2\n"},
        {"blanks around the caller's names and before the value dropped", "[boot]\nk=1\n", " boot ", "\tk ", " \tv ",
         "[boot]\nk=v \n"},
        {"lines before any section and odd lines kept", "junk line\n=x\n[boot]\n;k=commented\n", "boot", "k", "v",
         "junk line\n=x\n[boot]\n;k=commented\nk=v\n"},
        {"a header with an empty name is a section like any other", "[\n[ ]\nk=1\n", "", "k", "2", "[\nk=2\n[ ]\nk=1\n"},
        {"null value removes the key", "[boot]\nk=1\nj=2\n", "boot", "k", nullptr, "[boot]\nj=2\n"},
        {"null key removes the section", "[a]\nx=1\n[boot]\nk=1\n[c]\ny=2\n", "boot", nullptr, nullptr, "[a]\nx=1\n[c]\ny=2\n"},
        {"removing what is missing changes nothing", "[a]\nx=1\n", "boot", "k", nullptr, "[a]\nx=1\n"},
        {"a UTF-8 byte order mark before the first section: the key goes into it, the mark kept",
         "\xEF\xBB\xBF[boot]\r\nshell=Explorer.exe\r\n", "boot", "SCRNSAVE.EXE", "Q.SCR",
         "\xEF\xBB\xBF[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=Q.SCR\r\n"},
        {"a byte order mark alone, a new section after it", "\xEF\xBB\xBF", "boot", "k", "v", "\xEF\xBB\xBF[boot]\r\nk=v\r\n"},
        {"a byte order mark before a key line: the first section removed, the mark kept",
         "\xEF\xBB\xBFk=0\n[boot]\nk=1\n[x]\n", "boot", nullptr, nullptr, "\xEF\xBB\xBFk=0\n[x]\n"},
        {"lone CR line ends: lines like any others, a new key taking the file's CR", "[boot]\rk=1\r[x]\r", "boot", "j", "2",
         "[boot]\rk=1\rj=2\r[x]\r"},
        {"only the first of two byte order marks is one", "\xEF\xBB\xBF\xEF\xBB\xBF[boot]\n", "boot", "k", "v",
         "\xEF\xBB\xBF\xEF\xBB\xBF[boot]\n[boot]\nk=v\n"},
        {"a key removed after a lone CR: blank LF lines after it go too, or the CR would take their LF",
         "[boot]\rj=1\rk=2\n\n\nx=3\n", "boot", "k", nullptr, "[boot]\rj=1\rx=3\n"},
        {"a name or value with a line break changes nothing", "[boot]\rk=1\r", "boot", "\nk", "v", "[boot]\rk=1\r"},
        {"NUL bytes in other lines kept", "[a]\nx=\0\1\n[boot]\n"s, "boot", "k", "v", "[a]\nx=\0\1\n[boot]\nk=v\n"s},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(hosted::EditProfile(c.before, c.section, c.key, c.value), c.after);
    }
}

class ProfileFile : public ::testing::Test {
protected:
    void SetUp() override { setenv("WINDIR", temp_.path().c_str(), 1); }
    TempDir temp_;
};

TEST_F(ProfileFile, BareNameLivesInTheWindowsDirectoryAndIsReplacedWhole) {
    WriteText(temp_ / "system.ini", "[boot]\nshell=Explorer.exe\n");
    chmod((temp_ / "system.ini").c_str(), 0640);
    ASSERT_TRUE(WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", "Q.SCR", "system.ini"));
    EXPECT_EQ(ReadText(temp_ / "system.ini"), "[boot]\nshell=Explorer.exe\nSCRNSAVE.EXE=Q.SCR\n");
    struct stat status;
    ASSERT_EQ(stat((temp_ / "system.ini").c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 0777, 0640u) << "the replacement keeps the file's permissions";
    EXPECT_EQ(ListDirectory(temp_.path()), std::vector<std::string>{"system.ini"}) << "no temporary file left";

    EXPECT_FALSE(WritePrivateProfileStringA("boot", "k", "a\r\nb=c", "system.ini")) << "it would split its line";
    ASSERT_TRUE(WritePrivateProfileStringA("boot", "x", "1", (temp_ / "sub\\other.ini").c_str()) == FALSE);
    std::filesystem::create_directory(temp_ / "sub");
    ASSERT_TRUE(WritePrivateProfileStringA("boot", "x", "1", (temp_ / "sub\\other.ini").c_str()));
    EXPECT_EQ(ReadText(temp_ / "sub/other.ini"), "[boot]\r\nx=1\r\n");
}

TEST_F(ProfileFile, ReadOnlyFileIsRefusedAndKept) {
    WriteText(temp_ / "system.ini", "[boot]\nk=1\n");
    chmod((temp_ / "system.ini").c_str(), 0444);
    EXPECT_FALSE(WritePrivateProfileStringA("boot", "k", "2", "system.ini"));
    EXPECT_EQ(ReadText(temp_ / "system.ini"), "[boot]\nk=1\n");
    EXPECT_EQ(ListDirectory(temp_.path()), std::vector<std::string>{"system.ini"});
}

TEST_F(ProfileFile, ReadsValuesKeysAndSections) {
    WriteText(temp_ / "system.ini",
              "\xEF\xBB\xBF[Boot]\r\nshell = Explorer.exe \r\nq=\"C:\\A B.SCR\"\r\nempty=\r\n[boot]\r\nlater=1\r\n[386Enh]\r\n");
    char buffer[64];
    const auto read = [&](const char* section, const char* key, const char* fallback, DWORD size) {
        const DWORD length = GetPrivateProfileStringA(section, key, fallback, buffer, size, "system.ini");
        return std::make_pair(length, std::string(buffer, length));
    };
    EXPECT_EQ(read("boot", "SHELL", "-", 64), std::make_pair(DWORD{12}, "Explorer.exe"s)) << "trimmed, any case, past the mark";
    EXPECT_EQ(read("boot", "q", "-", 64), std::make_pair(DWORD{10}, "C:\\A B.SCR"s)) << "the quotes taken off";
    EXPECT_EQ(read("boot", "empty", "-", 64), std::make_pair(DWORD{0}, ""s));
    EXPECT_EQ(read("boot", "later", "fallback  ", 64), std::make_pair(DWORD{8}, "fallback"s))
        << "only the first [boot] is read; the default without its trailing blanks";
    EXPECT_EQ(read("boot", "shell", "-", 5), std::make_pair(DWORD{4}, "Expl"s)) << "cut to the buffer: size - 1";
    EXPECT_EQ(read("none", "k", "d", 64), std::make_pair(DWORD{1}, "d"s));
    EXPECT_EQ(read("boot", nullptr, "", 64), std::make_pair(DWORD{14}, "shell\0q\0empty\0"s));
    EXPECT_EQ(buffer[14], '\0') << "a list ends in one more zero";
    EXPECT_EQ(read(nullptr, nullptr, "", 64), std::make_pair(DWORD{17}, "Boot\0boot\0" "386Enh\0"s));
    EXPECT_EQ(read(nullptr, nullptr, "", 8), std::make_pair(DWORD{6}, "Boot\0b"s)) << "a cut list: size - 2";
    EXPECT_EQ(std::string(buffer + 6, 2), "\0\0"s);
    EXPECT_EQ(read("boot", "k", "d", 64).first, 1u);
    EXPECT_EQ(GetPrivateProfileStringA("boot", "shell", "d", buffer, 64, "missing.ini"), 1u);

    ASSERT_TRUE(WriteProfileStringA("Desktop", "SCRNSAVE.EXE", "C:\\Q.SCR"));
    EXPECT_EQ(ReadText(temp_ / "win.ini"), "[Desktop]\r\nSCRNSAVE.EXE=C:\\Q.SCR\r\n") << "win.ini in the Windows directory";
    EXPECT_EQ(GetProfileStringA("desktop", "scrnsave.exe", "", buffer, 64), 8u);
}

TEST_F(ProfileFile, FailedSystemParameterChangesNothing) {
    WriteText(temp_ / "session.ini", "[windows]\r\nScreenSaveTimeOut=600\r\n");
    WriteText(temp_ / "win.ini", "[windows]\nScreenSaveTimeOut=600\n");
    chmod((temp_ / "win.ini").c_str(), 0444);
    EXPECT_FALSE(SystemParametersInfoA(SPI_SETSCREENSAVETIMEOUT, 120, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE));
    EXPECT_EQ(ReadText(temp_ / "session.ini"), "[windows]\r\nScreenSaveTimeOut=600\r\n") << "the live setting went back";
    EXPECT_EQ(ReadText(temp_ / "win.ini"), "[windows]\nScreenSaveTimeOut=600\n");
    std::filesystem::remove(temp_ / "session.ini");
    EXPECT_FALSE(SystemParametersInfoA(SPI_SETSCREENSAVETIMEOUT, 120, nullptr, SPIF_UPDATEINIFILE));
    EXPECT_FALSE(Exists(temp_ / "session.ini")) << "a session file the call made goes again";
    EXPECT_TRUE(SystemParametersInfoA(SPI_SETSCREENSAVETIMEOUT, 120, nullptr, 0)) << "flags 0 leave the profile alone";
}

TEST_F(ProfileFile, SystemParametersGoToSessionAndProfile) {
    char* printed = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&printed, &size);
    hosted::SetConsole(nullptr, out);
    EXPECT_TRUE(SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, 0));
    EXPECT_TRUE(SystemParametersInfoA(SPI_SETSCREENSAVETIMEOUT, 120, nullptr, SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE));
    EXPECT_FALSE(SystemParametersInfoA(0x9999, 1, nullptr, 0));
    hosted::SetConsole(nullptr, nullptr);
    std::fclose(out);
    const std::string console(printed, size);
    std::free(printed);

    EXPECT_EQ(ReadText(temp_ / "session.ini"), "[windows]\r\nScreenSaveActive=1\r\nScreenSaveTimeOut=120\r\n");
    EXPECT_EQ(ReadText(temp_ / "win.ini"), "[windows]\r\nScreenSaveTimeOut=120\r\n");
    EXPECT_NE(console.find("ScreenSaveTimeOut=120"), std::string::npos) << "the announcement is shown";
    EXPECT_EQ(console.find("ScreenSaveActive"), std::string::npos) << "flags 0 announce nothing";

    BOOL active = FALSE;
    UINT timeout = 0;
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0));
    EXPECT_TRUE(SystemParametersInfoA(SPI_GETSCREENSAVETIMEOUT, 0, &timeout, 0));
    EXPECT_EQ(active, TRUE);
    EXPECT_EQ(timeout, 120u);
}

}  // namespace
