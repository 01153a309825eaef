// The installer's start-up on Windows: the process entry that calls WinMain and ends the process.
//
// The installer links no C runtime, so nothing else would run before WinMain; it has no static
// constructors to run either (its globals are constant or zero-initialised).
#include "platform/winapi.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The command line without the program name, as WinMain receives it: the first word (quoted or
// not) and the blanks after it are skipped.
LPSTR ArgumentsOf(LPSTR commandLine) {
    char* cursor = commandLine;
    if (*cursor == '"') {
        ++cursor;
        while (*cursor != '\0' && *cursor != '"') ++cursor;
        if (*cursor == '"') ++cursor;
    } else {
        while (*cursor != '\0' && !IsBlank(*cursor)) ++cursor;
    }
    while (IsBlank(*cursor)) ++cursor;
    return cursor;
}

}  // namespace

// Named on the linker's command line (-e). On 32-bit x86 Windows enters with a stack aligned to
// 4 bytes only, so the entry realigns it for the code it calls.
extern "C" __attribute__((force_align_arg_pointer, noreturn)) void QuendolinStart() {
    const int exitCode = WinMain(GetModuleHandleA(nullptr), nullptr, ArgumentsOf(GetCommandLineA()),
                                 SW_SHOWDEFAULT);
    ExitProcess(static_cast<UINT>(exitCode));
}
