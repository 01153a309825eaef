// The stand-in's file operations (_lopen and its kin, OpenFile), the module path and the Windows
// directory, over POSIX file descriptors.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/hosted/file_io.h"
#include "platform/hosted/hosted_control.h"
#include "platform/hosted/shortname.h"
#include "platform/hosted/internals.h"

namespace {

std::string g_modulePath;
bool g_windows9x = false;
DWORD g_lastError = 0;

BOOL Fail(DWORD error) {
    g_lastError = error;
    return FALSE;
}

// The Windows error code for a failed POSIX call.
DWORD ErrorFromErrno() {
    switch (errno) {
        case ENOENT:
        case ENOTDIR: return ERROR_FILE_NOT_FOUND;
        case EBUSY: return ERROR_SHARING_VIOLATION;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        default: return ERROR_ACCESS_DENIED;
    }
}

std::string RunningProgram() {
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    return length > 0 ? std::string(buffer, static_cast<std::size_t>(length)) : std::string();
}

DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD size) {
    if (size == 0) return 0;
    const std::size_t n = std::min<std::size_t>(text.size(), size - 1);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
    return static_cast<DWORD>(n);
}

}  // namespace

namespace hosted {

void SetModulePath(const std::string& path) { g_modulePath = path; }

void ReportWindows9x(bool windows9x) { g_windows9x = windows9x; }

std::string PosixPath(const char* path) {
    std::string posix(path);
    for (char& c : posix)
        if (c == '\\') c = '/';
    return posix;
}

long ReadFully(int fd, void* buffer, std::size_t count, Operation operation) {
    if (ShouldFail(operation)) return -1;
    auto* bytes = static_cast<char*>(buffer);
    std::size_t total = 0;
    while (total < count) {
        const ssize_t got = read(fd, bytes + total, count - total);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return -1;
        if (got == 0) break;
        total += static_cast<std::size_t>(got);
    }
    return static_cast<long>(total);
}

long WriteFully(int fd, const void* data, std::size_t count, Operation operation) {
    const auto* bytes = static_cast<const char*>(data);
    if (ShouldFail(operation)) {
        if (FiringWriteFault() == WriteFault::error) return -1;
        count /= 2;  // a full disk: part of the bytes fit
        const ssize_t put = write(fd, bytes, count);
        return put < 0 ? -1 : static_cast<long>(put);
    }
    std::size_t total = 0;
    while (total < count) {
        const ssize_t put = write(fd, bytes + total, count - total);
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return total > 0 ? static_cast<long>(total) : -1;  // a full disk: what fitted
        total += static_cast<std::size_t>(put);
    }
    return static_cast<long>(total);
}

std::string WindowsDirectory() {
    const char* windir = std::getenv("WINDIR");
    std::string directory;
    if (windir != nullptr && *windir != '\0') {
        directory = windir;
    } else {
        const char* home = std::getenv("HOME");
        directory = std::string(home != nullptr && *home != '\0' ? home : "/tmp") + "/.windows";
    }
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(PosixPath(directory.c_str()), error);
    if (error) return directory;
    std::string full = absolute.lexically_normal().string();
    while (full.size() > 1 && full.back() == '/') full.pop_back();
    return full;
}

}  // namespace hosted

// NT 6.2 build 9200, as Windows 8 and later report themselves to a program without a manifest that
// names them; Windows 98 (4.10) with the high bit that marks the 9x family.
DWORD GetVersion() { return g_windows9x ? 0xC0000A04u : 0x23F00206u; }

DWORD GetLastError() { return g_lastError; }

DWORD GetModuleFileNameA(HINSTANCE, LPSTR buffer, DWORD size) {
    const std::string path = g_modulePath.empty() ? RunningProgram() : g_modulePath;
    // As on Windows: a path cut to the buffer returns the buffer's size.
    if (path.size() >= size) return CopyOut(path, buffer, size) + 1;
    return CopyOut(path, buffer, size);
}

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    const std::string directory = hosted::WindowsDirectory();
    if (directory.size() + 1 > size) return static_cast<UINT>(directory.size() + 1);
    return CopyOut(directory, buffer, size);
}

