// The stand-in's message boxes and cursors: boxes are printed on the console and answered by one
// line of input; the cursor is a value that SetCursor swaps.
#include <cctype>
#include <cstdint>
#include <cstring>

#include "platform/hosted/hosted_control.h"
#include "platform/hosted/internals.h"

namespace {

std::FILE* g_in = nullptr;
std::FILE* g_out = nullptr;
std::vector<hosted::ShownBox> g_transcript;

HCURSOR CursorHandle(std::uintptr_t id) { return reinterpret_cast<HCURSOR>(0x10000 + id); }
const HCURSOR kArrowCursor = CursorHandle(32512);
HCURSOR g_cursor = kArrowCursor;

std::FILE* ConsoleIn() { return g_in != nullptr ? g_in : stdin; }

// One line of the console, without its line ending or surrounding blanks; false at the end.
bool ReadAnswer(std::string* answer) {
    char line[256];
    if (std::fgets(line, sizeof line, ConsoleIn()) == nullptr) return false;
    std::string text(line);
    // A longer line is consumed whole, so it answers only this box.
    while (!text.empty() && text.back() != '\n' && std::fgets(line, sizeof line, ConsoleIn()) != nullptr)
        text += line;
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    *answer = first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
    for (char& c : *answer) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return true;
}

bool IsYes(const std::string& answer) {
    return answer == "j" || answer == "ja" || answer == "y" || answer == "yes";
}

const char* IconMark(UINT style) {
    switch (style & 0xF0) {
        case MB_ICONERROR: return "(x) ";
        case MB_ICONQUESTION: return "(?) ";
        case MB_ICONINFORMATION: return "(i) ";
        default: return "";
    }
}

void PrintBox(std::FILE* out, const std::string& caption, const std::string& text, UINT style, bool yesNo) {
    std::fprintf(out, "\n+--- %s ---\n", hosted::Utf8FromCp1252(caption).c_str());
    std::string body = hosted::Utf8FromCp1252(text);
    std::size_t start = 0;
    bool firstLine = true;
    for (;;) {
        const std::size_t end = body.find('\n', start);
        std::fprintf(out, "| %s%s\n", firstLine ? IconMark(style) : (*IconMark(style) ? "    " : ""),
                     body.substr(start, end - start).c_str());
        firstLine = false;
        if (end == std::string::npos) break;
        start = end + 1;
    }
    std::fprintf(out, "+--- %s\n", yesNo ? "[ Ja ]  [ Nein ]   Antwort (j/n): " : "[ OK ]   (Eingabe)");
    std::fflush(out);
}

}  // namespace

namespace hosted {

void SetConsole(std::FILE* in, std::FILE* out) {
    g_in = in;
    g_out = out;
}

std::FILE* ConsoleOut() { return g_out != nullptr ? g_out : stdout; }

const std::vector<ShownBox>& Transcript() { return g_transcript; }
void ClearTranscript() { g_transcript.clear(); }

HCURSOR CurrentCursor() { return g_cursor; }
void ResetCursor() { g_cursor = kArrowCursor; }

std::string Utf8FromCp1252(const std::string& text) {
    // 0x80 to 0x9F differ from Latin-1; 0 marks the five unassigned bytes.
    static const char16_t kHigh[32] = {
        0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string utf8;
    for (unsigned char byte : text) {
        char32_t code = byte;
        if (byte >= 0x80 && byte < 0xA0) code = kHigh[byte - 0x80] != 0 ? kHigh[byte - 0x80] : 0xFFFD;
        if (code < 0x80) {
            utf8 += static_cast<char>(code);
        } else if (code < 0x800) {
            utf8 += static_cast<char>(0xC0 | code >> 6);
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        } else {
            utf8 += static_cast<char>(0xE0 | code >> 12);
            utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
            utf8 += static_cast<char>(0x80 | (code & 0x3F));
        }
    }
    return utf8;
}

}  // namespace hosted

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT style) {
    const bool yesNo = (style & 0x0F) == MB_YESNO;
    const std::string captionText = caption != nullptr ? caption : "Fehler";
    const std::string bodyText = text != nullptr ? text : "";
    PrintBox(hosted::ConsoleOut(), captionText, bodyText, style, yesNo);
    std::string answer;
    const bool answered = ReadAnswer(&answer);
    const int result = !yesNo ? IDOK : (answered && IsYes(answer) ? IDYES : IDNO);
    g_transcript.push_back({captionText, bodyText, style, result, g_cursor});
    return result;
}

HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR id) {
    const auto number = reinterpret_cast<std::uintptr_t>(id);
    if (instance != nullptr || number > 0xFFFF) return nullptr;
    static const std::uintptr_t kSystemCursors[] = {32512, 32513, 32514, 32515, 32516, 32640, 32641, 32642,
                                                    32643, 32644, 32645, 32646, 32648, 32649, 32650, 32651};
    for (std::uintptr_t known : kSystemCursors)
        if (known == number) return CursorHandle(number);
    return nullptr;
}

HCURSOR SetCursor(HCURSOR cursor) {
    const HCURSOR previous = g_cursor;
    g_cursor = cursor;
    return previous;
}
