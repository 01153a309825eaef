// Installing over a screen saver already there: a failed install keeps it, a failed registration
// leaves the system as it was, and a whole one names the new screen saver wherever the system of
// either family looks for it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "installer/texts.h"
#include "platform/hosted/hosted_control.h"
#include "szdd/szdd.h"
#include "tests/installer/run_installer.h"
#include "tests/support/product.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;

constexpr char kYesYes[] = "\nj\nj\n\n";

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}
constexpr char kSystemIni[] = "; keep me\r\n[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=C:\\WINDOWS\\QUENDO~1.SCR\r\n[drivers]\r\nwave=mmdrv.dll\r\n";
constexpr char kSession[] = "[windows]\r\nScreenSaveActive=0\r\nScreenSaveTimeOut=900\r\n";

// Run for the NT family and for Windows 9x (parameter true).
class OlderSaver : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        hosted::ReportWindows9x(GetParam());
        std::filesystem::create_directory(windows_);
        saver_ = SampleProgram(40000, 5);
        WriteBytes(Windows(SaverFileName()), older_);
        WriteText(Windows("system.ini"), kSystemIni);
        WriteText(Windows("session.ini"), kSession);
        WriteText(Windows("win.ini"), "[windows]\nScreenSaveTimeOut=900\n[Desktop]\nWallpaper=(None)\n");
    }
    void TearDown() override { hosted::ReportWindows9x(false); }
    std::string Windows(const std::string& name) const { return windows_ + "/" + name; }
    InstallerRun Run() { return RunInstaller(package_, windows_, kYesYes); }
    std::string Entry(const char* section, const char* file) {
        char value[260];
        const DWORD length = GetPrivateProfileStringA(section, "SCRNSAVE.EXE", "", value, sizeof value, Windows(file).c_str());
        return std::string(value, length);
    }

    TempDir temp_;
    std::string windows_ = temp_ / "windows";
    std::string package_ = temp_ / "Quendolin-Setup";
    Bytes saver_;
    const Bytes older_ = SampleProgram(25000, 11);
};

struct DamagedPayload {
    const char* name;
    Bytes (*make)(const Bytes& payload);
};

// Payloads that the marker scan finds whole and that fail only while they are expanded.
const DamagedPayload kDamaged[] = {
    {"plain layout, the data cut in the middle", [](const Bytes& p) { return MakePackage(Bytes(900, 'I'), Bytes(p.begin(), p.begin() + p.size() / 2)); }},
    {"plain layout, the header claiming one byte more",
     [](const Bytes& p) {
         Bytes bad = p;
         ++bad[10];
         return MakePackage(Bytes(900, 'I'), bad);
     }},
    {"a trailer whose CRC matches the bad payload",
     [](const Bytes& p) {
         Bytes bad(p.begin(), p.end() - 40);
         return Concat({MakePackage(Bytes(900, 'I'), bad), Trailer(bad)});
     }},
};

TEST_P(OlderSaver, DamagedPackageKeepsItAndSystemIni) {
    const Bytes payload = szdd::Compress(saver_);
    for (const DamagedPayload& damaged : kDamaged) {
        SCOPED_TRACE(damaged.name);
        WriteBytes(package_, damaged.make(payload));
        const InstallerRun run = Run();
        EXPECT_EQ(run.exitCode, 1);
        ASSERT_FALSE(run.boxes.empty());
        EXPECT_EQ(run.boxes.back().text, kPackageDamagedText);
        EXPECT_EQ(ReadBytes(Windows(SaverFileName())), older_);
        EXPECT_EQ(ReadText(Windows("system.ini")), kSystemIni);
        EXPECT_EQ(ListDirectory(windows_),
                  Sorted({SaverFileName(), "session.ini", "system.ini", "win.ini"}));
    }
}

TEST_P(OlderSaver, WholeInstallReplacesItAndNamesItWhereTheSystemLooks) {
    const Bytes payload = szdd::Compress(saver_);
    WriteBytes(package_, Concat({MakePackage(Bytes(900, 'I'), payload), Trailer(payload)}));
    const InstallerRun run = Run();
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(ReadBytes(Windows(SaverFileName())), saver_);
    EXPECT_EQ(ListDirectory(windows_), Sorted({SaverFileName(), "session.ini", "system.ini", "win.ini"}));
    char shortPath[260];
    ASSERT_GT(GetShortPathNameA((windows_ + "\\" + SaverFileName()).c_str(), shortPath, sizeof shortPath), 0u);
    EXPECT_EQ(Entry("boot", "system.ini"), shortPath);
    if (GetParam()) {
        EXPECT_EQ(Entry("Desktop", "win.ini"), "") << "Windows 9x reads system.ini only";
        EXPECT_EQ(ReadText(Windows("win.ini")), "[windows]\nScreenSaveTimeOut=120\n[Desktop]\nWallpaper=(None)\n");
    } else {
        EXPECT_EQ(Entry("Desktop", "win.ini"), shortPath) << "the NT family reads the user's [Desktop]";
    }
}

