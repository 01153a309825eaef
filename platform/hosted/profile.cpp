// The stand-in's WritePrivateProfileStringA over .ini files, and the edit it makes.
#include "platform/hosted/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <algorithm>
#include <cstring>
#include <strings.h>
#include <vector>

#include "platform/hosted/file_io.h"
#include "platform/hosted/internals.h"
#include "platform/hosted/shortname.h"
#include "platform/hosted/winapi_hosted.h"

namespace {

// A UTF-8 byte order mark before the first line is no part of it: Windows and Wine read the file
// past it, and it stays in front of whatever is written back.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::string_view WithoutByteOrderMark(std::string_view content) {
    return content.substr(0, kByteOrderMark.size()) == kByteOrderMark ? content.substr(kByteOrderMark.size()) : content;
}

struct Line {
    std::string_view text;    // without its line ending
    std::string_view ending;  // "\r\n", "\n", "\r" or "" for a last line without one
};

// A line ends in LF, CRLF or a lone CR, as readers of .ini files (Wine's among them) take it.
std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            lines.push_back({content.substr(start), {}});
            break;
        }
        std::size_t next = end + 1;
        if (content[end] == '\r' && next < content.size() && content[next] == '\n') ++next;
        lines.push_back({content.substr(start, end - start), content.substr(end, next - end)});
        start = next;
    }
    return lines;
}

std::string_view Trim(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool SameName(std::string_view a, std::string_view b) {
    // An empty view may have no data at all, which strncasecmp must not be given.
    return a.size() == b.size() && (a.empty() || strncasecmp(a.data(), b.data(), a.size()) == 0);
}

// The name of a section header line, or nothing for another line.
std::optional<std::string_view> SectionName(std::string_view line) {
    const std::string_view trimmed = Trim(line);
    if (trimmed.empty() || trimmed.front() != '[') return std::nullopt;
    const std::size_t close = trimmed.find(']');
    return Trim(trimmed.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1));
}

// The key of a "key=value" line, or nothing.
std::optional<std::string_view> KeyName(std::string_view line) {
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return Trim(line.substr(0, equals));
}

// New lines take the file's own line ending; a new file gets CRLF.
std::string_view FileEnding(const std::vector<Line>& lines) {
    for (const Line& line : lines)
        if (!line.ending.empty()) return line.ending;
    return "\r\n";
}

// Blanks before a value mean nothing to a reader; Windows drops them on writing.
std::string_view DropLeadingBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    return first == std::string_view::npos ? std::string_view() : text.substr(first);
}

std::string Entry(std::string_view key, std::string_view value) {
    std::string entry;
    entry.reserve(key.size() + 1 + value.size());
    entry.append(key).append(1, '=').append(value);
    return entry;
}

std::string Join(const std::vector<Line>& lines, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        out += lines[i].text;
        out += lines[i].ending;
    }
    return out;
}

}  // namespace

namespace hosted {

bool HoldsLineBreak(const char* text) { return text != nullptr && std::strpbrk(text, "\r\n") != nullptr; }

namespace {

// The edit of a profile's lines, a byte order mark already set apart.
std::string EditLines(std::string_view content, const char* section, const char* key, const char* value) {
    const std::vector<Line> lines = SplitLines(content);
    const std::string ending(FileEnding(lines));
    const std::string_view sectionName = Trim(section);
    const std::string_view keyName = key != nullptr ? Trim(key) : std::string_view();
    const std::string_view valueText = value != nullptr ? DropLeadingBlanks(value) : std::string_view();
    std::size_t header = lines.size();
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i].text);
        if (name && SameName(*name, sectionName)) {
            header = i;
            break;
        }
    }
    const std::string entry = key != nullptr && value != nullptr ? Entry(keyName, valueText) : std::string();
    if (header == lines.size()) {
        if (key == nullptr || value == nullptr) return std::string(content);
        std::string out(content);
        if (!lines.empty() && lines.back().ending.empty()) out += ending;
        return out.append(1, '[').append(sectionName).append(1, ']').append(ending).append(entry).append(ending);
    }
    std::size_t end = header + 1;
    while (end < lines.size() && !SectionName(lines[end].text)) ++end;
    if (key == nullptr) return Join(lines, 0, header) + Join(lines, end, lines.size());

    for (std::size_t i = header + 1; i < end; ++i) {
        const auto name = KeyName(lines[i].text);
        if (!name || !SameName(*name, keyName)) continue;
        if (value == nullptr) {
            // A line before that ends in a lone CR would take an LF that follows for its own:
            // blank LF lines right after the removed key go with it.
            std::size_t next = i + 1;
            if (i > 0 && lines[i - 1].ending == "\r")
                while (next < lines.size() && lines[next].text.empty() && lines[next].ending == "\n") ++next;
            return Join(lines, 0, i) + Join(lines, next, lines.size());
        }
        // The key keeps its spelling in the file, as on Windows; the line written always ends.
        const std::string_view lineEnding = lines[i].ending.empty() ? std::string_view(ending) : lines[i].ending;
        return Join(lines, 0, i) + Entry(*name, valueText) + std::string(lineEnding) + Join(lines, i + 1, lines.size());
    }
    if (value == nullptr) return std::string(content);
    std::size_t last = end;
    while (last > header + 1 && Trim(lines[last - 1].text).empty()) --last;
    std::string out = Join(lines, 0, last);
    if (lines[last - 1].ending.empty()) out += ending;
    // The new line ends as the one before it does: a lone CR then never meets an LF after it.
    const std::string_view entryEnding = lines[last - 1].ending.empty() ? std::string_view(ending) : lines[last - 1].ending;
    return out + entry + std::string(entryEnding) + Join(lines, last, lines.size());
}

}  // namespace

