// The installer's whole dialogue and file steps, run in-process with scripted answers.
#include <gtest/gtest.h>

#include "installer/texts.h"
#include "szdd/szdd.h"
#include "tests/installer/run_installer.h"
#include "tests/support/product.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;

constexpr char kYesYes[] = "\nj\nj\n\n";
constexpr char kYesNo[] = "\nj\nn\n\n";
constexpr UINT kQuestion = MB_YESNO | MB_ICONQUESTION;

class InstallerFlow : public ::testing::Test {
protected:
    void SetUp() override {
        windows_ = temp_ / "windows";
        std::filesystem::create_directory(windows_);
        saver_ = SampleProgram(50000);
        WritePackage(MakePackage(Bytes(1000, 'I'), szdd::Compress(saver_)));
    }
    void WritePackage(const Bytes& package) { WriteBytes(package_, package); }
    InstallerRun Run(const std::string& answers) { return RunInstaller(package_, windows_, answers); }
    std::string Windows(const std::string& name) const { return windows_ + "/" + name; }
    std::string ShortSaverPath() const {
        char shortPath[260];
        const DWORD length = GetShortPathNameA((windows_ + "\\" + SaverFileName()).c_str(), shortPath, sizeof shortPath);
        return length == 0 ? std::string() : std::string(shortPath, length);
    }

    TempDir temp_;
    std::string windows_;
    std::string package_ = temp_ / "Quendolin-Setup";
    Bytes saver_;
};

struct ExpectedBox {
    std::string text;
    UINT style;
};

void ExpectBoxes(const InstallerRun& run, const std::vector<ExpectedBox>& expected) {
    ASSERT_EQ(run.boxes.size(), expected.size()) << run.console;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("box " + std::to_string(i));
        EXPECT_EQ(run.boxes[i].caption, ProductCaption());
        if (!expected[i].text.empty()) {
            EXPECT_EQ(run.boxes[i].text, expected[i].text);
        }
        EXPECT_EQ(run.boxes[i].style, expected[i].style);
        // No box is shown with the wait cursor, and every wait cursor is given back.
        EXPECT_EQ(run.boxes[i].cursor, run.cursorAfter);
    }
    EXPECT_EQ(run.cursorAfter, LoadCursorA(nullptr, IDC_ARROW));
}

TEST_F(InstallerFlow, YesAndYesInstallsAndRegisters) {
    const InstallerRun run = Run(kYesYes);
    EXPECT_EQ(run.exitCode, 0);
    ExpectBoxes(run, {{g_welcomeText, MB_OK},
                      {InstallQuestion(), kQuestion},
                      {RegisterQuestion(), kQuestion},
                      {"Installation erfolgreich abgeschlossen!", MB_ICONINFORMATION}});
    EXPECT_EQ(ReadBytes(Windows(SaverFileName())), saver_);
    EXPECT_EQ(ListDirectory(windows_),
              (std::vector<std::string>{SaverFileName(), "session.ini", "system.ini", "win.ini"}));
    EXPECT_EQ(ReadText(Windows("system.ini")), "[boot]\r\nSCRNSAVE.EXE=" + ShortSaverPath() + "\r\n");
    const std::string shortPath = ShortSaverPath();
    EXPECT_EQ(shortPath.substr(shortPath.rfind('\\') + 1), ShortAlias(SaverFileName()));
    EXPECT_EQ(ReadText(Windows("session.ini")), "[windows]\r\nScreenSaveActive=1\r\nScreenSaveTimeOut=120\r\n");
    // The NT family (the stand-in's default) takes the active screen saver from win.ini [Desktop].
    EXPECT_EQ(ReadText(Windows("win.ini")),
              "[Desktop]\r\nSCRNSAVE.EXE=" + ShortSaverPath() + "\r\n[windows]\r\nScreenSaveTimeOut=120\r\n");
    EXPECT_NE(run.console.find("Für Programmfehler"), std::string::npos) << "code page 1252 shown as UTF-8";
}

