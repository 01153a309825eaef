// Every I/O fault survived: the Nth call of each operation fails, once or from then on, for
// N = 1, 2, ... until a whole Yes/Yes install runs clean, and every failed run is checked.
#include <gtest/gtest.h>

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

using Snapshot = std::map<std::string, std::optional<std::string>>;

class FaultWalk : public ::testing::Test {
protected:
    void SetUp() override {
        saver_ = SampleProgram(30000, 3);
        const Bytes payload = szdd::Compress(saver_);
        WriteBytes(package_, Concat({MakePackage(Bytes(500, 'I'), payload), Trailer(payload)}));
        before_ = Prepare();
        ASSERT_EQ(RunInstaller(package_, windows_, kAnswers).exitCode, 0);
        after_ = Profiles();
        // The session's two settings are set one after the other; when the second fails, the
        // first has been made: the screen saver is on, with the idle time it had.
        sessionSwitchedOn_ = hosted::EditProfile(*before_.at("session.ini"), "windows", "ScreenSaveActive", "1");
    }

    // A Windows directory with profiles that hold other settings already.
    Snapshot Prepare() {
        std::filesystem::remove_all(windows_);
        std::filesystem::create_directory(windows_);
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

    // After a run in which a fault fired: a clear failure, and nothing half-done left behind.
    void ExpectCleanFailure(const InstallerRun& run) {
        EXPECT_EQ(run.exitCode, 1);
        ASSERT_FALSE(run.boxes.empty());
        EXPECT_EQ(run.boxes.back().style, MB_ICONERROR);
        for (const hosted::ShownBox& box : run.boxes) EXPECT_NE(box.text, kClosingText);
        EXPECT_EQ(run.cursorAfter, LoadCursorA(nullptr, IDC_ARROW));
        for (const std::string& name : ListDirectory(windows_)) {
            if (name == SaverFileName()) {
                EXPECT_EQ(ReadBytes(windows_ + "/" + name), saver_) << "a partial screen saver";
            } else {
                EXPECT_TRUE(name == "system.ini" || name == "win.ini" || name == "session.ini") << "left behind: " << name;
            }
        }
        const Snapshot now = Profiles();
        for (const char* name : kProfiles)
            EXPECT_TRUE(now.at(name) == before_.at(name) || now.at(name) == after_.at(name) ||
                        (name == std::string("session.ini") && now.at(name) == sessionSwitchedOn_))
                << name << " torn";
    }

    // Walks N upward until the fault no longer fires; returns how many runs failed.
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
            if (!fired) {
                EXPECT_EQ(run.exitCode, 0);
                EXPECT_EQ(ReadBytes(windows_ + "/" + SaverFileName()), saver_);
                EXPECT_EQ(Profiles(), after_);
                return nth - 1;
            }
            ExpectCleanFailure(run);
            if (HasFailure()) return nth;
        }
    }

    static constexpr char kAnswers[] = "\nj\nj\n\n";
    TempDir temp_;
    std::string windows_ = temp_ / "windows";
    std::string package_ = temp_ / "setup";
    Bytes saver_;
    Snapshot before_;
    Snapshot after_;
    std::string sessionSwitchedOn_;
};

TEST_F(FaultWalk, EveryOperationFailingAtEveryCall) {
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

}  // namespace
