// RegisterScreenSaver: system.ini entry and the two system parameters.
#include "system/register.h"

#include "installer/texts.h"

namespace {
constexpr UINT kIdleSeconds = 120;
constexpr DWORD kShortPathOffered = 255;  // of the 260-byte buffer: at most 254 characters
}  // namespace

bool RegisterScreenSaver() {
    char shortPath[kPathCapacity];
    const char* saverPath = WindowsPath(g_saverName, kFirstPath);
    if (saverPath == nullptr) return false;
    const DWORD length = GetShortPathNameA(saverPath, shortPath, kShortPathOffered);
    // 0: no such file; a result above 254 is the size a larger buffer would need.
    if (length == 0 || length >= kShortPathOffered) return false;
    if (!WritePrivateProfileStringA("boot", "SCRNSAVE.EXE", shortPath, "system.ini")) return false;
    if (!SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, 0)) return false;
    return SystemParametersInfoA(SPI_SETSCREENSAVETIMEOUT, kIdleSeconds, nullptr,
                                 SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE) != FALSE;
}
