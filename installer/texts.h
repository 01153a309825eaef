// The product's texts and file names, formatted once from the product name, and paths in the
// Windows directory.
#pragma once

#include "platform/winapi.h"

// Capacities in bytes, terminating zero included.
constexpr int kCaptionCapacity = 50;
constexpr int kWelcomeCapacity = 450;
constexpr int kQuestionCapacity = 100;
constexpr int kFileNameCapacity = 50;
constexpr int kPathCapacity = 260;

// The product name, from the object of this build's name (installer/product_name.cpp).
extern const char kProductName[];

extern char g_captionText[kCaptionCapacity];
extern char g_welcomeText[kWelcomeCapacity];
extern char g_installQuestion[kQuestionCapacity];
extern char g_registerQuestion[kQuestionCapacity];
extern char g_packedName[kFileNameCapacity];
extern char g_saverName[kFileNameCapacity];
extern char g_expandingName[kFileNameCapacity];
extern char g_setAsideName[kFileNameCapacity];

extern const char kClosingText[];
extern const char kPackageDamagedText[];
extern const char kPackagePathTooLongText[];
extern const char kDirectoryUnwritableText[];
extern const char kWindowsPathTooLongText[];
extern const char kNotRegisteredText[];

// Formats every derived text and file name from the product name.
void BuildTexts();

// The result buffers of WindowsPath: the expansion's source, its temporary file and the older
// screen saver set aside go into the second, third and fourth, every other path into the first, so
// that all the paths of the expansion stay valid together.
enum PathBuffer { kFirstPath = 0, kSecondPath = 1, kThirdPath = 2, kFourthPath = 3 };
constexpr int kPathBufferCount = 4;

// The full path "<Windows directory>\<fileName>" in the chosen result buffer, valid until the next
// call with the same buffer. Null when the Windows directory cannot be had or the path would not
// fit the 260-byte buffer; then the buffer is left as it was.
char* WindowsPath(const char* fileName, PathBuffer buffer);

// Length of a zero-terminated text (the installer links no C runtime on Windows).
int TextLength(const char* text);