TEST_F(InstallerFlow, NoToRegistrationInstallsOnly) {
    const InstallerRun run = Run(kYesNo);
    EXPECT_EQ(run.exitCode, 0);
    ExpectBoxes(run, {{g_welcomeText, MB_OK}, {"", kQuestion}, {"", kQuestion},
                      {"Installation erfolgreich abgeschlossen!", MB_ICONINFORMATION}});
    EXPECT_EQ(ListDirectory(windows_), std::vector<std::string>{SaverFileName()});
    EXPECT_EQ(ReadBytes(Windows(SaverFileName())), saver_);
}

TEST_F(InstallerFlow, AnythingButYesToInstallWritesNothing) {
    for (const char* answers : {"\nn\n", "\nnein\n", "\n", "", "\njein\nj\n"}) {
        SCOPED_TRACE(answers);
        const InstallerRun run = Run(answers);
        EXPECT_EQ(run.exitCode, 0);
        ExpectBoxes(run, {{g_welcomeText, MB_OK}, {InstallQuestion(), kQuestion}});
        EXPECT_TRUE(ListDirectory(windows_).empty());
    }
}

TEST_F(InstallerFlow, SecondRunReplacesWhatTheFirstWrote) {
    WriteText(Windows(SaverFileName()), "an older screen saver, longer than nothing");
    WriteText(Windows(PackedFileName()), "a stale packed file");
    WriteText(Windows("system.ini"), "; keep me\n[boot]\nshell=Explorer.exe\nscrnsave.exe=C:\\OLD.SCR\n[drivers]\nwave=mmdrv.dll\n");
    WriteText(Windows("win.ini"), "[windows]\nScreenSaveTimeOut=600\nScreenSaveActive=0\n");
    ASSERT_EQ(Run(kYesYes).exitCode, 0);
    const InstallerRun second = Run(kYesYes);
    EXPECT_EQ(second.exitCode, 0);
    EXPECT_EQ(second.boxes.size(), 4u);
    EXPECT_EQ(ReadBytes(Windows(SaverFileName())), saver_);
    EXPECT_FALSE(Exists(Windows(PackedFileName())));
    EXPECT_EQ(ReadText(Windows("system.ini")),
              "; keep me\n[boot]\nshell=Explorer.exe\nscrnsave.exe=" + ShortSaverPath() + "\n[drivers]\nwave=mmdrv.dll\n");
    EXPECT_EQ(ReadText(Windows("win.ini")), "[windows]\nScreenSaveTimeOut=120\nScreenSaveActive=0\n[Desktop]\nSCRNSAVE.EXE=" +
                                                ShortSaverPath() + "\n");
}

struct BrokenPackage {
    const char* name;
    Bytes (*make)(const Bytes& payload);
    const char* text;
};

Bytes Image() { return Bytes(1000, 'I'); }

const BrokenPackage kBrokenPackages[] = {
    {"no marker at all", [](const Bytes&) { return SampleProgram(60000); }, kPackageDamagedText},
    {"second marker missing",
     [](const Bytes& p) {
         Bytes package = MakePackage(Image(), p);
         package.resize(package.size() - 256);
         return package;
     },
     kPackageDamagedText},
    {"second marker cut to 200 bytes",
     [](const Bytes& p) {
         Bytes package = MakePackage(Image(), p);
         package.resize(package.size() - 56);
         return package;
     },
     kPackageDamagedText},
    {"payload cut short", [](const Bytes& p) { return MakePackage(Image(), Bytes(p.begin(), p.begin() + p.size() / 2)); },
     kPackageDamagedText},
    {"payload without the SZDD magic",
     [](const Bytes& p) {
         Bytes bad = p;
         bad[0] = 'X';
         return MakePackage(Image(), bad);
     },
     kPackageDamagedText},
    {"header claims more than the data hold",
     [](const Bytes& p) {
         Bytes bad = p;
         bad[12] ^= 0x01;
         return MakePackage(Image(), bad);
     },
     kPackageDamagedText},
    {"empty payload", [](const Bytes&) { return MakePackage(Image(), Bytes()); }, kPackageDamagedText},
    {"payload byte changed, trailer tells",
     [](const Bytes& p) {
         Bytes bad = p;
         bad[bad.size() / 2] ^= 0x40;
         return Concat({MakePackage(Image(), bad), Trailer(p)});
     },
     kPackageDamagedText},
    {"trailer states another length",
     [](const Bytes& p) {
         Bytes trailer = Trailer(p);
         trailer[8] ^= 1;
         return Concat({MakePackage(Image(), p), trailer});
     },
     kPackageDamagedText},
};

