// The packer and the packed installer as a user runs them: separate processes, answers on stdin.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "platform/hosted/profile.h"
#include "platform/winapi.h"
#include "tests/support/product.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;

// Runs a shell command; returns its exit code.
int Shell(const std::string& command) {
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

class PackageRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(windows_);
        WriteBytes(saver_, SampleProgram(400000, 7));
        ASSERT_EQ(Shell(Quoted(MKPACKAGE) + " pack " + Quoted(INSTALLER) + " " + saver_ + " -o " + package_), 0);
    }
    int RunPackage(const std::string& answers, const std::string& arguments = "") {
        return Shell("printf " + Quoted(answers) + " | WINDIR=" + windows_ + " " + package_ + " " + arguments +
                     " > " + temp_ / "console.txt");
    }
    std::optional<std::string> Value(const std::string& file, const char* section, const char* key) {
        return hosted::ReadProfileValue(ReadText(windows_ + "/" + file), section, key);
    }

    TempDir temp_;
    std::string windows_ = temp_ / "D";
    std::string saver_ = temp_ / "saver.scr";
    std::string package_ = temp_ / "Quendolin-Setup";
};

TEST_F(PackageRun, UnattendedInstallWithArgumentsIgnored) {
    ASSERT_EQ(RunPackage("\\nj\\nj\\n\\n", "/s --whatever"), 0) << ReadText(temp_ / "console.txt");
    EXPECT_EQ(ReadBytes(windows_ + "/" + SaverFileName()), ReadBytes(saver_));
    EXPECT_FALSE(Exists(windows_ + "/" + PackedFileName()));

    char shortPath[260];
    const DWORD length = GetShortPathNameA((windows_ + "\\" + SaverFileName()).c_str(), shortPath, sizeof shortPath);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(Value("system.ini", "boot", "SCRNSAVE.EXE"), std::string(shortPath));
    EXPECT_EQ(Value("session.ini", "windows", "ScreenSaveActive"), "1");
    EXPECT_EQ(Value("session.ini", "windows", "ScreenSaveTimeOut"), "120");
    EXPECT_EQ(Value("win.ini", "windows", "ScreenSaveTimeOut"), "120");
    EXPECT_EQ(Value("win.ini", "windows", "ScreenSaveActive"), std::nullopt);
    EXPECT_NE(ReadText(temp_ / "console.txt").find("Installation erfolgreich abgeschlossen!"), std::string::npos);
}

TEST_F(PackageRun, NoWritesNothing) {
    EXPECT_EQ(RunPackage("\\nn\\n"), 0);
    EXPECT_TRUE(ListDirectory(windows_).empty());
}

TEST_F(PackageRun, CutPackageFailsWithNothingLeft) {
    Bytes package = ReadBytes(package_);
    package.resize(package.size() - 1000);
    WriteBytes(package_, package);
    EXPECT_EQ(RunPackage("\\nj\\nj\\n\\n"), 1);
    EXPECT_TRUE(ListDirectory(windows_).empty());
    EXPECT_NE(ReadText(temp_ / "console.txt").find("besch\xC3\xA4" "digt"), std::string::npos);
}

TEST_F(PackageRun, TwoInstallersAtOnceEachEndClearly) {
    for (int round = 0; round < 6; ++round) {
        SCOPED_TRACE(round);
        const std::string command = "for i in 1 2; do ( printf '\\nj\\nj\\n\\n' | WINDIR=" + windows_ + " " + package_ +
                                    " > " + temp_ / "console" + "$i; echo $? > " + temp_ / "exit" + "$i ) & done; wait";
        ASSERT_EQ(Shell(command), 0);
        bool anySucceeded = false;
        for (const char* i : {"1", "2"}) {
            const std::string console = ReadText(temp_ / (std::string("console") + i));
            const int exitCode = std::stoi(ReadText(temp_ / (std::string("exit") + i)));
            const bool succeeded = console.find("Installation erfolgreich abgeschlossen!") != std::string::npos;
            EXPECT_TRUE(exitCode == 0 ? succeeded : exitCode == 1 && !succeeded && console.find("(x)") != std::string::npos)
                << "exit " << exitCode << ":\n" << console;
            anySucceeded = anySucceeded || exitCode == 0;
        }
        const std::vector<std::string> left = ListDirectory(windows_);
        for (const std::string& name : left)
            EXPECT_TRUE(name == SaverFileName() || name == "system.ini" || name == "session.ini" || name == "win.ini")
                << "left behind: " << name;
        if (Exists(windows_ + "/" + SaverFileName())) {
            EXPECT_EQ(ReadBytes(windows_ + "/" + SaverFileName()), ReadBytes(saver_));
        }
        if (anySucceeded) {
            EXPECT_TRUE(Value("system.ini", "boot", "SCRNSAVE.EXE").has_value()) << "a system.ini Windows can read";
        }
    }
}

TEST_F(PackageRun, PackerIsReproducible) {
    const std::string again = temp_ / "again";
    ASSERT_EQ(Shell(Quoted(MKPACKAGE) + " pack " + Quoted(INSTALLER) + " " + saver_ + " -o " + again), 0);
    EXPECT_EQ(ReadBytes(again), ReadBytes(package_));
    const Bytes package = ReadBytes(package_);
    const Bytes marker = Marker();
    const std::size_t image = std::max<std::size_t>(ReadBytes(INSTALLER).size(), 40001);
    EXPECT_TRUE(std::equal(marker.begin(), marker.end(), package.begin() + static_cast<long>(image)))
        << "the marker follows the image, padded to 40001 when shorter";
    EXPECT_TRUE(std::equal(marker.begin(), marker.end(), package.end() - 256 - 16)) << "then the 16-byte trailer";
}

TEST_F(PackageRun, PackerRefusesBadInputAndLeavesNothing) {
    const std::string out = temp_ / "out";
    EXPECT_EQ(Shell(Quoted(MKPACKAGE) + " pack " + Quoted(INSTALLER) + " " + (temp_ / "missing.scr") + " -o " + out +
                    " 2> " + (temp_ / "err.txt")),
              1);
    EXPECT_NE(ReadText(temp_ / "err.txt").find("missing.scr"), std::string::npos) << "the error names the file";

    // An image that holds a marker-like run past 40001 would stop the installer's scan there.
    Bytes image(50000, 'I');
    for (int i = 0; i < 255; ++i) image[45000 + i] = static_cast<std::uint8_t>(i);
    WriteBytes(temp_ / "bad-image", image);
    EXPECT_EQ(Shell(Quoted(MKPACKAGE) + " pack " + (temp_ / "bad-image") + " " + saver_ + " -o " + out + " 2> " +
                    (temp_ / "err.txt")),
              1);
    EXPECT_NE(ReadText(temp_ / "err.txt").find("45000"), std::string::npos) << ReadText(temp_ / "err.txt");
    EXPECT_FALSE(Exists(out));
    EXPECT_EQ(ListDirectory(temp_.path()),
              (std::vector<std::string>{"D", "Quendolin-Setup", "bad-image", "err.txt", "saver.scr"}));
}

}  // namespace
