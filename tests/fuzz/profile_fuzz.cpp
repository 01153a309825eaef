// Fuzzes the profile writer: hosted::EditProfile on any content, section, key and value, and now
// and then WritePrivateProfileStringA on a real file.
//
// Invariants: a reasonable entry (names without line breaks, '=' or ']' that would change how the
// line reads back, not blank, a value without line breaks or outer blanks) reads back as written;
// every line of the old content but the replaced key line is still there, in order, byte for byte
// (a last line without an ending may gain one); a removal leaves only old lines; the file written
// holds exactly what EditProfile gives, with no temporary file left beside it.
#include <fuzzer/FuzzedDataProvider.h>
#include <strings.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/hosted/profile.h"
#include "platform/hosted/winapi_hosted.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using fuzz_support::Require;

constexpr unsigned kFileWriteEvery = 64;  // inputs between two runs through the real file

struct Line {
    std::string text;
    std::string ending;
};

// Lines end in LF, CRLF or a lone CR.
std::vector<Line> Lines(const std::string& content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            lines.push_back({content.substr(start), ""});
            break;
        }
        std::size_t next = end + 1;
        if (content[end] == '\r' && next < content.size() && content[next] == '\n') ++next;
        lines.push_back({content.substr(start, end - start), content.substr(end, next - end)});
        start = next;
    }
    return lines;
}

std::string Trim(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool HasAny(const std::string& text, const char* characters) { return text.find_first_of(characters) != std::string::npos; }

bool IsReasonableName(const std::string& name, const char* forbidden) {
    return !Trim(name).empty() && !HasAny(name, forbidden);
}

// A key that begins with '[' reads back as a section header, in any .ini reader.
bool IsReasonableKey(const std::string& key) { return IsReasonableName(key, "\r\n=") && Trim(key).front() != '['; }

bool IsReasonableValue(const std::string& value) { return !HasAny(value, "\r\n") && Trim(value) == value; }

// A last line without an ending may gain one; its bytes stay.
bool SameLine(const Line& before, const Line& after, bool lastBefore) {
    if (lastBefore && before.ending.empty()) return (after.text + after.ending).starts_with(before.text);
    return before.text == after.text && before.ending == after.ending;
}

bool IsKeyLine(const Line& line, const std::string& key) {
    const std::size_t equals = line.text.find('=');
    if (equals == std::string::npos || Trim(line.text).front() == '[') return false;
    const std::string name = Trim(line.text.substr(0, equals));
    const std::string wanted = Trim(key);
    return name.size() == wanted.size() && strncasecmp(name.c_str(), wanted.c_str(), name.size()) == 0;
}

// Every old line is found in the new ones in order; one key line of that key may be missing. Exact
// and linear: matched greedily from the front and from the back, any skipped line k must leave the
// front match of lines [0, k) ending before the back match of lines (k, end) begins.
bool OldLinesKept(const std::vector<Line>& before, const std::vector<Line>& after, const std::string* replacedKey) {
    const std::size_t n = before.size();
    const std::size_t m = after.size();
    constexpr std::size_t kNoMatch = static_cast<std::size_t>(-1);
    std::vector<std::size_t> frontEnd(n + 1, kNoMatch);  // new lines used by old lines [0, i)
    frontEnd[0] = 0;
    for (std::size_t i = 0; i < n && frontEnd[i] != kNoMatch; ++i) {
        std::size_t at = frontEnd[i];
        while (at < m && !SameLine(before[i], after[at], i + 1 == n)) ++at;
        if (at < m) frontEnd[i + 1] = at + 1;
    }
    if (frontEnd[n] != kNoMatch) return true;
    if (replacedKey == nullptr) return false;
    std::vector<std::size_t> backStart(n + 1, kNoMatch);  // first new line used by old lines [i, n)
    backStart[n] = m;
    for (std::size_t i = n; i > 0 && backStart[i] != kNoMatch; --i) {
        std::size_t at = backStart[i];
        while (at > 0 && !SameLine(before[i - 1], after[at - 1], i == n)) --at;
        if (at > 0) backStart[i - 1] = at - 1;
    }
    for (std::size_t k = 0; k < n; ++k)
        if (frontEnd[k] != kNoMatch && backStart[k + 1] != kNoMatch && frontEnd[k] <= backStart[k + 1] &&
            IsKeyLine(before[k], *replacedKey))
            return true;
    return false;
}

// After a removal every line left was an old line, in the old order.
bool OnlyOldLines(const std::vector<Line>& before, const std::vector<Line>& after) {
    std::size_t next = 0;
    for (const Line& line : after) {
        while (next < before.size() && !SameLine(before[next], line, false)) ++next;
        if (next == before.size()) return false;
        ++next;
    }
    return true;
}

void CheckFileWrite(const std::string& content, const char* section, const char* key, const char* value,
                    const std::string& edited) {
    static const std::string directory = fuzz_support::ScratchDirectory() + "/profile";
    static const std::string path = directory + "/test.ini";
    std::filesystem::create_directories(directory);
    fuzz_support::WriteFile(path, reinterpret_cast<const std::uint8_t*>(content.data()), content.size());
    const bool refused = hosted::HoldsLineBreak(section) || hosted::HoldsLineBreak(key) || hosted::HoldsLineBreak(value);
    Require((WritePrivateProfileStringA(section, key, value, path.c_str()) == TRUE) == !refused,
            "the profile file is written, unless a name or the value holds a line break");
    const std::optional<std::string> written = hosted::ReadWholeFile(path);
    Require(written && *written == (refused ? content : edited), "the file holds what EditProfile gives");
    std::size_t entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(directory)) ++entries;
    Require(entries == 1, "no temporary file is left beside the profile");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const std::uint8_t nulls = input.ConsumeIntegral<std::uint8_t>();
    // Strings reach the writer as C strings: a NUL byte ends them.
    const std::string section = input.ConsumeRandomLengthString(64).c_str();
    const std::string key = input.ConsumeRandomLengthString(64).c_str();
    const std::string value = input.ConsumeRandomLengthString(256).c_str();
    const std::string content = input.ConsumeRemainingBytesAsString();
    const char* keyArgument = (nulls & 1) != 0 ? nullptr : key.c_str();
    const char* valueArgument = (nulls & 2) != 0 ? nullptr : value.c_str();

    const std::string edited = hosted::EditProfile(content, section.c_str(), keyArgument, valueArgument);
    // A UTF-8 byte order mark before the first line stays where it was and is no part of that line.
    static const std::string kByteOrderMark = "\xEF\xBB\xBF";
    const bool marked = content.starts_with(kByteOrderMark);
    Require(!marked || edited.starts_with(kByteOrderMark), "a byte order mark is kept");
    const std::vector<Line> before = Lines(marked ? content.substr(3) : content);
    const std::vector<Line> after = Lines(marked ? edited.substr(3) : edited);
    if (keyArgument != nullptr && valueArgument != nullptr) {
        Require(OldLinesKept(before, after, &key), "every old line but the replaced key line stays, in order");
        if (IsReasonableName(section, "\r\n]") && IsReasonableKey(key) && IsReasonableValue(value))
            Require(hosted::ReadProfileValue(edited, section, key) == value, "the value written reads back");
    } else {
        Require(OnlyOldLines(before, after), "a removal leaves only old lines, in order");
    }

    static unsigned inputs = 0;
    if (++inputs % kFileWriteEvery == 1) CheckFileWrite(content, section.c_str(), keyArgument, valueArgument, edited);
    return 0;
}