std::string EditProfile(std::string_view content, const char* section, const char* key, const char* value) {
    if (HoldsLineBreak(section) || HoldsLineBreak(key) || HoldsLineBreak(value)) return std::string(content);
    const std::string_view text = WithoutByteOrderMark(content);
    return std::string(content.substr(0, content.size() - text.size())) + EditLines(text, section, key, value);
}

std::optional<std::string> ReadProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key) {
    // Names match trimmed, as EditProfile writes them.
    section = Trim(section);
    key = Trim(key);
    bool inSection = false;
    for (const Line& line : SplitLines(WithoutByteOrderMark(content))) {
        if (const auto name = SectionName(line.text)) {
            if (inSection) return std::nullopt;
            inSection = SameName(*name, section);
            continue;
        }
        const auto name = KeyName(line.text);
        if (inSection && name && SameName(*name, key))
            return std::string(Trim(line.text.substr(line.text.find('=') + 1)));
    }
    return std::nullopt;
}

std::vector<std::string> ProfileNames(std::string_view content, const char* section) {
    std::vector<std::string> names;
    const std::string_view wanted = section != nullptr ? Trim(section) : std::string_view();
    bool inSection = false;
    for (const Line& line : SplitLines(WithoutByteOrderMark(content))) {
        if (const auto name = SectionName(line.text)) {
            if (section == nullptr) names.emplace_back(*name);
            // Keys are listed from the first matching section, as values are read from it.
            else if (inSection) break;
            inSection = section != nullptr && SameName(*name, wanted);
            continue;
        }
        if (const auto key = KeyName(line.text); inSection && key) names.emplace_back(*key);
    }
    return names;
}

std::string ProfilePath(const char* fileName) {
    if (std::strpbrk(fileName, "/\\") != nullptr) return PosixPath(fileName);
    return WindowsDirectory() + "/" + fileName;
}

std::optional<std::string> ReadWholeFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT ? std::optional<std::string>(std::string()) : std::nullopt;
    std::string content;
    char block[65536];
    for (;;) {
        const ssize_t got = read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            close(fd);
            return std::nullopt;
        }
        if (got == 0) break;
        content.append(block, static_cast<std::size_t>(got));
    }
    close(fd);
    return content;
}

bool ReplaceFile(const std::string& path, const std::string& content) {
    struct stat existing;
    const bool exists = stat(path.c_str(), &existing) == 0;
    // A read-only file stays as it is, even for a user whom POSIX would let write.
    if (exists && ((existing.st_mode & 0222) == 0 || access(path.c_str(), W_OK) != 0)) return false;
    std::string temporary = path + ".XXXXXX";
    const int fd = mkstemp(temporary.data());
    if (fd < 0) return false;
    bool written = fchmod(fd, exists ? existing.st_mode & 07777 : 0644) == 0;
    written = written && WriteFully(fd, content.data(), content.size(), Operation::profileWrite) ==
                             static_cast<long>(content.size());
    written = written && fsync(fd) == 0;
    written = close(fd) == 0 && written;
    // The profile keeps its short name, as a file written in place would.
    if (!written || ShouldFail(Operation::profileRename) || !RenameKeepingAlias(temporary, path, true)) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace hosted

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (section == nullptr || fileName == nullptr) return FALSE;
    // A line break would split the one line written into several that mean something else.
    if (hosted::HoldsLineBreak(section) || hosted::HoldsLineBreak(key) || hosted::HoldsLineBreak(value)) return FALSE;
    const std::string path = hosted::ProfilePath(fileName);
    const std::optional<std::string> content = hosted::ReadWholeFile(path);
    if (!content) return FALSE;
    const std::string edited = hosted::EditProfile(*content, section, key, value);
    if (edited == *content) return TRUE;
    return hosted::ReplaceFile(path, edited) ? TRUE : FALSE;
}

namespace {

// Copies a value into the caller's buffer, cut to fit: returns the characters stored.
DWORD CopyValue(const std::string& value, LPSTR buffer, DWORD size) {
    const std::size_t n = std::min<std::size_t>(value.size(), size - 1);
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

// Copies names as a list, each zero-terminated and one more zero at the end; a list cut to the
// buffer ends in two zeros and returns size - 2.
DWORD CopyList(const std::vector<std::string>& names, LPSTR buffer, DWORD size) {
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    std::size_t used = 0;
    for (const std::string& name : names) {
        if (used + name.size() + 1 > size - 1) {
            const std::size_t n = size - 2 - used;
            std::memcpy(buffer + used, name.data(), n);
            buffer[size - 2] = buffer[size - 1] = '\0';
            return size - 2;
        }
        std::memcpy(buffer + used, name.c_str(), name.size() + 1);
        used += name.size() + 1;
    }
    buffer[used] = '\0';
    return static_cast<DWORD>(used);
}

std::string Unquoted(std::string value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

}  // namespace

DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName) {
    if (buffer == nullptr || size == 0 || fileName == nullptr) return 0;
    const std::optional<std::string> content = hosted::ReadWholeFile(hosted::ProfilePath(fileName));
    const std::string text = content.value_or(std::string());
    if (section == nullptr || key == nullptr) return CopyList(hosted::ProfileNames(text, section), buffer, size);
    if (const auto value = hosted::ReadProfileValue(text, section, key)) return CopyValue(Unquoted(*value), buffer, size);
    std::string fallback = defaultValue != nullptr ? defaultValue : "";
    while (!fallback.empty() && fallback.back() == ' ') fallback.pop_back();
    return CopyValue(fallback, buffer, size);
}

DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size) {
    return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, "win.ini");
}

BOOL WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value) {
    return WritePrivateProfileStringA(section, key, value, "win.ini");
}
