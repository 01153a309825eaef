// The hosted start-up: runs WinMain with the process's command line and exits with its result.
#include <string>

#include "platform/winapi.h"

int main(int argc, char** argv) {
    std::string commandLine;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) commandLine += ' ';
        commandLine += argv[i];
    }
    static char instance;  // stands for the module handle; GetModuleFileNameA names the running file
    return WinMain(reinterpret_cast<HINSTANCE>(&instance), nullptr, commandLine.data(), 10);
}