TEST_P(OlderSaver, ReadOnlyWinIniLeavesSystemIniAndTheLiveSettings) {
    const Bytes payload = szdd::Compress(saver_);
    WriteBytes(package_, MakePackage(Bytes(900, 'I'), payload));
    const std::string winIni = ReadText(Windows("win.ini"));
    chmod(Windows("win.ini").c_str(), 0444);
    const InstallerRun run = Run();
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_FALSE(run.boxes.empty());
    EXPECT_EQ(run.boxes.back().text, kNotRegisteredText);
    EXPECT_EQ(ReadBytes(Windows(SaverFileName())), saver_) << "installed, only not registered";
    EXPECT_EQ(ReadText(Windows("system.ini")), kSystemIni);
    EXPECT_EQ(ReadText(Windows("session.ini")), kSession);
    EXPECT_EQ(ReadText(Windows("win.ini")), winIni);
}

TEST_P(OlderSaver, SystemIniWithoutTheEntryGetsItBackWithout) {
    // No [boot] SCRNSAVE.EXE and no [Desktop] before: the undo takes away what it added.
    WriteText(Windows("system.ini"), "[boot]\r\nshell=Explorer.exe\r\n");
    WriteText(Windows("win.ini"), "[windows]\nScreenSaveTimeOut=900\n");
    WriteText(Windows("session.ini"), kSession);
    chmod(Windows("session.ini").c_str(), 0444);  // the live settings cannot be changed
    const Bytes payload = szdd::Compress(saver_);
    WriteBytes(package_, MakePackage(Bytes(900, 'I'), payload));
    const InstallerRun run = Run();
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(ReadText(Windows("system.ini")), "[boot]\r\nshell=Explorer.exe\r\n");
    EXPECT_EQ(ReadText(Windows("win.ini")), "[windows]\nScreenSaveTimeOut=900\n");
    EXPECT_EQ(ReadText(Windows("session.ini")), kSession);
}

INSTANTIATE_TEST_SUITE_P(Family, OlderSaver, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Windows9x" : "NT"; });

// The registered alias is the new file's own, however other long names sort beside it.
TEST(RegisteredAlias, IsTheInstalledFilesOwn) {
    const std::string alias1 = ShortAlias(SaverFileName());
    if (alias1 == SaverFileName()) GTEST_SKIP() << SaverFileName() << " is an 8.3 name: it has no alias";
    const auto alias = [&](char number) {
        std::string text = alias1;
        text[text.find("~1") + 1] = number;
        return text;
    };
    TempDir temp;
    const std::string windows = temp / "windows";
    std::filesystem::create_directory(windows);
    // An older file whose alias Windows dealt first: the new one's is the next.
    WriteText(windows + "/" + ProductName() + "zz.scr", "an older screen saver of another name");
    const Bytes saver = SampleProgram(20000, 2);
    WriteBytes(temp / "setup", MakePackage(Bytes(900, 'I'), szdd::Compress(saver)));
    ASSERT_EQ(RunInstaller(temp / "setup", windows, kYesYes).exitCode, 0);
    char value[260];
    const DWORD length = GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", value, sizeof value, (windows + "/system.ini").c_str());
    EXPECT_EQ(std::string(value, length), windows + "\\" + alias('2'));

    // A name that sorts first arrives; a second install keeps the alias that system.ini names.
    WriteText(windows + "/" + ProductName() + " Alt.scr", "x");
    ASSERT_EQ(RunInstaller(temp / "setup", windows, kYesYes).exitCode, 0);
    char shortPath[260];
    ASSERT_GT(GetShortPathNameA((windows + "/" + ProductName() + " Alt.scr").c_str(), shortPath, sizeof shortPath), 0u);
    EXPECT_EQ(std::string(shortPath), windows + "/" + alias('3'));
    EXPECT_EQ(GetPrivateProfileStringA("boot", "SCRNSAVE.EXE", "", value, sizeof value, (windows + "/system.ini").c_str()), length);
    EXPECT_EQ(std::string(value, length), windows + "\\" + alias('2'));
}

TEST(SystemIniWithByteOrderMark, KeyGoesIntoTheOneBoot) {
    TempDir temp;
    const std::string windows = temp / "windows";
    std::filesystem::create_directory(windows);
    WriteText(windows + "/system.ini", "\xEF\xBB\xBF[boot]\r\nshell=Explorer.exe\r\n[drivers]\r\nwave=mmdrv.dll\r\n");
    WriteBytes(temp / "setup", MakePackage(Bytes(900, 'I'), szdd::Compress(SampleProgram(5000))));
    ASSERT_EQ(RunInstaller(temp / "setup", windows, kYesYes).exitCode, 0);
    EXPECT_EQ(ReadText(windows + "/system.ini"), "\xEF\xBB\xBF[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=" + windows +
                                                     "\\" + ShortAlias(SaverFileName()) + "\r\n[drivers]\r\nwave=mmdrv.dll\r\n");
}

}  // namespace
