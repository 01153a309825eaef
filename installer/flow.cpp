// WinMain: the whole installation, one box and one step after another.
#include "installer/texts.h"
#include "package/package.h"
#include "system/register.h"

namespace {

constexpr UINT kQuestionStyle = MB_YESNO | MB_ICONQUESTION;
constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;

bool AskYes(const char* question) {
    return MessageBoxA(nullptr, question, g_captionText, kQuestionStyle) == IDYES;
}

HCURSOR ShowWaitCursor() { return SetCursor(LoadCursorA(nullptr, IDC_WAIT)); }

int ShowFailure(const char* text) {
    MessageBoxA(nullptr, text, g_captionText, MB_ICONERROR);
    return kExitFailed;
}

// Copies the payload out of the package into the packed file in the Windows directory.
StepResult CopyPayload(const char* ownPath) {
    const char* packedPath = WindowsPath(g_packedName, kFirstPath);
    if (packedPath == nullptr) return kDirectoryUnwritable;
    const HFILE package = _lopen(ownPath, OF_READ);
    if (package == HFILE_ERROR) return kPackageDamaged;
    StepResult result = kPackageDamaged;
    if (_llseek(package, kMarkerSearchStart, FILE_BEGIN) == kMarkerSearchStart && FindMarker(package) >= 0)
        result = ExtractPayload(package, packedPath);
    _lclose(package);
    return result;
}

// Expands the packed file into the screen-saver file beside it.
StepResult ExpandPackedFile() {
    const ExpansionPaths paths = {WindowsPath(g_packedName, kSecondPath), WindowsPath(g_expandingName, kThirdPath),
                                  WindowsPath(g_saverName, kFirstPath), WindowsPath(g_setAsideName, kFourthPath)};
    if (paths.source == nullptr || paths.expanding == nullptr || paths.target == nullptr || paths.setAside == nullptr)
        return kDirectoryUnwritable;
    return ExpandPayload(paths);
}

// OpenFile and LZOpenFileA take at most 127 characters of path (their record holds no more); a
// Windows directory too long for that is refused before anything is written.
StepResult CheckTargetPaths() {
    const char* const names[] = {g_packedName, g_expandingName, g_saverName, g_setAsideName};
    for (const char* name : names) {
        const char* path = WindowsPath(name, kFirstPath);
        if (path != nullptr && TextLength(path) < OFS_MAXPATHNAME) continue;
        // No path at all: the directory itself could not be had, or it fills the whole buffer.
        char directory[kPathCapacity];
        return path == nullptr && GetWindowsDirectoryA(directory, kPathCapacity) == 0 ? kDirectoryUnwritable
                                                                                       : kWindowsPathTooLong;
    }
    return kStepDone;
}

StepResult InstallFiles(const char* ownPath) {
    const HCURSOR savedCursor = ShowWaitCursor();
    StepResult result = CheckTargetPaths();
    if (result == kStepDone) result = CopyPayload(ownPath);
    if (result == kStepDone) result = ExpandPackedFile();
    SetCursor(savedCursor);
    return result;
}

bool RegisterWithWaitCursor() {
    const HCURSOR savedCursor = ShowWaitCursor();
    const bool registered = RegisterScreenSaver();
    SetCursor(savedCursor);
    return registered;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    char ownPath[kPathCapacity];
    BuildTexts();
    const DWORD ownPathLength = GetModuleFileNameA(instance, ownPath, kPathCapacity);
    MessageBoxA(nullptr, g_welcomeText, g_captionText, MB_OK);
    if (!AskYes(g_installQuestion)) return kExitDone;

    // A path cut to the buffer would name another file.
    if (ownPathLength >= static_cast<DWORD>(kPathCapacity)) return ShowFailure(kPackagePathTooLongText);
    if (ownPathLength == 0) return ShowFailure(kPackageDamagedText);
    switch (InstallFiles(ownPath)) {
        case kStepDone: break;
        case kPackageDamaged: return ShowFailure(kPackageDamagedText);
        case kDirectoryUnwritable: return ShowFailure(kDirectoryUnwritableText);
        case kWindowsPathTooLong: return ShowFailure(kWindowsPathTooLongText);
    }
    if (AskYes(g_registerQuestion) && !RegisterWithWaitCursor()) return ShowFailure(kNotRegisteredText);
    MessageBoxA(nullptr, kClosingText, g_captionText, MB_ICONINFORMATION);
    return kExitDone;
}
