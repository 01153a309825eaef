// The stand-in's WritePrivateProfileStringA over .ini files, and the edit it makes.
#include "platform/hosted/profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <vector>

#include "platform/hosted/file_io.h"
#include "platform/hosted/internals.h"
#include "platform/hosted/winapi_hosted.h"

namespace {

struct Line {
    std::string_view text;    // without its line ending
    std::string_view ending;  // "\r\n", "\n" or "" for a last line without one
};

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t newline = content.find('\n', start);
        if (newline == std::string_view::npos) {
            lines.push_back({content.substr(start), {}});
            break;
        }
        std::size_t end = newline;
        if (end > start && content[end - 1] == '\r') --end;
        lines.push_back({content.substr(start, end - start), content.substr(end, newline + 1 - end)});
        start = newline + 1;
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

std::string EditProfile(std::string_view content, const char* section, const char* key, const char* value) {
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
        if (!out.empty() && out.back() != '\n') out += ending;
        return out.append(1, '[').append(sectionName).append(1, ']').append(ending).append(entry).append(ending);
    }
    std::size_t end = header + 1;
    while (end < lines.size() && !SectionName(lines[end].text)) ++end;
    if (key == nullptr) return Join(lines, 0, header) + Join(lines, end, lines.size());

    for (std::size_t i = header + 1; i < end; ++i) {
        const auto name = KeyName(lines[i].text);
        if (!name || !SameName(*name, keyName)) continue;
        if (value == nullptr) return Join(lines, 0, i) + Join(lines, i + 1, lines.size());
        // The key keeps its spelling in the file, as on Windows; the line written always ends.
        const std::string_view lineEnding = lines[i].ending.empty() ? std::string_view(ending) : lines[i].ending;
        return Join(lines, 0, i) + Entry(*name, valueText) + std::string(lineEnding) + Join(lines, i + 1, lines.size());
    }
    if (value == nullptr) return std::string(content);
    std::size_t last = end;
    while (last > header + 1 && Trim(lines[last - 1].text).empty()) --last;
    std::string out = Join(lines, 0, last);
    if (!out.empty() && out.back() != '\n') out += ending;
    return out + entry + ending + Join(lines, last, lines.size());
}

std::optional<std::string> ReadProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key) {
    // Names match trimmed, as EditProfile writes them.
    section = Trim(section);
    key = Trim(key);
    bool inSection = false;
    for (const Line& line : SplitLines(content)) {
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
    if (!written || ShouldFail(Operation::profileRename) || rename(temporary.c_str(), path.c_str()) != 0) {
        unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace hosted

BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName) {
    if (section == nullptr || fileName == nullptr) return FALSE;
    const std::string path = hosted::ProfilePath(fileName);
    const std::optional<std::string> content = hosted::ReadWholeFile(path);
    if (!content) return FALSE;
    const std::string edited = hosted::EditProfile(*content, section, key, value);
    if (edited == *content) return TRUE;
    return hosted::ReplaceFile(path, edited) ? TRUE : FALSE;
}
