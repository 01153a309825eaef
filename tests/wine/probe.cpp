// wine_probe: asks the Windows side (Wine, in the test's session) what the installer's checks
// need to know, and prints the answer on standard output in UTF-8.
//
//   wine_probe bits                 "32-bit under WOW64", or what else the probe runs as
//   wine_probe short-path PATH      GetShortPathNameA of PATH
//   wine_probe saver-active         SPI_GETSCREENSAVEACTIVE: 1 or 0
//   wine_probe saver-active-off     switches the screen saver off for this session
//   wine_probe lz-expand SRC DST    LZOpenFileA and LZCopy: DST receives SRC expanded
//   wine_probe message-box CAPTION  the open message box with that caption: its text, buttons, icon
//   wine_probe preview SAVER        runs SAVER /p into a preview window of ours, then closes that
#include <windows.h>
#include <lzexpand.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

constexpr int kPathCapacity = 260;
// Child control identifiers of a message box: the text and the icon.
constexpr int kBoxTextControl = 0xFFFF;
constexpr int kBoxIconControl = 0x0440;

int Fail(const char* what) {
    std::fprintf(stderr, "wine_probe: %s (error %lu)\n", what, GetLastError());
    return 1;
}

// A window text as UTF-8, so that the German letters reach the test intact.
std::string WindowTextUtf8(HWND window) {
    wchar_t wide[2048];
    const int length = GetWindowTextW(window, wide, 2048);
    char narrow[8192];
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide, length, narrow, sizeof narrow, nullptr, nullptr);
    return std::string(narrow, bytes > 0 ? static_cast<size_t>(bytes) : 0);
}

// The suite runs 32-bit programs in a 64-bit prefix: the probe, built like the installer, says so.
int PrintBits() {
    BOOL wow64 = FALSE;
    if (!IsWow64Process(GetCurrentProcess(), &wow64)) return Fail("IsWow64Process failed");
    std::printf("%d-bit%s\n", static_cast<int>(sizeof(void*) * 8), wow64 ? " under WOW64" : "");
    return 0;
}

int PrintShortPath(const char* longPath) {
    char shortPath[kPathCapacity];
    const DWORD length = GetShortPathNameA(longPath, shortPath, kPathCapacity);
    if (length == 0 || length >= kPathCapacity) return Fail("GetShortPathNameA failed");
    std::printf("%s\n", shortPath);
    return 0;
}

int PrintSaverActive() {
    BOOL active = FALSE;
    if (!SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &active, 0)) return Fail("SPI_GETSCREENSAVEACTIVE failed");
    std::printf("%d\n", active ? 1 : 0);
    return 0;
}

int SwitchSaverOff() {
    if (!SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 0, nullptr, 0)) return Fail("SPI_SETSCREENSAVEACTIVE failed");
    return 0;
}

int ExpandWithLz32(char* source, char* target) {
    OFSTRUCT sourceRecord, targetRecord;
    const INT in = LZOpenFileA(source, &sourceRecord, OF_READ);
    if (in < 0) return Fail("LZOpenFileA could not open the source");
    const INT out = LZOpenFileA(target, &targetRecord, OF_CREATE);
    if (out < 0) {
        LZClose(in);
        return Fail("LZOpenFileA could not create the target");
    }
    const LONG written = LZCopy(in, out);
    LZClose(out);
    LZClose(in);
    std::printf("%ld\n", static_cast<long>(written));
    return written < 0 ? 1 : 0;
}

