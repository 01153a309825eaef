// The product name of this build, in a translation unit of its own: the rest of the installer is
// compiled once, and another name is another object linked in its place. Here the name is checked
// at compile time against the capacity of every text it goes into.
#include "installer/text_formats.h"
#include "installer/texts.h"
#include "product_name.h"

namespace {

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

}  // namespace

const char kProductName[] = PRODUCT_NAME;
