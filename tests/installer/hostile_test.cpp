// Damaged and hostile packages, and hostile surroundings: each run ends with the right screen saver
// or the error box, and nothing half-done is left behind.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "installer/texts.h"
#include "platform/hosted/profile.h"
#include "szdd/szdd.h"
#include "tests/installer/run_installer.h"
#include "tests/support/product.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;

constexpr char kYesYes[] = "\nj\nj\n\n";

class Hostile : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(windows_);
        saver_ = SampleProgram(60000, 11);
        payload_ = szdd::Compress(saver_);
        package_ = Concat({MakePackage(Bytes(2000, 'I'), payload_), Trailer(payload_)});
    }
    InstallerRun Install(const Bytes& package, const std::string& answers = kYesYes) {
        WriteBytes(packagePath_, package);
        return RunInstaller(packagePath_, windows_, answers);
    }
    // The right screen saver, or the error box with an empty Windows directory.
    void ExpectRightSaverOrCleanError(const InstallerRun& run) {
        ASSERT_FALSE(run.boxes.empty());
        if (run.exitCode == 0) {
            EXPECT_EQ(run.boxes.back().text, kClosingText);
            EXPECT_EQ(ReadBytes(windows_ + "/" + SaverFileName()), saver_);
        } else {
            EXPECT_EQ(run.exitCode, 1);
            EXPECT_EQ(run.boxes.back().style, MB_ICONERROR);
            EXPECT_TRUE(ListDirectory(windows_).empty());
        }
        std::filesystem::remove_all(windows_);
        std::filesystem::create_directory(windows_);
    }
    std::size_t PayloadStart() const { return 40001 + 256; }

    TempDir temp_;
    std::string windows_ = temp_ / "windows";
    std::string packagePath_ = temp_ / "setup";
    Bytes saver_;
    Bytes payload_;
    Bytes package_;
};

TEST_F(Hostile, FlippedBytesAreCaught) {
    // Each byte of the payload and of the second marker; the trailer tells every change.
    const std::size_t end = PayloadStart() + payload_.size() + 256;
    for (std::size_t at = PayloadStart(); at < end; at += (end - PayloadStart()) / 23 + 1) {
        for (const std::uint8_t flip : {0x01, 0x80, 0xFF}) {
            SCOPED_TRACE("byte " + std::to_string(at) + " ^ " + std::to_string(flip));
            Bytes bad = package_;
            bad[at] ^= flip;
            const InstallerRun run = Install(bad);
            EXPECT_EQ(run.exitCode, 1);
            ExpectRightSaverOrCleanError(run);
        }
    }
}

TEST_F(Hostile, CutAtSixteenPoints) {
    for (int point = 0; point < 16; ++point) {
        const std::size_t length = 40001 + (package_.size() - 40001) * point / 16;
        SCOPED_TRACE("cut to " + std::to_string(length));
        const InstallerRun run = Install(Bytes(package_.begin(), package_.begin() + static_cast<long>(length)));
        EXPECT_EQ(run.exitCode, 1);
        ExpectRightSaverOrCleanError(run);
    }
}

TEST_F(Hostile, JunkAfterTheMarkersIsIgnored) {
    const Bytes plain = MakePackage(Bytes(2000, 'I'), payload_);
    for (const Bytes& package : {Concat({package_, SampleProgram(5000)}), Concat({plain, Bytes(3, 'Q')}),
                                 Concat({plain, Marker(), Marker()})}) {
        const InstallerRun run = Install(package);
        EXPECT_EQ(run.exitCode, 0);
        ExpectRightSaverOrCleanError(run);
    }
}

