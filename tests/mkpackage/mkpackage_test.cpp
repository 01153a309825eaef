// mkpackage's commands, their output files, their messages and exit codes, on good and bad input.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "package/package.h"
#include "szdd/szdd.h"
#include "tests/support/test_files.h"
#include "tests/szdd/corpus.h"
#include "tests/szdd/marker_run_input.h"

namespace {

using testing_support::Bytes;
using testing_support::ReadBytes;
using testing_support::ReadText;
using testing_support::TempDir;
using testing_support::WriteBytes;

struct Outcome {
    int exitCode;
    std::string out;
    std::string err;
};

// Joins pieces; written out because GCC 12 warns falsely on "literal" + std::string.
std::string Cat(std::initializer_list<std::string_view> pieces) {
    std::string all;
    for (std::string_view piece : pieces) all.append(piece);
    return all;
}

std::string Quote(const std::string& arg) { return Cat({"'", arg, "'"}); }

class Mkpackage : public ::testing::Test {
protected:
    Outcome Run(const std::vector<std::string>& args) {
        std::string command = Quote(MKPACKAGE);
        for (const std::string& arg : args) command += Cat({" ", Quote(arg)});
        command += Cat({" >", Quote(dir_ / "stdout"), " 2>", Quote(dir_ / "stderr")});
        const int status = std::system(command.c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadText(dir_ / "stdout"), ReadText(dir_ / "stderr")};
    }
    std::string Path(const std::string& name) { return dir_ / name; }
    // The names in the directory besides the captured output.
    std::vector<std::string> Files() {
        std::vector<std::string> names;
        for (const std::string& name : testing_support::ListDirectory(dir_.path().string()))
            if (name != "stdout" && name != "stderr") names.push_back(name);
        return names;
    }
    std::string Packed(const Bytes& saver) {
        WriteBytes(Path("saver.scr"), saver);
        const Outcome packed = Run({"pack", INSTALLER_IMAGE, Path("saver.scr"), "-o", Path("Setup")});
        EXPECT_EQ(packed.exitCode, 0) << packed.err;
        return Path("Setup");
    }
    TempDir dir_;
};

TEST_F(Mkpackage, HelpGoesToStdoutAndBadArgumentsGetTheUsageLine) {
    const Outcome help = Run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("usage: mkpackage pack INSTALLER SAVER -o PACKAGE"), std::string::npos);
    EXPECT_NE(help.out.find("inspect"), std::string::npos);
    const std::vector<std::vector<std::string>> bad = {
        {}, {"pack", "a", "b"}, {"pack", "a", "b", "-x", "c"}, {"inspect"}, {"inspect", "p", "-o", "q"},
        {"extract", "p", "s"}, {"compress", "a", "-o"}, {"compress", "a", "-o", "b", "-o", "c"},
        {"expand", "a", "b", "c", "d"}};
    for (const auto& args : bad) {
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.exitCode, 2) << (args.empty() ? "(none)" : args[0]);
        EXPECT_NE(outcome.err.find("usage: mkpackage"), std::string::npos);
        EXPECT_TRUE(outcome.out.empty());
    }
    for (const std::string command : {"frobnicate", "unpack", "PACK"}) {
        const Outcome outcome = Run({command, "x", "-o", "y"});
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_NE(outcome.err.find(Cat({"unknown command '", command, "'"})), std::string::npos) << outcome.err;
        EXPECT_NE(outcome.err.find("usage: mkpackage"), std::string::npos);
    }
    EXPECT_TRUE(Files().empty());
}

