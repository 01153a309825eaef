// Runs the installer in-process over the hosted stand-in: answers scripted, boxes recorded.
#pragma once

#include <string>
#include <vector>

#include "platform/hosted/hosted_control.h"

namespace testing_support {

struct InstallerRun {
    int exitCode = -1;
    std::vector<hosted::ShownBox> boxes;
    std::string console;          // what the boxes printed, UTF-8
    HCURSOR cursorAfter = nullptr;
};

// Runs WinMain on the package with WINDIR set to windowsDirectory; answers are the console lines.
InstallerRun RunInstaller(const std::string& package, const std::string& windowsDirectory,
                          const std::string& answers);

}  // namespace testing_support
