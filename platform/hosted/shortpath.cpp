// The stand-in's GetShortPathNameA and the 8.3 aliases it reports: given to a long name when its
// file is created, kept for the file's life, passed on when a file is replaced under its name.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <optional>
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

// The names in a directory, in a fixed order so that aliases are dealt the same way every time.
std::vector<std::string> DirectoryEntries(const std::string& directory) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(directory.c_str())) {
        while (const dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..") names.push_back(name);
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Where a file keeps its alias: an extended attribute goes wherever the file goes, and away with
// it, as the short name of a file does on Windows.
constexpr char kAliasAttribute[] = "user.quendolin.shortname";
constexpr std::size_t kAliasMax = 12;  // "BASENAME.EXT"

std::string Child(const std::string& directory, const std::string& name) {
    if (directory.empty()) return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

std::string Parent(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::optional<std::string> StoredAlias(const std::string& path) {
    char alias[kAliasMax + 1];
    const ssize_t length = getxattr(path.c_str(), kAliasAttribute, alias, kAliasMax);
    if (length <= 0) return std::nullopt;
    return std::string(alias, static_cast<std::size_t>(length));
}

bool StoreAlias(const std::string& path, const std::string& alias) {
    return setxattr(path.c_str(), kAliasAttribute, alias.data(), alias.size(), 0) == 0;
}

void DropAlias(const std::string& path) { removexattr(path.c_str(), kAliasAttribute); }

// The lowest "~N" alias of a long name that is not taken yet.
std::string NextFreeAlias(const std::string& name, const std::set<std::string>& taken) {
    std::string extension;
    const std::string stem = hosted::AliasStem(name, &extension);
    for (int number = 1;; ++number) {
        std::string tail = std::to_string(number);
        tail.insert(tail.begin(), '~');
        std::string alias = stem.substr(0, std::min<std::size_t>(6, 8 - tail.size()));
        alias.append(tail);
        if (!extension.empty()) alias.append(1, '.').append(extension);
        if (taken.count(alias) == 0) return alias;
    }
}

// Aliases are dealt under an exclusive lock of the directory, so that two processes creating
// files side by side never hand out the same one (Windows serializes them the same way).
class DirectoryLock {
public:
    explicit DirectoryLock(const std::string& directory)
        : fd_(open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
        if (fd_ >= 0) flock(fd_, LOCK_EX);
    }
    ~DirectoryLock() {
        if (fd_ >= 0) close(fd_);
    }
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

private:
    int fd_;
};

// The aliases taken in a directory: its short names and the aliases its files hold.
std::set<std::string> TakenAliases(const std::string& directory, std::vector<std::string>* without) {
    std::set<std::string> taken;
    for (const std::string& entry : DirectoryEntries(directory)) {
        if (hosted::IsShortName(entry)) {
            taken.insert(Upper(entry));
        } else if (const auto alias = StoredAlias(Child(directory, entry))) {
            taken.insert(*alias);
        } else if (without != nullptr) {
            without->push_back(entry);
        }
    }
    return taken;
}

// Whether the directory is the Windows directory or inside it.
bool InWindowsDirectory(const std::string& directory) {
    std::error_code error;
    const std::string path = std::filesystem::absolute(directory, error).lexically_normal().string();
    const std::string windows = hosted::WindowsDirectory();
    if (error || path.compare(0, windows.size(), windows) != 0) return false;
    return path.size() == windows.size() || path[windows.size()] == '/' || windows == "/";
}

// Gives every long-named file of the directory that holds no alias the next free one, in name
// order, and returns what `name` got. A file being created now (`newest`) comes after those found
// without one, which are older. The stand-in keeps the aliases of its own files and of the
// Windows directory's; other files (a user's home, say) are dealt theirs afresh on each call, the
// same way, and left untouched. So are all where the file system keeps no extended attributes.
std::string DealAliases(const std::string& directory, const std::string& name, bool newest) {
    const bool keepAll = InWindowsDirectory(directory);
    std::vector<std::string> without;
    std::set<std::string> taken = TakenAliases(directory, &without);
    const auto found = std::find(without.begin(), without.end(), name);
    if (found == without.end()) {
        without.push_back(name);
    } else if (newest) {
        without.erase(found);
        without.push_back(name);
    }
    std::string result;
    for (const std::string& entry : without) {
        const std::string alias = NextFreeAlias(entry, taken);
        taken.insert(alias);
        if (keepAll || (newest && entry == name)) StoreAlias(Child(directory, entry), alias);
        if (entry == name) result = alias;
    }
    return result;
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
    const std::string dir = directory.empty() ? "." : directory;
    if (const auto alias = StoredAlias(Child(dir, name))) return *alias;
    DirectoryLock lock(dir);
    if (const auto alias = StoredAlias(Child(dir, name))) return *alias;  // dealt meanwhile
    return DealAliases(dir, name, false);
}

void GiveAlias(const std::string& path) {
    const std::string name = BaseName(path);
    if (IsShortName(name) || StoredAlias(path)) return;
    DirectoryLock lock(Parent(path));
    if (!StoredAlias(path)) DealAliases(Parent(path), name, true);
}

bool RenameKeepingAlias(const std::string& from, const std::string& to, bool replace) {
    const std::string directory = Parent(to);
    const std::string name = BaseName(to);
    DirectoryLock lock(directory);
    // The file about to be replaced has its alias (one found without it gets it now), to pass on.
    std::optional<std::string> replaced;
    struct stat status;
    if (!IsShortName(name) && lstat(to.c_str(), &status) == 0) {
        replaced = StoredAlias(to);
        if (!replaced) replaced = DealAliases(directory, name, false);
    }
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), replace ? 0 : RENAME_NOREPLACE) != 0) return false;
    if (IsShortName(name)) {
        DropAlias(to);
    } else if (replaced) {
        StoreAlias(to, *replaced);
    } else {
        // A new long name: the alias the file had under its old name is not its own any more.
        DropAlias(to);
        DealAliases(directory, name, true);
    }
    return true;
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
