// Every I/O fault survived: the Nth call of each operation fails, once or from then on, for
// N = 1, 2, ... until a whole Yes/Yes install runs clean, and every failed run is checked.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>

#include "installer/texts.h"
#include "platform/hosted/faults.h"
#include "platform/hosted/profile.h"
#include "szdd/szdd.h"
#include "tests/installer/run_installer.h"
#include "tests/support/product.h"
#include "tests/support/test_files.h"

namespace {

using namespace testing_support;
using hosted::FaultMode;
using hosted::Operation;
using hosted::WriteFault;

const char* const kProfiles[] = {"system.ini", "win.ini", "session.ini"};

// Where Windows 9x keeps an older screen saver while the new one moves in.
std::string SetAsideFileName() { return ProductName() + ".~sc"; }

std::vector<std::string> Sorted(std::vector<std::string> names) {
    std::sort(names.begin(), names.end());
    return names;
}

using Snapshot = std::map<std::string, std::optional<std::string>>;

// Run on the NT family and on Windows 9x (parameter true), whose registration and replacement of
// the older screen saver take other steps.
class FaultWalk : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        hosted::ReportWindows9x(GetParam());
        saver_ = SampleProgram(30000, 3);
        const Bytes payload = szdd::Compress(saver_);
        WriteBytes(package_, Concat({MakePackage(Bytes(500, 'I'), payload), Trailer(payload)}));
        before_ = Prepare();
        ASSERT_EQ(RunInstaller(package_, windows_, kAnswers).exitCode, 0);
        after_ = Profiles();
        // A persistent fault can stop a registration, and its undo, anywhere: then each of its
        // writes is made or not, whole. Every such mix, with the writes in their order.
        const std::string saver = *hosted::ReadProfileValue(*after_.at("system.ini"), "boot", "SCRNSAVE.EXE");
        struct Write {
            const char* file;
            const char* section;
            const char* key;
            const char* value;
        };
        std::vector<Write> writes = {{"system.ini", "boot", "SCRNSAVE.EXE", saver.c_str()},
                                     {"session.ini", "windows", "ScreenSaveActive", "1"},
                                     {"session.ini", "windows", "ScreenSaveTimeOut", "120"},
                                     {"win.ini", "windows", "ScreenSaveTimeOut", "120"}};
        if (!GetParam()) writes.insert(writes.begin() + 1, {"win.ini", "Desktop", "SCRNSAVE.EXE", saver.c_str()});
        for (unsigned made = 0; made < 1u << writes.size(); ++made) {
            Snapshot mix = before_;
            for (unsigned i = 0; i < writes.size(); ++i)
                if (made & 1u << i)
                    mix[writes[i].file] =
                        hosted::EditProfile(mix.at(writes[i].file).value_or(""), writes[i].section, writes[i].key, writes[i].value);
            stepsDone_.push_back(mix);
        }
        EXPECT_EQ(stepsDone_.back(), after_) << "the writes of a registration";
    }

    // A Windows directory with an older screen saver installed and profiles that hold other
    // settings already.
    Snapshot Prepare() {
        std::filesystem::remove_all(windows_);
        std::filesystem::create_directory(windows_);
        WriteBytes(windows_ + "/" + SaverFileName(), kOlderSaver);
        WriteText(windows_ + "/system.ini", "[boot]\r\nshell=Explorer.exe\r\nSCRNSAVE.EXE=C:\\OLD.SCR\r\n[drivers]\r\nx=1\r\n");
        WriteText(windows_ + "/win.ini", "; user profile\n[windows]\nScreenSaveTimeOut=900\n");
        WriteText(windows_ + "/session.ini", "[windows]\r\nScreenSaveActive=0\r\n");
        return Profiles();
    }

    Snapshot Profiles() const {
        Snapshot snapshot;
        for (const char* name : kProfiles) {
            const std::string path = windows_ + "/" + name;
            snapshot[name] = Exists(path) ? std::optional(ReadText(path)) : std::nullopt;
        }
        return snapshot;
    }

    // After a run in which a fault fired: a clear failure, and nothing half-done left behind. A
    // failed install keeps the older screen saver byte for byte; a failed registration leaves the
    // new one installed and the profiles and live settings as they were. When the fault persists,
    // the undo of a registration may not get to write either: then each of the registration's
    // writes is made whole or not at all.
    void ExpectCleanFailure(const InstallerRun& run, FaultMode mode) {
        EXPECT_EQ(run.exitCode, 1);
        ASSERT_FALSE(run.boxes.empty());
        EXPECT_EQ(run.boxes.back().style, MB_ICONERROR);
        for (const hosted::ShownBox& box : run.boxes) EXPECT_NE(box.text, kClosingText);
        EXPECT_EQ(run.cursorAfter, LoadCursorA(nullptr, IDC_ARROW));
        const bool installed = run.boxes.back().text == kNotRegisteredText;
        // Windows 9x sets the older screen saver aside while the new one moves in; when every move
        // fails from then on, it cannot come back and waits there for the next run.
        const bool waitsAside = GetParam() && mode == FaultMode::persistent && !Exists(windows_ + "/" + SaverFileName());
        for (const std::string& name : ListDirectory(windows_)) {
            if (name == SetAsideFileName() && waitsAside) {
                EXPECT_EQ(ReadBytes(windows_ + "/" + name), kOlderSaver);
            } else if (name == SaverFileName()) {
                EXPECT_EQ(ReadBytes(windows_ + "/" + name), installed ? saver_ : kOlderSaver)
                    << (installed ? "a partial screen saver" : "the older screen saver was not kept");
            } else {
                EXPECT_TRUE(name == "system.ini" || name == "win.ini" || name == "session.ini") << "left behind: " << name;
            }
        }
        EXPECT_TRUE(Exists(windows_ + "/" + (waitsAside ? SetAsideFileName() : SaverFileName()))) << "the older screen saver is gone";
        const Snapshot now = Profiles();
        if (mode == FaultMode::once) {
            EXPECT_EQ(now, before_) << "a failed run must leave every profile as it was";
            return;
        }
        EXPECT_NE(std::find(stepsDone_.begin(), stepsDone_.end(), now), stepsDone_.end()) << "a profile torn";
    }

    // Walks N upward until the fault no longer fires; returns how many runs it fired in.
    int Walk(Operation operation, FaultMode mode, WriteFault write) {
        for (int nth = 1;; ++nth) {
            SCOPED_TRACE(std::string(hosted::OperationName(operation)) + " call " + std::to_string(nth) +
                         (mode == FaultMode::once ? " once" : " from then on") +
                         (write == WriteFault::diskFull ? ", disk full" : ""));
            Prepare();
            hosted::InjectFault(operation, nth, mode, write);
            const InstallerRun run = RunInstaller(package_, windows_, kAnswers);
            const bool fired = hosted::FaultFired();
            hosted::ClearFaults();
            // A call whose failure is an expected answer (Windows 9x's move of an older screen
            // saver back from aside, when none is there) may fail and the install still succeed.
            if (!fired || run.exitCode == 0) {
                EXPECT_EQ(run.exitCode, 0);
                EXPECT_EQ(ListDirectory(windows_),
                          Sorted({SaverFileName(), "session.ini", "system.ini", "win.ini"}));
                EXPECT_EQ(ReadBytes(windows_ + "/" + SaverFileName()), saver_);
                EXPECT_EQ(Profiles(), after_);
                if (!fired) return nth - 1;
                continue;
            }
            ExpectCleanFailure(run, mode);
            if (HasFailure()) return nth;
        }
    }

    void TearDown() override { hosted::ReportWindows9x(false); }

    static constexpr char kAnswers[] = "\nj\nj\n\n";
    TempDir temp_;
    std::string windows_ = temp_ / "windows";
    std::string package_ = temp_ / "setup";
    Bytes saver_;
    Snapshot before_;
    Snapshot after_;
    std::vector<Snapshot> stepsDone_;  // every mix of the registration's writes, made or not
    const Bytes kOlderSaver = SampleProgram(20000, 9);
};

