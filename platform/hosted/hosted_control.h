// The hooks that tests have into the hosted stand-in, beyond the Windows operations: they set which
// file the program is and where boxes are shown and answered, and read back what was shown. The
// stand-in's own shared helpers are in internals.h.
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

}  // namespace hosted
