// A product name with a blank and more than eight characters, built into its own installer.
#include <gtest/gtest.h>

#include "installer/texts.h"
#include "szdd/szdd.h"
#include "tests/installer/run_installer.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;

TEST(BlankProductName, KeepsTheBlankInFilesAndRegistersTheAlias) {
    TempDir temp;
    const std::string windows = temp / "windows";
    std::filesystem::create_directory(windows);
    const Bytes saver = SampleProgram(20000);
    WriteBytes(temp / "setup", MakePackage(Bytes(10, 'I'), szdd::Compress(saver)));

    const InstallerRun run = RunInstaller(temp / "setup", windows, "\nj\nj\n\n");
    EXPECT_EQ(run.exitCode, 0);
    ASSERT_EQ(run.boxes.size(), 4u);
    EXPECT_EQ(run.boxes[0].caption, "Sternen Himmel Bildschirmschoner");
    EXPECT_EQ(run.boxes[1].text, "Soll der Sternen Himmel Bildschirmschoner installiert werden?");
    EXPECT_EQ(ReadBytes(windows + "/Sternen Himmel.scr"), saver);
    EXPECT_FALSE(Exists(windows + "/Sternen Himmel.SC_"));
    const std::string systemIni = ReadText(windows + "/system.ini");
    const std::string suffix = "\\STERNE~1.SCR\r\n";
    EXPECT_EQ(systemIni.compare(0, 20, "[boot]\r\nSCRNSAVE.EXE"), 0) << systemIni;
    EXPECT_EQ(systemIni.compare(systemIni.size() - suffix.size(), suffix.size(), suffix), 0) << systemIni;
}

}  // namespace