// Windows keeps a file that one process writes from being opened, cut or deleted by another (a
// sharing violation); advisory locks do the same among the stand-in's users: shared for reading,
// exclusive for writing and deleting.
static HFILE LockOrClose(int fd, bool exclusive) {
    if (fd < 0) return HFILE_ERROR;
    if (flock(fd, (exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0) return fd;
    close(fd);
    errno = EBUSY;
    return HFILE_ERROR;
}

HFILE _lopen(LPCSTR path, int mode) {
    if (hosted::ShouldFail(hosted::Operation::lopen)) return HFILE_ERROR;
    static const int kAccess[] = {O_RDONLY, O_WRONLY, O_RDWR, O_RDONLY};
    return LockOrClose(open(hosted::PosixPath(path).c_str(), kAccess[mode & 3] | O_CLOEXEC), (mode & 3) != 0);
}

HFILE _lcreat(LPCSTR path, int attribute) {
    if (hosted::ShouldFail(hosted::Operation::lcreat)) return HFILE_ERROR;
    const mode_t permissions = (attribute & 1) ? 0444 : 0644;  // attribute 1: read-only
    // Cut only once the lock is held, so a file that another process writes stays whole.
    const HFILE fd = LockOrClose(open(hosted::PosixPath(path).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, permissions), true);
    if (fd == HFILE_ERROR) return HFILE_ERROR;
    if (ftruncate(fd, 0) != 0) {
        close(fd);
        return HFILE_ERROR;
    }
    hosted::GiveAlias(hosted::PosixPath(path));
    return fd;
}

UINT _lread(HFILE file, LPVOID buffer, UINT count) {
    const long got = hosted::ReadFully(file, buffer, count, hosted::Operation::lread);
    return got < 0 ? static_cast<UINT>(HFILE_ERROR) : static_cast<UINT>(got);
}

UINT _lwrite(HFILE file, LPCSTR buffer, UINT count) {
    // As on Windows, a write of no bytes cuts the file at the current position.
    if (count == 0) {
        const off_t here = lseek(file, 0, SEEK_CUR);
        return here < 0 || ftruncate(file, here) != 0 ? static_cast<UINT>(HFILE_ERROR) : 0;
    }
    const long put = hosted::WriteFully(file, buffer, count, hosted::Operation::lwrite);
    return put < 0 ? static_cast<UINT>(HFILE_ERROR) : static_cast<UINT>(put);
}

LONG _llseek(HFILE file, LONG offset, int origin) {
    static const int kWhence[] = {SEEK_SET, SEEK_CUR, SEEK_END};  // FILE_BEGIN, FILE_CURRENT, FILE_END
    if (origin < FILE_BEGIN || origin > FILE_END || hosted::ShouldFail(hosted::Operation::llseek)) return HFILE_ERROR;
    const off_t position = lseek(file, offset, kWhence[origin]);
    return position < 0 || position > INT32_MAX ? HFILE_ERROR : static_cast<LONG>(position);
}

HFILE _lclose(HFILE file) { return close(file) == 0 ? 0 : HFILE_ERROR; }

HFILE OpenFile(LPCSTR path, LPOFSTRUCT record, UINT style) {
    record->cBytes = sizeof(OFSTRUCT);
    record->fFixedDisk = 1;
    record->nErrCode = 0;
    record->Reserved1 = record->Reserved2 = 0;
    CopyOut(path, record->szPathName, sizeof record->szPathName);
    // The record holds the path the file was opened by; a longer one is refused, not cut.
    if (std::strlen(path) >= sizeof record->szPathName) {
        record->nErrCode = ERROR_FILENAME_EXCED_RANGE;
        g_lastError = ERROR_FILENAME_EXCED_RANGE;
        return HFILE_ERROR;
    }
    HFILE result;
    if (style & OF_DELETE) {
        const std::string posix = hosted::PosixPath(path);
        const HFILE held = LockOrClose(open(posix.c_str(), O_RDONLY | O_CLOEXEC), true);
        result = held != HFILE_ERROR && unlink(posix.c_str()) == 0 ? 1 : HFILE_ERROR;
        if (held != HFILE_ERROR) close(held);
    } else if (style & OF_CREATE) {
        result = _lcreat(path, 0);
    } else {
        result = _lopen(path, static_cast<int>(style & 3));
    }
    if (result == HFILE_ERROR) {
        g_lastError = ErrorFromErrno();
        record->nErrCode = static_cast<WORD>(g_lastError);
    }
    return result;
}

// A file that another process has open is not renamed away or replaced (sharing violation), as on
// Windows: the stand-in's users hold advisory locks on what they read or write.
static bool InUseByAnother(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool busy = flock(fd, LOCK_EX | LOCK_NB) != 0;
    close(fd);
    return busy;
}

static BOOL Move(LPCSTR existing, LPCSTR newName, bool replace) {
    if (existing == nullptr || newName == nullptr) return Fail(ERROR_FILE_NOT_FOUND);
    if (hosted::ShouldFail(hosted::Operation::moveFile)) return Fail(ERROR_ACCESS_DENIED);
    const std::string from = hosted::PosixPath(existing);
    const std::string to = hosted::PosixPath(newName);
    struct stat target;
    if (replace && stat(to.c_str(), &target) == 0 && S_ISDIR(target.st_mode)) return Fail(ERROR_ACCESS_DENIED);
    if (InUseByAnother(from) || InUseByAnother(to)) return Fail(ERROR_SHARING_VIOLATION);
    if (!hosted::RenameKeepingAlias(from, to, replace)) return Fail(ErrorFromErrno());
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags) {
    if (g_windows9x) return Fail(ERROR_CALL_NOT_IMPLEMENTED);
    return Move(existing, newName, (flags & MOVEFILE_REPLACE_EXISTING) != 0);
}

BOOL MoveFileA(LPCSTR existing, LPCSTR newName) { return Move(existing, newName, false); }
