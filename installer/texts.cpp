// The product texts, formatted from the product name that this build links in, and WindowsPath.
#include "installer/texts.h"

#include "installer/text_formats.h"

namespace {

char g_pathBuffers[kPathBufferCount][kPathCapacity];

}  // namespace

char g_captionText[kCaptionCapacity];
char g_welcomeText[kWelcomeCapacity];
char g_installQuestion[kQuestionCapacity];
char g_registerQuestion[kQuestionCapacity];
char g_packedName[kFileNameCapacity];
char g_saverName[kFileNameCapacity];
char g_expandingName[kFileNameCapacity];
char g_setAsideName[kFileNameCapacity];

const char kClosingText[] = "Installation erfolgreich abgeschlossen!";
const char kPackageDamagedText[] =
    "Das Installationspaket ist besch\xE4" "digt.\n"
    "Der Bildschirmschoner wurde nicht installiert.";
// The installer finds its payload by its own path; Windows gives at most 259 characters of it.
const char kPackagePathTooLongText[] =
    "Der Pfad des Installationspakets ist zu lang (mehr als 259 Zeichen).\n"
    "Bitte das Paket in einen k\xFC" "rzeren Pfad kopieren und erneut starten.\n"
    "Der Bildschirmschoner wurde nicht installiert.";
const char kWindowsPathTooLongText[] =
    "Der Pfad des Windows-Verzeichnisses ist zu lang: mit dem Dateinamen\n"
    "sind h\xF6" "chstens 127 Zeichen m\xF6" "glich.\n"
    "Der Bildschirmschoner wurde nicht installiert.";
const char kDirectoryUnwritableText[] =
    "In das Windows-Verzeichnis konnte nicht geschrieben werden.\n"
    "Der Bildschirmschoner wurde nicht installiert.";
const char kNotRegisteredText[] =
    "Der Bildschirmschoner wurde installiert, konnte aber nicht\n"
    "als aktiver Bildschirmschoner angemeldet werden.";

int TextLength(const char* text) {
    int length = 0;
    while (text[length] != '\0') ++length;
    return length;
}

void BuildTexts() {
    wsprintfA(g_captionText, kCaptionFormat, kProductName);
    wsprintfA(g_welcomeText, kWelcomeFormat, kProductName, kProductName);
    wsprintfA(g_installQuestion, kInstallFormat, kProductName);
    wsprintfA(g_registerQuestion, kRegisterFormat, kProductName);
    wsprintfA(g_packedName, kPackedFormat, kProductName);
    wsprintfA(g_saverName, kSaverFormat, kProductName);
    wsprintfA(g_expandingName, kExpandingFormat, kProductName);
    wsprintfA(g_setAsideName, kSetAsideFormat, kProductName);
}

char* WindowsPath(const char* fileName, PathBuffer buffer) {
    char directory[kPathCapacity];
    UINT directoryLength = GetWindowsDirectoryA(directory, kPathCapacity);
    // A result of the capacity or more is the size the directory would need.
    if (directoryLength == 0 || directoryLength >= static_cast<UINT>(kPathCapacity)) return nullptr;
    if (static_cast<int>(directoryLength) + 1 + TextLength(fileName) + 1 > kPathCapacity) return nullptr;
    char* path = g_pathBuffers[buffer];
    wsprintfA(path, "%s\\%s", directory, fileName);
    return path;
}
