// The product texts, checked against their capacities at compile time, and WindowsPath.
#include "installer/texts.h"

#include "product_name.h"

namespace {

constexpr char kCaptionFormat[] = "%s Bildschirmschoner";
constexpr char kInstallFormat[] = "Soll der %s Bildschirmschoner installiert werden?";
constexpr char kRegisterFormat[] = "Den %s Bildschirmschoner als aktiven Bildschirmschoner anmelden?";
constexpr char kPackedFormat[] = "%s.SC_";
constexpr char kSaverFormat[] = "%s.scr";
// Expansion goes into a file of its own beside the screen saver, so that a failed one leaves the
// installed screen saver as it was; on Windows 9x the older one is set aside under the second name
// while the new one takes its place.
constexpr char kExpandingFormat[] = "%s.$sc";
constexpr char kSetAsideFormat[] = "%s.~sc";

// Fourteen lines; the rights holders and their notice are texts of this build. Code page 1252:
// \xFC is "ü".
constexpr char kWelcomeFormat[] =
    "Herzlich Willkommen beim\n"
    "%s Bildschirmschoner!\n"
    "\n"
    "Der %s Bildschirmschoner darf\n"
    "kostenlos weitergegeben werden. Kommerzielle\n"
    "Weiterverwertung bedarf der Zustimmung\n"
    "der Lichtm\xFChle Bildwerk GmbH\n"
    "und der Sternwarte Software KG.\n"
    "\n"
    "F\xFCr Programmfehler und daraus entstehende\n"
    "Folgen wird keine Haftung \xFC" "bernommen.\n"
    "\n"
    "(c) 1997 Lichtm\xFChle Bildwerk GmbH, Bremen, und\n"
    "Sternwarte Software KG, Rostock. Alle Rechte vorbehalten.";

static_assert(sizeof(kWelcomeFormat) - 1 == 409, "the welcome format is 409 bytes long");

constexpr int Length(const char* text) {
    int length = 0;
    while (text[length] != '\0') ++length;
    return length;
}

constexpr int Placeholders(const char* format) {
    int count = 0;
    for (int i = 0; format[i] != '\0'; ++i)
        if (format[i] == '%' && format[i + 1] == 's') ++count;
    return count;
}

// The formatted length, terminating zero included, fits the capacity.
constexpr bool Fits(const char* format, int capacity) {
    return Length(format) - 2 * Placeholders(format) + Placeholders(format) * Length(PRODUCT_NAME) + 1 <=
           capacity;
}

static_assert(Length(PRODUCT_NAME) > 0, "the product name is not empty");
static_assert(Fits(kCaptionFormat, kCaptionCapacity), "the product name is too long for the caption");
static_assert(Fits(kWelcomeFormat, kWelcomeCapacity), "the product name is too long for the welcome text");
static_assert(Fits(kInstallFormat, kQuestionCapacity), "the product name is too long for the install question");
static_assert(Fits(kRegisterFormat, kQuestionCapacity),
              "the product name is too long for the registration question");
static_assert(Fits(kPackedFormat, kFileNameCapacity), "the product name is too long for the packed name");
static_assert(Fits(kSaverFormat, kFileNameCapacity), "the product name is too long for the screen-saver name");
static_assert(Fits(kExpandingFormat, kFileNameCapacity) && Fits(kSetAsideFormat, kFileNameCapacity),
              "the product name is too long for the expansion's file names");

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
const char kDirectoryUnwritableText[] =
    "In das Windows-Verzeichnis konnte nicht geschrieben werden.\n"
    "Der Bildschirmschoner wurde nicht installiert.";
const char kNotRegisteredText[] =
    "Der Bildschirmschoner wurde installiert, konnte aber nicht\n"
    "als aktiver Bildschirmschoner angemeldet werden.";

int TextLength(const char* text) { return Length(text); }

void BuildTexts() {
    wsprintfA(g_captionText, kCaptionFormat, PRODUCT_NAME);
    wsprintfA(g_welcomeText, kWelcomeFormat, PRODUCT_NAME, PRODUCT_NAME);
    wsprintfA(g_installQuestion, kInstallFormat, PRODUCT_NAME);
    wsprintfA(g_registerQuestion, kRegisterFormat, PRODUCT_NAME);
    wsprintfA(g_packedName, kPackedFormat, PRODUCT_NAME);
    wsprintfA(g_saverName, kSaverFormat, PRODUCT_NAME);
    wsprintfA(g_expandingName, kExpandingFormat, PRODUCT_NAME);
    wsprintfA(g_setAsideName, kSetAsideFormat, PRODUCT_NAME);
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
