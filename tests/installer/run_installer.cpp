// Runs the installer in-process with scripted answers.
#include "tests/installer/run_installer.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include "platform/winapi.h"

namespace testing_support {

InstallerRun RunInstaller(const std::string& package, const std::string& windowsDirectory,
                          const std::string& answers) {
    setenv("WINDIR", windowsDirectory.c_str(), 1);
    hosted::SetModulePath(package);
    std::FILE* in = std::tmpfile();
    char* printed = nullptr;
    std::size_t printedSize = 0;
    std::FILE* out = open_memstream(&printed, &printedSize);
    if (in == nullptr || out == nullptr) throw std::runtime_error("cannot open the console streams");
    std::fputs(answers.c_str(), in);
    std::rewind(in);
    hosted::SetConsole(in, out);
    hosted::ClearTranscript();
    hosted::ResetCursor();

    static char instance;
    char commandLine[] = "";
    InstallerRun run;
    run.exitCode = WinMain(reinterpret_cast<HINSTANCE>(&instance), nullptr, commandLine, 10);
    run.boxes = hosted::Transcript();
    run.cursorAfter = hosted::CurrentCursor();
    hosted::SetConsole(nullptr, nullptr);
    std::fclose(in);
    std::fclose(out);
    run.console.assign(printed, printedSize);
    std::free(printed);
    return run;
}

}  // namespace testing_support
