// RegisterScreenSaver: system.ini entry, on the NT family the user's desktop entry, and the two
// system parameters, all or nothing.
#include "system/register.h"

#include "installer/texts.h"

namespace {

constexpr UINT kIdleSeconds = 120;
constexpr DWORD kShortPathOffered = 255;  // of the 260-byte buffer: at most 254 characters
constexpr DWORD kValueCapacity = 1024;
constexpr DWORD kSectionListCapacity = 4096;
constexpr char kSystemIni[] = "system.ini";
constexpr char kBootSection[] = "boot";
constexpr char kDesktopSection[] = "Desktop";
constexpr char kSaverKey[] = "SCRNSAVE.EXE";

// A profile entry as it was before the registration: its value, or that there was none, and
// whether its section was there at all.
struct PreviousEntry {
    bool present;
    bool sectionPresent;
    char value[kValueCapacity];
};

PreviousEntry g_previousBoot;
PreviousEntry g_previousDesktop;
char g_sectionNames[kSectionListCapacity];

// The profile calls for either file: a null file is win.ini, the user profile.
DWORD ReadEntry(const char* section, const char* key, const char* fallback, char* buffer, DWORD size,
                const char* file) {
    if (file == nullptr) return GetProfileStringA(section, key, fallback, buffer, size);
    return GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
}

BOOL WriteEntry(const char* section, const char* key, const char* value, const char* file) {
    if (file == nullptr) return WriteProfileStringA(section, key, value);
    return WritePrivateProfileStringA(section, key, value, file);
}

bool SameNameIgnoringCase(const char* a, const char* b) {
    for (;; ++a, ++b) {
        char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 32) : *a;
        char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 32) : *b;
        if (x != y) return false;
        if (x == '\0') return true;
    }
}

// Whether the file has the section; a list too long to read whole counts as having it, so that an
// undo never removes a section it cannot see.
bool HasSection(const char* section, const char* file) {
    const DWORD length = ReadEntry(nullptr, nullptr, "", g_sectionNames, kSectionListCapacity, file);
    if (length >= kSectionListCapacity - 2) return true;
    for (const char* name = g_sectionNames; *name != '\0'; name += TextLength(name) + 1)
        if (SameNameIgnoringCase(name, section)) return true;
    return false;
}

// Reads the entry before it is changed. A default cannot be told from a stored value, but two
// different defaults can. False when the value is too long to be put back.
bool ReadPrevious(const char* section, const char* file, PreviousEntry* previous) {
    previous->sectionPresent = HasSection(section, file);
    const DWORD length = ReadEntry(section, kSaverKey, "\x01", previous->value, kValueCapacity, file);
    if (length >= kValueCapacity - 1) return false;
    previous->present = true;
    if (length == 1 && previous->value[0] == '\x01') {
        char probe[2];
        previous->present = ReadEntry(section, kSaverKey, "\x02", probe, sizeof probe, file) != 1 || probe[0] != '\x02';
    }
    return true;
}

// Puts the entry back as it was: the old value, or no key; a section that the registration
// created goes again once it holds no key.
void RestoreEntry(const char* section, const char* file, const PreviousEntry& previous) {
    if (previous.present) {
        WriteEntry(section, kSaverKey, previous.value, file);
        return;
    }
    WriteEntry(section, kSaverKey, nullptr, file);
    char keys[2];
    if (!previous.sectionPresent && ReadEntry(section, nullptr, "", keys, sizeof keys, file) == 0)
        WriteEntry(section, nullptr, nullptr, file);
}

bool IsNtFamily() { return (GetVersion() & 0x80000000u) == 0; }

}  // namespace

bool RegisterScreenSaver() {
    char shortPath[kPathCapacity];
    const char* saverPath = WindowsPath(g_saverName, kFirstPath);
    if (saverPath == nullptr) return false;
    const DWORD length = GetShortPathNameA(saverPath, shortPath, kShortPathOffered);
    // 0: no such file; a result above 254 is the size a larger buffer would need.
    if (length == 0 || length >= kShortPathOffered) return false;

    // What each step changes is read first, so that a later failure can put it back.
    const bool nt = IsNtFamily();
    BOOL wasActive = FALSE;
    UINT oldTimeout = 0;
    if (!ReadPrevious(kBootSection, kSystemIni, &g_previousBoot)) return false;
    if (nt && !ReadPrevious(kDesktopSection, nullptr, &g_previousDesktop)) return false;
    if (!SystemParametersInfoA(SPI_GETSCREENSAVEACTIVE, 0, &wasActive, 0) ||
        !SystemParametersInfoA(SPI_GETSCREENSAVETIMEOUT, 0, &oldTimeout, 0))
        return false;

    if (!WritePrivateProfileStringA(kBootSection, kSaverKey, shortPath, kSystemIni)) return false;
    // NT takes the active screen saver from the user's desktop settings, which win.ini's
    // [Desktop] section reaches.
    if (nt && !WriteProfileStringA(kDesktopSection, kSaverKey, shortPath)) {
        RestoreEntry(kBootSection, kSystemIni, g_previousBoot);
        return false;
    }
    if (SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, 1, nullptr, 0)) {
        if (SystemParametersInfoA(SPI_SETSCREENSAVETIMEOUT, kIdleSeconds, nullptr,
                                  SPIF_UPDATEINIFILE | SPIF_SENDWININICHANGE))
            return true;
        // A failed call may still have changed the live idle time.
        UINT timeoutNow = oldTimeout;
        if (SystemParametersInfoA(SPI_GETSCREENSAVETIMEOUT, 0, &timeoutNow, 0) && timeoutNow != oldTimeout)
            SystemParametersInfoA(SPI_SETSCREENSAVETIMEOUT, oldTimeout, nullptr, 0);
        SystemParametersInfoA(SPI_SETSCREENSAVEACTIVE, wasActive ? 1 : 0, nullptr, 0);
    }
    if (nt) RestoreEntry(kDesktopSection, nullptr, g_previousDesktop);
    RestoreEntry(kBootSection, kSystemIni, g_previousBoot);
    return false;
}