TEST_F(Mkpackage, OutputMayStandAnywhereAmongTheArguments) {
    const Bytes saver = testing_support::SampleProgram(30000, 5);
    const std::string package = Packed(saver);
    EXPECT_EQ(Run({"pack", "-o", Path("Setup2"), INSTALLER_IMAGE, Path("saver.scr")}).exitCode, 0);
    EXPECT_EQ(Run({"pack", INSTALLER_IMAGE, "-o", Path("Setup3"), Path("saver.scr")}).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("Setup2")), ReadBytes(package));
    EXPECT_EQ(ReadBytes(Path("Setup3")), ReadBytes(package));
    EXPECT_EQ(Run({"extract", "-o", Path("out.scr"), package}).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("out.scr")), saver);
    EXPECT_EQ(Run({"compress", "-o", Path("saver.sc_"), Path("saver.scr")}).exitCode, 0);
    EXPECT_EQ(Run({"expand", "-o", Path("back.scr"), Path("saver.sc_")}).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("back.scr")), saver);
    // Before the command as well.
    EXPECT_EQ(Run({"-o", Path("Setup4"), "pack", INSTALLER_IMAGE, Path("saver.scr")}).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("Setup4")), ReadBytes(package));
    const Outcome unknown = Run({"-o", Path("x"), "frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_NE(unknown.err.find("unknown command 'frobnicate'"), std::string::npos) << unknown.err;
}

// Writing over an input would lose it; the same file however it is named is refused.
TEST_F(Mkpackage, OutputNamingAnInputIsRefusedAndTheInputKept) {
    const Bytes saver = testing_support::SampleProgram(30000, 6);
    const std::string package = Packed(saver);
    WriteBytes(Path("image"), ReadBytes(INSTALLER_IMAGE));
    ASSERT_EQ(Run({"compress", Path("saver.scr"), "-o", Path("saver.sc_")}).exitCode, 0);
    ASSERT_EQ(symlink(Path("saver.scr").c_str(), Path("link.scr").c_str()), 0);
    ASSERT_EQ(link(Path("Setup").c_str(), Path("hard-Setup").c_str()), 0);
    const std::string otherSpelling = dir_ / "./saver.scr";
    const std::vector<std::vector<std::string>> cases = {
        {"pack", Path("image"), Path("saver.scr"), "-o", Path("saver.scr")},
        {"pack", Path("image"), Path("saver.scr"), "-o", Path("image")},
        {"pack", Path("image"), Path("saver.scr"), "-o", Path("link.scr")},
        {"compress", Path("saver.scr"), "-o", Path("saver.scr")},
        {"compress", Path("saver.scr"), "-o", otherSpelling},
        {"compress", Path("link.scr"), "-o", Path("saver.scr")},
        {"expand", Path("saver.sc_"), "-o", Path("saver.sc_")},
        {"extract", package, "-o", package},
        {"extract", package, "-o", Path("hard-Setup")},
    };
    const std::vector<std::string> before = Files();
    const std::vector<Bytes> contents = {ReadBytes(Path("saver.scr")), ReadBytes(Path("image")), ReadBytes(Path("saver.sc_")),
                                         ReadBytes(package)};
    for (const auto& args : cases) {
        SCOPED_TRACE(Cat({args[0], " ... -o ", args.back()}));
        const Outcome outcome = Run(args);
        EXPECT_EQ(outcome.exitCode, 2);
        EXPECT_NE(outcome.err.find("names the input"), std::string::npos) << outcome.err;
        EXPECT_EQ(Files(), before);
        EXPECT_EQ((std::vector<Bytes>{ReadBytes(Path("saver.scr")), ReadBytes(Path("image")), ReadBytes(Path("saver.sc_")),
                                      ReadBytes(package)}),
                  contents);
    }
}

// The installer's scan takes a marker's 256th byte without looking at it, so a package whose
// second marker lacks it, or has another, still installs: mkpackage warns and goes on.
TEST_F(Mkpackage, SecondMarkerWithoutItsLastByteIsAWarningOnly) {
    const Bytes saver = testing_support::SampleProgram(20000, 7);
    const Bytes payload = szdd::Compress(saver);
    const Bytes plain = testing_support::MakePackage(Bytes(500, 'I'), payload);
    Bytes otherByte = testing_support::Concat({plain, testing_support::Trailer(payload)});
    otherByte[plain.size() - 1] = 0x00;
    WriteBytes(Path("cut"), Bytes(plain.begin(), plain.end() - 1));
    WriteBytes(Path("other"), otherByte);
    for (const char* name : {"cut", "other"}) {
        SCOPED_TRACE(name);
        const Outcome inspected = Run({"inspect", Path(name)});
        EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
        EXPECT_NE(inspected.err.find("warning: the second marker's last byte"), std::string::npos) << inspected.err;
        EXPECT_NE(inspected.err.find("the installer takes the marker all the same"), std::string::npos) << inspected.err;
        EXPECT_NE(inspected.out.find("finds the whole payload"), std::string::npos) << inspected.out;
        const Outcome extracted = Run({"extract", Path(name), "-o", Path("out.scr")});
        EXPECT_EQ(extracted.exitCode, 0) << extracted.err;
        EXPECT_NE(extracted.err.find("warning"), std::string::npos);
        EXPECT_EQ(ReadBytes(Path("out.scr")), saver);
    }
    EXPECT_NE(Run({"inspect", Path("other")}).out.find("trailer: payload length"), std::string::npos)
        << "the trailer after the odd byte is read as the installer reads it";
}

TEST_F(Mkpackage, PackedSaverSitsBetweenMarkersWhereTheInstallerFindsItAndExtractsWhole) {
    const Bytes saver = testing_support::SampleProgram(300000, 4);
    const std::string package = Packed(saver);
    const Bytes bytes = ReadBytes(package);
    const Bytes image = ReadBytes(INSTALLER_IMAGE);
    const std::size_t first = std::max<std::size_t>(image.size(), kMarkerSearchStart);
    const Bytes payload = szdd::Compress(saver);
    EXPECT_EQ(bytes, testing_support::Concat({testing_support::MakePackage(image, payload), testing_support::Trailer(payload)}))
        << "image, markers and payload, then the trailer with zlib's CRC-32";

    const Outcome inspected = Run({"inspect", package});
    EXPECT_EQ(inspected.exitCode, 0) << inspected.err;
    const std::string firstText = std::to_string(first);
    EXPECT_NE(inspected.out.find(Cat({"first marker   offset ", std::string(10 - firstText.size(), ' '), firstText})), std::string::npos)
        << inspected.out;
    EXPECT_NE(inspected.out.find(Cat({"expanded length ", std::to_string(saver.size())})), std::string::npos) << inspected.out;
    EXPECT_NE(inspected.out.find("finds the whole payload"), std::string::npos) << inspected.out;
    EXPECT_NE(inspected.out.find("trailer: payload length " + std::to_string(payload.size())), std::string::npos)
        << inspected.out;

    EXPECT_EQ(Run({"extract", package, "-o", Path("out.scr")}).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("out.scr")), saver);
    EXPECT_EQ(Run({"pack", INSTALLER_IMAGE, Path("saver.scr"), "-o", Path("Again")}).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("Again")), bytes) << "not reproducible";
}