TEST_F(Hostile, HeaderClaimingGigabytesEndsQuicklyInBoundedMemory) {
    for (const std::uint32_t claimed : {0x60000000u, 0xFFFFFFF0u, 0x7FFFFFFFu}) {
        SCOPED_TRACE(claimed);
        Bytes payload = payload_;
        for (int i = 0; i < 4; ++i) payload[10 + i] = static_cast<std::uint8_t>(claimed >> (8 * i));
        const InstallerRun run = Install(Concat({MakePackage(Bytes(2000, 'I'), payload), Trailer(payload)}));
        EXPECT_EQ(run.exitCode, 1);
        ExpectRightSaverOrCleanError(run);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    EXPECT_LT(usage.ru_maxrss, 256 * 1024) << "kilobytes: nothing sized by the header's claim";
}

TEST_F(Hostile, SecondMarkerMissing) {
    Bytes package = MakePackage(Bytes(2000, 'I'), payload_);
    package.resize(package.size() - 256);
    const InstallerRun run = Install(Concat({package, SampleProgram(100000)}));
    EXPECT_EQ(run.exitCode, 1);
    ExpectRightSaverOrCleanError(run);
}

TEST_F(Hostile, ReadOnlyWindowsDirectory) {
    chmod(windows_.c_str(), 0555);
    std::string readOnly = windows_;
    if (access(windows_.c_str(), W_OK) == 0) readOnly = "/proc/self";  // root writes anywhere but there
    const InstallerRun run = RunInstaller((WriteBytes(packagePath_, package_), packagePath_), readOnly, kYesYes);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.boxes.back().text, kDirectoryUnwritableText);
    chmod(windows_.c_str(), 0755);
    EXPECT_TRUE(ListDirectory(windows_).empty());
}

TEST_F(Hostile, ReadOnlySystemIniIsLeftAsItIs) {
    const std::string systemIni = windows_ + "/system.ini";
    WriteText(systemIni, "[boot]\r\nSCRNSAVE.EXE=C:\\OLD.SCR\r\n");
    chmod(systemIni.c_str(), 0444);
    const InstallerRun run = Install(package_);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.boxes.back().text, kNotRegisteredText);
    EXPECT_EQ(ReadText(systemIni), "[boot]\r\nSCRNSAVE.EXE=C:\\OLD.SCR\r\n");
    EXPECT_EQ(ReadBytes(windows_ + "/" + SaverFileName()), saver_) << "installed, only not registered";
}

TEST_F(Hostile, OddAndHugeSystemIniKeepsEveryOtherByte) {
    const std::string longLine = "; " + std::string(200000, 'L');
    const std::string junk("stray line before any section\r\n\0\1\2 binary\r\n", 43);
    const std::string huge = std::string(20 << 20, '#');
    struct Case {
        const char* name;
        std::string before;
        std::string after;  // with @ standing for the new value
    };
    const Case cases[] = {
        {"no section at all", junk, junk + "[boot]\r\nSCRNSAVE.EXE=@\r\n"},
        {"duplicate sections and keys", "[boot]\nSCRNSAVE.EXE=a\nscrnsave.exe=b\n[Boot]\nSCRNSAVE.EXE=c\n",
         "[boot]\nSCRNSAVE.EXE=@\nscrnsave.exe=b\n[Boot]\nSCRNSAVE.EXE=c\n"},
        {"very long lines", "[boot]\r\n" + longLine + "\r\nshell=" + longLine + "\r\n",
         "[boot]\r\n" + longLine + "\r\nshell=" + longLine + "\r\nSCRNSAVE.EXE=@\r\n"},
        {"no final newline", "[boot]\nshell=Explorer.exe", "[boot]\nshell=Explorer.exe\nSCRNSAVE.EXE=@\n"},
        {"20 MB", "[boot]\n" + huge + "\n", "[boot]\n" + huge + "\nSCRNSAVE.EXE=@\n"},
    };
    char shortPath[260];
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteText(windows_ + "/system.ini", c.before);
        ASSERT_EQ(Install(package_).exitCode, 0);
        const DWORD length = GetShortPathNameA((windows_ + "\\" + SaverFileName()).c_str(), shortPath, sizeof shortPath);
        std::string expected = c.after;
        expected.replace(expected.find('@'), 1, std::string(shortPath, length));
        const std::string actual = ReadText(windows_ + "/system.ini");
        EXPECT_TRUE(actual == expected) << "differs from byte "
                                        << std::mismatch(actual.begin(), actual.end(), expected.begin(), expected.end()).first -
                                               actual.begin();
    }
}

}  // namespace