struct BoxSearch {
    const char* caption;
    HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM context) {
    auto* search = reinterpret_cast<BoxSearch*>(context);
    char className[64];
    char caption[256];
    GetClassNameA(window, className, sizeof className);
    GetWindowTextA(window, caption, sizeof caption);
    if (IsWindowVisible(window) && std::strcmp(className, "#32770") == 0 && std::strcmp(caption, search->caption) == 0) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK PrintButton(HWND child, LPARAM) {
    char className[64];
    GetClassNameA(child, className, sizeof className);
    if (IsWindowVisible(child) && lstrcmpiA(className, "Button") == 0)
        std::printf("button: %s\n", WindowTextUtf8(child).c_str());
    return TRUE;
}

// Prints "text: ..." (line breaks as \n), one "button: ..." line each, and "icon: 1" or "icon: 0".
int DescribeMessageBox(const char* caption) {
    BoxSearch search{caption, nullptr};
    EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
    if (search.found == nullptr) return Fail("no such message box");
    std::string text = WindowTextUtf8(GetDlgItem(search.found, kBoxTextControl));
    std::string escaped;
    for (char c : text) {
        if (c == '\r') continue;
        if (c == '\n') escaped += "\\n";
        else escaped += c;
    }
    std::printf("text: %s\n", escaped.c_str());
    EnumChildWindows(search.found, PrintButton, 0);
    const HWND icon = GetDlgItem(search.found, kBoxIconControl);
    const bool hasIcon = icon != nullptr && IsWindowVisible(icon) && SendMessageA(icon, STM_GETICON, 0, 0) != 0;
    std::printf("icon: %d\n", hasIcon ? 1 : 0);
    return 0;
}

LRESULT CALLBACK PreviewFrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(window, message, wParam, lParam);
}

// Stands in for the display settings' preview: a small window whose handle the saver gets.
HWND CreatePreviewFrame() {
    WNDCLASSA frameClass{};
    frameClass.lpfnWndProc = PreviewFrameProc;
    frameClass.hInstance = GetModuleHandleA(nullptr);
    frameClass.lpszClassName = "QuendolinPreviewFrame";
    RegisterClassA(&frameClass);
    return CreateWindowExA(0, frameClass.lpszClassName, "Vorschau", WS_OVERLAPPED | WS_VISIBLE, 40, 40, 200, 160,
                           nullptr, nullptr, frameClass.hInstance, nullptr);
}

// Handles the frame's messages for a while, so that the saver's child window can draw.
void PumpMessages(DWORD milliseconds) {
    const DWORD end = GetTickCount() + milliseconds;
    while (static_cast<LONG>(end - GetTickCount()) > 0) {
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
        Sleep(20);
    }
}

// Prints "child: 1" when the saver put a window into the frame, then "ended: 1" and its exit code
// when it ended after the frame was closed.
int RunPreview(const char* saver) {
    const HWND frame = CreatePreviewFrame();
    if (frame == nullptr) return Fail("could not create the preview frame");
    char commandLine[600];
    wsprintfA(commandLine, "\"%s\" /p %lu", saver, static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(frame)));
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return Fail("could not start the screen saver");
    HWND child = nullptr;
    for (int i = 0; i < 100 && child == nullptr; ++i) {
        PumpMessages(100);
        child = FindWindowExA(frame, nullptr, nullptr, nullptr);
    }
    std::printf("child: %d\n", child != nullptr ? 1 : 0);
    PumpMessages(1000);
    DestroyWindow(frame);
    const bool ended = WaitForSingleObject(process.hProcess, 10000) == WAIT_OBJECT_0;
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    std::printf("ended: %d\nexit: %lu\n", ended ? 1 : 0, exitCode);
    if (!ended) TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "bits" && argc == 2) return PrintBits();
    if (command == "short-path" && argc == 3) return PrintShortPath(argv[2]);
    if (command == "saver-active" && argc == 2) return PrintSaverActive();
    if (command == "saver-active-off" && argc == 2) return SwitchSaverOff();
    if (command == "lz-expand" && argc == 4) return ExpandWithLz32(argv[2], argv[3]);
    if (command == "message-box" && argc == 3) return DescribeMessageBox(argv[2]);
    if (command == "preview" && argc == 3) return RunPreview(argv[2]);
    std::fprintf(stderr, "usage: wine_probe bits | short-path PATH | saver-active | saver-active-off | "
                         "lz-expand SOURCE TARGET | message-box CAPTION | preview SAVER\n");
    return 2;
}