TEST_F(Mkpackage, ShortImageIsPaddedAndASaverWhoseOptimumSpellsARunStillPacks) {
    WriteBytes(Path("image"), Bytes(100, 'I'));
    const Bytes saver = szdd_corpus::InputWhoseOptimumHoldsARun();
    ASSERT_TRUE(szdd::Find(szdd::CompressOptimal(saver), szdd_corpus::MarkerRun()).has_value());
    WriteBytes(Path("saver.scr"), saver);
    const Outcome packed = Run({"pack", Path("image"), Path("saver.scr"), "-o", Path("Setup")});
    ASSERT_EQ(packed.exitCode, 0) << packed.err;
    const Bytes bytes = ReadBytes(Path("Setup"));
    EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + 100), Bytes(100, 'I'));
    EXPECT_EQ(Bytes(bytes.begin() + 100, bytes.begin() + kMarkerSearchStart), Bytes(kMarkerSearchStart - 100, 0));
    EXPECT_EQ(Run({"inspect", Path("Setup")}).exitCode, 0);
    EXPECT_EQ(Run({"extract", Path("Setup"), "-o", Path("out.scr")}).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("out.scr")), saver);
}

TEST_F(Mkpackage, CompressAndExpandMakeAndReadPlainSzddFiles) {
    const Bytes text = testing_support::SampleProgram(50000, 2);
    WriteBytes(Path("file.txt"), text);
    ASSERT_EQ(Run({"compress", Path("file.txt"), "-o", Path("file.tx_")}).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("file.tx_")), szdd::Compress(text));
    ASSERT_EQ(Run({"expand", Path("file.tx_"), "-o", Path("back.txt")}).exitCode, 0);
    EXPECT_EQ(ReadBytes(Path("back.txt")), text);
}