TEST_F(InstallerFlow, PackageWithTrailerInstalls) {
    const Bytes payload = szdd::Compress(saver_);
    WritePackage(Concat({MakePackage(Image(), payload), Trailer(payload), Bytes(100, 'j')}));
    const InstallerRun run = Run(kYesNo);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(ReadBytes(Windows(SaverFileName())), saver_);
}

TEST_F(InstallerFlow, DamagedPackageShowsErrorAndLeavesNothing) {
    const Bytes payload = szdd::Compress(saver_);
    for (const BrokenPackage& broken : kBrokenPackages) {
        SCOPED_TRACE(broken.name);
        WritePackage(broken.make(payload));
        const InstallerRun run = Run(kYesYes);
        EXPECT_EQ(run.exitCode, 1);
        ExpectBoxes(run, {{g_welcomeText, MB_OK}, {"", kQuestion}, {broken.text, MB_ICONERROR}});
        EXPECT_TRUE(ListDirectory(windows_).empty());
    }
}

TEST_F(InstallerFlow, UnwritableWindowsDirectoryShowsError) {
    std::filesystem::remove(windows_);
    const InstallerRun missing = Run(kYesYes);
    EXPECT_EQ(missing.exitCode, 1);
    ExpectBoxes(missing, {{g_welcomeText, MB_OK}, {"", kQuestion}, {kDirectoryUnwritableText, MB_ICONERROR}});
    EXPECT_FALSE(Exists(windows_));

    // 260 bytes hold no path in a directory this long; nothing may be created under a cut name.
    const std::string tooLong = temp_ / std::string(250, 'w');
    std::filesystem::create_directory(tooLong);
    const InstallerRun longRun = RunInstaller(package_, tooLong, kYesYes);
    EXPECT_EQ(longRun.exitCode, 1);
    ExpectBoxes(longRun, {{g_welcomeText, MB_OK}, {"", kQuestion}, {kWindowsPathTooLongText, MB_ICONERROR}});
    EXPECT_TRUE(ListDirectory(tooLong).empty());
}

TEST_F(InstallerFlow, WindowsDirectoryTooLongForTheOpenFileRecord) {
    // OpenFile and LZOpenFileA hold at most 127 characters of path: "<dir>\<name>.SC_" and its
    // siblings are as long as "<dir>\<name>.scr".
    for (const std::size_t pathLength : {std::size_t{127}, std::size_t{128}}) {
        SCOPED_TRACE(pathLength);
        std::string directory = temp_ / "d";
        directory.append(pathLength - 1 - SaverFileName().size() - directory.size(), 'd');
        std::filesystem::create_directory(directory);
        const InstallerRun run = RunInstaller(package_, directory, kYesNo);
        if (pathLength <= 127) {
            EXPECT_EQ(run.exitCode, 0);
            EXPECT_EQ(ReadBytes(directory + "/" + SaverFileName()), saver_);
        } else {
            EXPECT_EQ(run.exitCode, 1);
            ExpectBoxes(run, {{g_welcomeText, MB_OK}, {"", kQuestion}, {kWindowsPathTooLongText, MB_ICONERROR}});
            EXPECT_NE(run.console.find("Der Pfad des Windows-Verzeichnisses ist zu lang"), std::string::npos);
            EXPECT_TRUE(ListDirectory(directory).empty());
        }
    }
}

TEST_F(InstallerFlow, PackagePathLongerThanWindowsGivesSaysSo) {
    std::string directory = temp_ / "p";
    directory.append(250 - directory.size(), 'p');
    std::filesystem::create_directory(directory);
    const std::string package = directory + "/Quendolin-Setup.exe";  // 270 characters
    std::filesystem::copy_file(package_, package);
    const InstallerRun run = RunInstaller(package, windows_, kYesYes);
    EXPECT_EQ(run.exitCode, 1);
    ExpectBoxes(run, {{g_welcomeText, MB_OK}, {"", kQuestion}, {kPackagePathTooLongText, MB_ICONERROR}});
    EXPECT_NE(run.console.find("Der Pfad des Installationspakets ist zu lang"), std::string::npos);
    EXPECT_TRUE(ListDirectory(windows_).empty());
}

}  // namespace
