// Reading the screen saver's command line, in the forms that Windows and its tools use.
#include "saver/command_line.h"

namespace {

const char* SkipBlanks(const char* cursor) {
    while (*cursor == ' ' || *cursor == '\t') ++cursor;
    return cursor;
}

std::uintptr_t ReadNumber(const char* cursor) {
    std::uintptr_t value = 0;
    while (*cursor >= '0' && *cursor <= '9') value = value * 10 + static_cast<std::uintptr_t>(*cursor++ - '0');
    return value;
}

}  // namespace

SaverRequest ParseSaverCommandLine(const char* arguments) {
    const char* cursor = SkipBlanks(arguments);
    if (*cursor == '/' || *cursor == '-') ++cursor;
    const char letter = static_cast<char>(*cursor >= 'A' && *cursor <= 'Z' ? *cursor - 'A' + 'a' : *cursor);
    if (letter != '\0') ++cursor;
    if (*cursor == ':') ++cursor;
    const std::uintptr_t window = ReadNumber(SkipBlanks(cursor));
    switch (letter) {
        case 's': return {SaverMode::kFullScreen, 0};
        case 'p': return {SaverMode::kPreview, window};
        case 'a': return {SaverMode::kPassword, window};
        default: return {SaverMode::kSettings, window};
    }
}
