// The stand-in's SystemParametersInfoA: the screen-saver settings of the running session and of
// the user profile, kept in .ini files of the Windows directory.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/hosted/faults.h"
#include "platform/hosted/internals.h"
#include "platform/hosted/winapi_hosted.h"
#include "platform/hosted/profile.h"

namespace {

constexpr char kSessionFile[] = "session.ini";  // the running session's live settings
constexpr char kUserProfile[] = "win.ini";
constexpr char kDesktopSection[] = "windows";

bool ReadSetting(const char* key, UINT* value) {
    const auto content = hosted::ReadWholeFile(hosted::ProfilePath(kSessionFile));
    const auto text = content ? hosted::ReadProfileValue(*content, kDesktopSection, key) : std::nullopt;
    *value = text ? static_cast<UINT>(std::strtoul(text->c_str(), nullptr, 10)) : 0;
    return content.has_value();
}

// A failed call changes nothing: when the user profile cannot be written, the live setting goes
// back to what it was.
bool WriteSetting(const char* key, UINT value, UINT flags) {
    const std::string text = std::to_string(value);
    const std::string sessionPath = hosted::ProfilePath(kSessionFile);
    const std::optional<std::string> session = hosted::ReadWholeFile(sessionPath);
    struct stat status;
    const bool sessionExisted = stat(sessionPath.c_str(), &status) == 0;
    if (!session || !WritePrivateProfileStringA(kDesktopSection, key, text.c_str(), kSessionFile)) return false;
    if ((flags & SPIF_UPDATEINIFILE) && !WritePrivateProfileStringA(kDesktopSection, key, text.c_str(), kUserProfile)) {
        if (sessionExisted) hosted::ReplaceFile(sessionPath, *session);
        else unlink(sessionPath.c_str());
        return false;
    }
    if (flags & SPIF_SENDWININICHANGE) {
        std::fprintf(hosted::ConsoleOut(), "[Systemeinstellung %s=%s an alle Fenster gemeldet]\n", key, text.c_str());
        std::fflush(hosted::ConsoleOut());
    }
    return true;
}

}  // namespace

BOOL SystemParametersInfoA(UINT action, UINT value, PVOID data, UINT flags) {
    if (hosted::ShouldFail(hosted::Operation::systemParameters)) return FALSE;
    switch (action) {
        case SPI_SETSCREENSAVEACTIVE: return WriteSetting("ScreenSaveActive", value != 0 ? 1 : 0, flags);
        case SPI_SETSCREENSAVETIMEOUT: return value > 0 && WriteSetting("ScreenSaveTimeOut", value, flags);
        case SPI_GETSCREENSAVEACTIVE:
        case SPI_GETSCREENSAVETIMEOUT: {
            UINT setting = 0;
            if (data == nullptr || !ReadSetting(action == SPI_GETSCREENSAVEACTIVE ? "ScreenSaveActive" : "ScreenSaveTimeOut", &setting))
                return FALSE;
            if (action == SPI_GETSCREENSAVEACTIVE) *static_cast<BOOL*>(data) = setting != 0;
            else *static_cast<UINT*>(data) = setting;
            return TRUE;
        }
        default: return FALSE;
    }
}