TEST_F(Mkpackage, BadInputIsNamedWithItsReasonAndLeavesNoFileBehind) {
    const Bytes saver = testing_support::SampleProgram(20000, 3);
    WriteBytes(Path("saver.scr"), saver);
    const Bytes good = testing_support::MakePackage(Bytes(500, 'I'), szdd::Compress(saver));
    Bytes runInImage(50000, 'I');
    const Bytes marker = testing_support::Marker();
    std::copy(marker.begin(), marker.end() - 1, runInImage.begin() + 45000);
    WriteBytes(Path("runimage"), runInImage);
    WriteBytes(Path("cut"), Bytes(good.begin(), good.end() - 300));
    Bytes badPayload = good;
    badPayload[kMarkerSearchStart + kMarkerSize + 10] ^= 0x01;  // the expanded length, one off
    WriteBytes(Path("badpayload"), badPayload);
    WriteBytes(Path("nomarker"), Bytes(60000, 'x'));
    WriteBytes(Path("tiny"), Bytes(10, 'x'));
    const Bytes payload = szdd::Compress(saver);
    Bytes changedPayload = testing_support::Concat({good, testing_support::Trailer(payload)});
    changedPayload[kMarkerSearchStart + kMarkerSize + 100] ^= 0x20;  // only the trailer tells
    WriteBytes(Path("badcrc"), changedPayload);
    Bytes otherLength = testing_support::Concat({good, testing_support::Trailer(payload)});
    otherLength[otherLength.size() - 8] ^= 0x01;
    WriteBytes(Path("badlength"), otherLength);
    WriteBytes(Path("keep"), Bytes{'o', 'l', 'd'});
    std::filesystem::create_directory(Path("folder"));
    const struct {
        std::vector<std::string> args;
        std::string file;
        std::string reason;
    } cases[] = {
        {{"pack", INSTALLER_IMAGE, Path("missing.scr"), "-o", Path("keep")}, Path("missing.scr"), "cannot open"},
        {{"pack", Path("runimage"), Path("saver.scr"), "-o", Path("keep")}, Path("keep"), "inside the installer image"},
        {{"pack", INSTALLER_IMAGE, Path("saver.scr"), "-o", Path("nodir/Setup")}, Path("nodir/Setup"), "cannot create"},
        {{"inspect", Path("cut")}, Path("cut"), "no second marker"},
        {{"inspect", Path("nomarker")}, Path("nomarker"), "finds no marker"},
        {{"inspect", Path("tiny")}, Path("tiny"), "finds no marker"},
        {{"inspect", Path("badpayload")}, Path("badpayload"), "does not expand"},
        {{"inspect", Path("badcrc")}, Path("badcrc"), "CRC-32"},
        {{"inspect", Path("badlength")}, Path("badlength"), "the trailer states a payload of"},
        {{"extract", Path("badcrc"), "-o", Path("keep")}, Path("badcrc"), "CRC-32"},
        {{"extract", Path("cut"), "-o", Path("keep")}, Path("cut"), "no second marker"},
        {{"extract", Path("badpayload"), "-o", Path("keep")}, Path("badpayload"), "does not expand"},
        {{"expand", Path("saver.scr"), "-o", Path("keep")}, Path("saver.scr"), "not an SZDD file"},
        {{"compress", Path("missing"), "-o", Path("keep")}, Path("missing"), "cannot open"},
    };
    const std::vector<std::string> before = Files();
    for (const auto& c : cases) {
        SCOPED_TRACE(Cat({c.args[0], " ", c.args[1]}));
        const Outcome outcome = Run(c.args);
        EXPECT_EQ(outcome.exitCode, 1);
        EXPECT_NE(outcome.err.find(Cat({"mkpackage: ", c.file, ": "})), std::string::npos) << outcome.err;
        EXPECT_NE(outcome.err.find(c.reason), std::string::npos) << outcome.err;
        EXPECT_EQ(Files(), before) << "a file was left behind";
        EXPECT_EQ(ReadBytes(Path("keep")), (Bytes{'o', 'l', 'd'})) << "the old file was touched";
    }
}

}  // namespace
