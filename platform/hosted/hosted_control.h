// What the hosted stand-in offers beyond the Windows operations: its start-up and its tests set
// where boxes are shown and answered, and read back what was shown.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "platform/hosted/winapi_hosted.h"

namespace hosted {

// The path that GetModuleFileNameA reports; empty: the running program (/proc/self/exe).
void SetModulePath(const std::string& path);

// Test hook: GetVersion reports Windows 9x (and MoveFileExA is then not implemented) instead of the
// NT family.
void ReportWindows9x(bool windows9x);

// Where message boxes are printed and their answers read; null: standard output and input.
void SetConsole(std::FILE* in, std::FILE* out);
std::FILE* ConsoleOut();

// One message box as it was shown and answered.
struct ShownBox {
    std::string caption;  // code page 1252, as passed
    std::string text;
    UINT style;
    int answer;
    HCURSOR cursor;  // the cursor shown meanwhile
};
const std::vector<ShownBox>& Transcript();
void ClearTranscript();

// The cursor shown now; at start the arrow.
HCURSOR CurrentCursor();
void ResetCursor();

// A Windows path as POSIX takes it: '\' becomes '/'.
std::string PosixPath(const char* path);

// The Windows directory as GetWindowsDirectoryA gives it.
std::string WindowsDirectory();

// Code page 1252 text as UTF-8.
std::string Utf8FromCp1252(const std::string& text);

}  // namespace hosted
