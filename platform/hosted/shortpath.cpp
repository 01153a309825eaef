// The stand-in's GetShortPathNameA: 8.3 aliases as Windows makes them for long names.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/hosted/faults.h"
#include "platform/hosted/internals.h"
#include "platform/hosted/shortname.h"
#include "platform/hosted/winapi_hosted.h"

namespace {

bool IsShortNameChar(unsigned char c) {
    return std::isalnum(c) || std::strchr("!#$%&'()-@^_`{}~", c) != nullptr || c >= 0x80;
}

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// The names in a directory, in a fixed order so that every call assigns the same aliases.
std::vector<std::string> DirectoryEntries(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.empty() ? "." : directory.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace

namespace hosted {

bool IsShortName(const std::string& name) {
    if (name == "." || name == "..") return true;
    const std::size_t dot = name.find('.');
    const std::string base = name.substr(0, dot);
    const std::string extension = dot == std::string::npos ? std::string() : name.substr(dot + 1);
    if (base.empty() || base.size() > 8 || extension.size() > 3) return false;
    if (dot != std::string::npos && extension.empty()) return false;
    return std::all_of(base.begin(), base.end(), [](char c) { return IsShortNameChar(c); }) &&
           std::all_of(extension.begin(), extension.end(), [](char c) { return IsShortNameChar(c); });
}

std::string AliasStem(const std::string& name, std::string* extension) {
    // Blanks and leading dots go; the last dot starts the extension; other dots go too.
    std::string kept;
    for (char c : name)
        if (c != ' ') kept += c;
    kept.erase(0, kept.find_first_not_of('.'));
    const std::size_t dot = kept.rfind('.');
    std::string base = dot == std::string::npos ? kept : kept.substr(0, dot);
    std::string ext = dot == std::string::npos ? std::string() : kept.substr(dot + 1);
    auto clean = [](std::string text) {
        std::string out;
        for (char c : text) {
            if (c == '.') continue;
            out += IsShortNameChar(static_cast<unsigned char>(c)) ? c : '_';
        }
        return Upper(out);
    };
    *extension = clean(ext).substr(0, 3);
    return clean(base);
}

std::string ShortName(const std::string& directory, const std::string& name) {
    if (IsShortName(name)) return name;
    // Aliases are handed out in name order; short names already there are taken as they are.
    std::set<std::string> taken;
    const std::vector<std::string> entries = DirectoryEntries(directory);
    for (const std::string& entry : entries)
        if (IsShortName(entry)) taken.insert(Upper(entry));
    std::vector<std::string> longNames;
    for (const std::string& entry : entries)
        if (!IsShortName(entry)) longNames.push_back(entry);
    if (std::find(longNames.begin(), longNames.end(), name) == longNames.end()) longNames.push_back(name);
    for (const std::string& entry : longNames) {
        std::string extension;
        const std::string stem = AliasStem(entry, &extension);
        std::string alias;
        for (int number = 1;; ++number) {
            std::string tail = std::to_string(number);
            tail.insert(tail.begin(), '~');
            alias = stem.substr(0, std::min<std::size_t>(6, 8 - tail.size()));
            alias.append(tail);
            if (!extension.empty()) alias.append(1, '.').append(extension);
            if (taken.insert(alias).second) break;
        }
        if (entry == name) return alias;
    }
    return name;
}

}  // namespace hosted

DWORD GetShortPathNameA(LPCSTR longPath, LPSTR buffer, DWORD size) {
    if (longPath == nullptr || hosted::ShouldFail(hosted::Operation::shortPath)) return 0;
    struct stat status;
    const std::string posix = hosted::PosixPath(longPath);
    if (stat(posix.c_str(), &status) != 0) return 0;

    // Each component is replaced by its short name; the separators stay as they were written.
    const std::string path = longPath;
    std::string result;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find_first_of("/\\", start);
        if (end == std::string::npos) end = path.size();
        const std::string component = path.substr(start, end - start);
        if (!component.empty()) result += hosted::ShortName(posix.substr(0, start), component);
        if (end == path.size()) break;
        result += path[end];
        start = end + 1;
    }
    if (result.size() + 1 > size) return static_cast<DWORD>(result.size() + 1);
    std::memcpy(buffer, result.c_str(), result.size() + 1);
    return static_cast<DWORD>(result.size());
}
