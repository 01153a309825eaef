// The demo screen saver Quendolin: an aurora over a starry sky, drawn with GDI. Full screen with
// /s, into the display settings' preview with /p, and a settings box with /c.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "saver/aurora.h"
#include "saver/command_line.h"
#include "saver/saver_resources.h"

namespace {

constexpr char kWindowClass[] = "QuendolinAurora";
constexpr char kCaption[] = "Quendolin Bildschirmschoner";
constexpr UINT_PTR kFrameTimer = 1;
constexpr UINT kFrameMilliseconds = 33;
// Moves of the mouse this far (in pixels, across and down together) are jitter, not a user.
constexpr int kMouseJitter = 12;

struct Animation {
    bool fullScreen = false;
    int scale = 1;  // window pixels per frame pixel
    Sky sky;
    std::vector<std::uint32_t> pixels;
    BITMAPINFO format{};
    DWORD startTicks = 0;
    bool mouseSeen = false;
    POINT firstMouse{};
};

Animation g_animation;

// Sizes the frame for a client area: full screen draws at half resolution and stretches, which
// keeps the frame rate up; a small preview draws every pixel.
void LayOutFrame(int clientWidth, int clientHeight) {
    Animation& a = g_animation;
    a.scale = a.fullScreen && clientWidth >= 640 ? 2 : 1;
    const int width = clientWidth / a.scale > 0 ? clientWidth / a.scale : 1;
    const int height = clientHeight / a.scale > 0 ? clientHeight / a.scale : 1;
    a.sky = MakeSky(width, height, 1997);
    a.pixels.assign(static_cast<size_t>(width) * height, 0);
    a.format = {};
    a.format.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    a.format.bmiHeader.biWidth = width;
    a.format.bmiHeader.biHeight = -height;  // top row first
    a.format.bmiHeader.biPlanes = 1;
    a.format.bmiHeader.biBitCount = 32;
    a.format.bmiHeader.biCompression = BI_RGB;
}

void DrawNextFrame() {
    Animation& a = g_animation;
    const double seconds = (GetTickCount() - a.startTicks) / 1000.0;
    DrawSky(a.sky, {a.pixels.data(), a.sky.width, a.sky.height}, seconds);
}

void PaintFrame(HWND window) {
    Animation& a = g_animation;
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    RECT client;
    GetClientRect(window, &client);
    SetStretchBltMode(dc, COLORONCOLOR);
    StretchDIBits(dc, 0, 0, client.right, client.bottom, 0, 0, a.sky.width, a.sky.height, a.pixels.data(), &a.format,
                  DIB_RGB_COLORS, SRCCOPY);
    EndPaint(window, &paint);
}

// Full screen only: the first mouse position is where the cursor stood; a real move ends the saver.
bool MouseMovedOnPurpose(LPARAM position) {
    Animation& a = g_animation;
    const POINT now{static_cast<short>(LOWORD(position)), static_cast<short>(HIWORD(position))};
    if (!a.mouseSeen) {
        a.mouseSeen = true;
        a.firstMouse = now;
        return false;
    }
    return std::abs(now.x - a.firstMouse.x) + std::abs(now.y - a.firstMouse.y) > kMouseJitter;
}

LRESULT CALLBACK SaverWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    const bool fullScreen = g_animation.fullScreen;
    switch (message) {
        case WM_CREATE:
            SetTimer(window, kFrameTimer, kFrameMilliseconds, nullptr);
            return 0;
        case WM_SIZE:
            LayOutFrame(LOWORD(lParam), HIWORD(lParam));
            DrawNextFrame();
            return 0;
        case WM_TIMER:
            DrawNextFrame();
            InvalidateRect(window, nullptr, FALSE);
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_PAINT:
            PaintFrame(window);
            return 0;
        case WM_SETCURSOR:
            if (!fullScreen) break;
            SetCursor(nullptr);
            return TRUE;
        case WM_MOUSEMOVE:
            if (fullScreen && MouseMovedOnPurpose(lParam)) DestroyWindow(window);
            return 0;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (!fullScreen) break;
            DestroyWindow(window);
            return 0;
        case WM_ACTIVATEAPP:
            if (fullScreen && wParam == FALSE) DestroyWindow(window);
            return 0;
        case WM_DESTROY:
            KillTimer(window, kFrameTimer);
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterSaverClass(HINSTANCE instance) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = SaverWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kSaverIcon));
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kWindowClass;
    return RegisterClassA(&windowClass) != 0;
}

int RunMessageLoop() {
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return 0;
}

// Covers every monitor, above all other windows.
int RunFullScreen(HINSTANCE instance) {
    g_animation.fullScreen = true;
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    HWND window = CreateWindowExA(WS_EX_TOPMOST, kWindowClass, kCaption, WS_POPUP | WS_VISIBLE, left, top, width,
                                  height, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    SetForegroundWindow(window);
    SetFocus(window);
    return RunMessageLoop();
}

// Fills the preview window given by the display settings, until that window goes away.
int RunPreview(HINSTANCE instance, HWND parent) {
    if (parent == nullptr || !IsWindow(parent)) return 0;
    RECT area;
    GetClientRect(parent, &area);
    HWND window = CreateWindowExA(0, kWindowClass, kCaption, WS_CHILD | WS_VISIBLE, 0, 0, area.right, area.bottom,
                                  parent, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    return RunMessageLoop();
}

int ShowSettings(HWND owner) {
    // Code page 1252: \xFC is "ü".
    MessageBoxA(owner,
                "Quendolin\n\n"
                "Nordlichter ziehen \xFC" "ber einen Sternenhimmel.\n"
                "Dieser Bildschirmschoner hat keine Einstellungen.",
                kCaption, MB_OK | MB_ICONINFORMATION);
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR arguments, int) {
    const SaverRequest request = ParseSaverCommandLine(arguments);
    const HWND given = reinterpret_cast<HWND>(request.window);
    if (request.mode == SaverMode::kSettings) return ShowSettings(given);
    if (request.mode == SaverMode::kPassword) return 0;
    if (!RegisterSaverClass(instance)) return 1;
    g_animation.startTicks = GetTickCount();
    return request.mode == SaverMode::kFullScreen ? RunFullScreen(instance) : RunPreview(instance, given);
}