TEST_P(FaultWalk, EveryOperationFailingAtEveryCall) {
    for (int op = 0; op < static_cast<int>(Operation::count); ++op) {
        const auto operation = static_cast<Operation>(op);
        for (const FaultMode mode : {FaultMode::once, FaultMode::persistent}) {
            const int failedRuns = Walk(operation, mode, WriteFault::error);
            EXPECT_GT(failedRuns, 0) << hosted::OperationName(operation) << " is never called in an install";
            std::printf("%-22s %-13s %3d runs with the fault, each checked\n", hosted::OperationName(operation),
                        mode == FaultMode::once ? "once" : "from then on", failedRuns);
            const bool writes = operation == Operation::lwrite || operation == Operation::expandWrite ||
                                operation == Operation::profileWrite;
            if (writes) Walk(operation, mode, WriteFault::diskFull);
            if (HasFailure()) return;
        }
    }
}

TEST_P(FaultWalk, DiskFillingWhileExpandingKeepsTheInstalledSaver) {
    Prepare();
    hosted::InjectFault(Operation::expandWrite, 1, FaultMode::persistent, WriteFault::diskFull);
    const InstallerRun run = RunInstaller(package_, windows_, kAnswers);
    ASSERT_TRUE(hosted::FaultFired());
    hosted::ClearFaults();
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_FALSE(run.boxes.empty());
    EXPECT_EQ(run.boxes.back().text, kDirectoryUnwritableText);
    EXPECT_EQ(ReadBytes(windows_ + "/" + SaverFileName()), kOlderSaver);
    EXPECT_EQ(ReadText(windows_ + "/system.ini"), *before_.at("system.ini"));
    EXPECT_EQ(ListDirectory(windows_), Sorted({SaverFileName(), "session.ini", "system.ini", "win.ini"}));
}

INSTANTIATE_TEST_SUITE_P(Family, FaultWalk, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Windows9x" : "NT"; });

}  // namespace
