// The Windows operations of the installer, as our hosted stand-in provides them over POSIX.
//
// Types and constants carry the values that Windows gives them, so the installer's code reads the
// same on both sides. Each operation says what its caller relies on; the stand-in keeps exactly that
// contract, and the real Windows API keeps it too.
#pragma once

#include <cstdint>

#define WINAPI
#define APIENTRY

typedef int BOOL;
typedef int INT;
typedef unsigned int UINT;
typedef std::int32_t LONG;
typedef std::uint32_t DWORD;
typedef std::uint16_t WORD;
typedef std::uint8_t BYTE;
typedef char CHAR;
typedef char* LPSTR;
typedef const char* LPCSTR;
typedef void* LPVOID;
typedef void* PVOID;
typedef int HFILE;
typedef struct HINSTANCE_* HINSTANCE;
typedef struct HWND_* HWND;
typedef struct HCURSOR_* HCURSOR;

#define TRUE 1
#define FALSE 0

#define MAKEINTRESOURCEA(id) (reinterpret_cast<LPCSTR>(static_cast<std::uintptr_t>(static_cast<WORD>(id))))

// Files (KERNEL32).
#define HFILE_ERROR (static_cast<HFILE>(-1))
#define OF_READ 0x0000
#define OF_WRITE 0x0001
#define OF_READWRITE 0x0002
#define OF_DELETE 0x0200
#define OF_CREATE 0x1000
#define OFS_MAXPATHNAME 128
#define MOVEFILE_REPLACE_EXISTING 0x00000001u
#define FILE_BEGIN 0    // origins of _llseek
#define FILE_CURRENT 1
#define FILE_END 2

// Error codes of GetLastError.
#define ERROR_FILE_NOT_FOUND 2
#define ERROR_ACCESS_DENIED 5
#define ERROR_SHARING_VIOLATION 32
#define ERROR_CALL_NOT_IMPLEMENTED 120
#define ERROR_ALREADY_EXISTS 183
#define ERROR_FILENAME_EXCED_RANGE 206

// The open-file record of OpenFile and LZOpenFileA; its path holds at most 127 characters, and
// both refuse a longer path (ERROR_FILENAME_EXCED_RANGE in nErrCode), as on Windows.
struct OFSTRUCT {
    BYTE cBytes;        // size of the record
    BYTE fFixedDisk;    // nonzero: the file is on a fixed disk
    WORD nErrCode;      // error code of a failed call
    WORD Reserved1;
    WORD Reserved2;
    CHAR szPathName[OFS_MAXPATHNAME];  // the path as opened, cut to fit
};
typedef OFSTRUCT* LPOFSTRUCT;

// Message boxes and cursors (USER32).
#define MB_OK 0x00000000u
#define MB_YESNO 0x00000004u
#define MB_ICONERROR 0x00000010u
#define MB_ICONQUESTION 0x00000020u
#define MB_ICONINFORMATION 0x00000040u
#define IDOK 1
#define IDYES 6
#define IDNO 7
#define IDC_ARROW MAKEINTRESOURCEA(32512)
#define IDC_WAIT MAKEINTRESOURCEA(32514)

// System parameters (USER32).
#define SPI_GETSCREENSAVETIMEOUT 14
#define SPI_SETSCREENSAVETIMEOUT 15
#define SPI_GETSCREENSAVEACTIVE 16
#define SPI_SETSCREENSAVEACTIVE 17
#define SPIF_UPDATEINIFILE 0x0001
#define SPIF_SENDWININICHANGE 0x0002

// LZ32 results: LZCopy returns the expanded size, or one of these.
#define LZERROR_BADINHANDLE (-1)
#define LZERROR_BADOUTHANDLE (-2)
#define LZERROR_READ (-3)
#define LZERROR_WRITE (-4)
#define LZERROR_GLOBALLOC (-5)
#define LZERROR_GLOBLOCK (-6)
#define LZERROR_BADVALUE (-7)
#define LZERROR_UNKNOWNALG (-8)

// The program's entry, which the program itself defines and its start-up calls once: the instance
// handle, the command line without the program name, and how to show the first window. Returns the
// process's exit code.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int showCommand);

// The full path of the running program file, zero-terminated, cut to size-1 characters when the
// buffer is small. Returns the number of characters written, without the terminating zero.
DWORD GetModuleFileNameA(HINSTANCE instance, LPSTR buffer, DWORD size);

// The Windows directory, zero-terminated, without a trailing separator unless it is a root. Returns
// its length; when the buffer is too small, nothing is written and the size needed (terminating zero
// included) is returned; 0 on failure. Hosted: the environment variable WINDIR, else $HOME/.windows.
UINT GetWindowsDirectoryA(LPSTR buffer, UINT size);

// Opens an existing file. Mode OF_READ: read only, positioned at the start. HFILE_ERROR on failure.
// Paths take '\' as a separator as well as '/'.
HFILE _lopen(LPCSTR path, int mode);

// Creates a file, or cuts an existing one to zero length, open for reading and writing at its start.
// Attribute 0: a normal file. HFILE_ERROR on failure.
HFILE _lcreat(LPCSTR path, int attribute);

// Reads up to count bytes from the current position into the buffer and advances the position by as
// many. Returns that number, 0 at the end of the file, HFILE_ERROR (as UINT) on failure. Fewer than
// count bytes are returned only at the end of the file.
UINT _lread(HFILE file, LPVOID buffer, UINT count);

// Writes count bytes at the current position. Returns the number written (count, unless the disk is
// full), or HFILE_ERROR (as UINT) on failure.
UINT _lwrite(HFILE file, LPCSTR buffer, UINT count);

// Moves the position: from the start (FILE_BEGIN), the current position (FILE_CURRENT) or the end
// (FILE_END). Returns
// the new absolute position, or HFILE_ERROR on failure. A position past the end is allowed.
LONG _llseek(HFILE file, LONG offset, int origin);

// Releases the handle. Returns 0, or HFILE_ERROR for a handle that is not open.
HFILE _lclose(HFILE file);

// The Windows version: bit 31 clear for the NT family, set for Windows 9x; the major version in the
// low byte. Hosted: the NT family (6.2, build 9200) unless a test asks for Windows 9x.
DWORD GetVersion();

// The error code of the last failed call of this thread (set by the file and move operations).
DWORD GetLastError();

// Renames a file within its volume. With MOVEFILE_REPLACE_EXISTING an existing newName is replaced
// in one step (hosted: one rename), so that newName names either the old file or the new one,
// never neither; without it, an existing newName is refused (ERROR_ALREADY_EXISTS). A file that
// another process has open is refused (ERROR_SHARING_VIOLATION). A file replaced under its own
// name keeps its short name, as NT's name tunnelling keeps it. FALSE on failure, nothing changed.
// Windows 9x does not implement it: FALSE with ERROR_CALL_NOT_IMPLEMENTED (hosted: when a test
// asks for Windows 9x).
BOOL MoveFileExA(LPCSTR existing, LPCSTR newName, DWORD flags);

// MoveFileExA without flags: never replaces an existing newName. Present on every Windows.
BOOL MoveFileA(LPCSTR existing, LPCSTR newName);

// With OF_DELETE: deletes the file and returns a positive value, or HFILE_ERROR when it cannot.
// The record receives the path. Other styles open the file as _lopen does (OF_CREATE as _lcreat).
HFILE OpenFile(LPCSTR path, LPOFSTRUCT record, UINT style);

// The short (8.3) form of an existing path: every component that is a valid 8.3 name stays as it
// is; a longer one becomes its alias (first six valid characters uppercased, "~N", the extension's
// first three characters uppercased). Returns the length written, without the zero; the size needed
// (zero included) when the buffer is too small; 0 when the file does not exist.
DWORD GetShortPathNameA(LPCSTR longPath, LPSTR buffer, DWORD size);

// Sets key = value in [section] of the profile file; a bare file name lives in the Windows
// directory. Section and key match case-insensitively; the first matching key's line is replaced, a
// missing key is added at the end of its section, a missing section at the end of the file; every
// other line stays byte for byte. A null value deletes the key, a null key the whole section. The
// file is replaced at once (written beside it, then renamed), never left half-written. Returns
// FALSE on failure, with the file as it was; a section, key or value holding a CR or LF is refused
// so (hosted), as it would split its line.
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR fileName);

// Reads a profile file; a bare file name lives in the Windows directory. With section and key: the
// value of the first matching key in the first matching section (names matched trimmed and in any
// case, the value trimmed and one pair of enclosing quotes removed), else the default with its
// trailing blanks removed. A null key lists the section's keys, a null section the file's
// sections, each zero-terminated and the list ended by one more zero. The result is cut to the
// buffer: returns the characters stored without the final zero, size - 1 when a value was cut,
// size - 2 when a list was cut. A missing or unreadable file reads as empty.
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size,
                               LPCSTR fileName);

// GetPrivateProfileStringA and WritePrivateProfileStringA on win.ini, the user profile. On the NT
// family its [Desktop] section is the user's desktop settings (HKCU\Control Panel\Desktop), of
// which SCRNSAVE.EXE names the active screen saver.
DWORD GetProfileStringA(LPCSTR section, LPCSTR key, LPCSTR defaultValue, LPSTR buffer, DWORD size);
BOOL WriteProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value);

// Formats into the buffer: %s, %c, %d, %i, %u, %x, %X, %ld, %lu, %lx, %% with flags '-' and '0' and
// a width. The output, terminating zero included, is cut at 1024 bytes. Returns the number of
// characters stored, without the zero.
int wsprintfA(LPSTR buffer, LPCSTR format, ...);

// Shows a modal box and returns when it is dismissed: IDOK for an MB_OK box, IDYES or IDNO for an
// MB_YESNO box. Hosted: the box is printed on standard output in UTF-8, and one line of standard
// input answers it ("j", "ja", "y", "yes" in any case for IDYES; anything else or the end of input
// for IDNO).
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT style);

// The system cursor named by id (instance NULL), or NULL for an unknown id.
HCURSOR LoadCursorA(HINSTANCE instance, LPCSTR id);

// Shows the cursor and returns the one shown before.
HCURSOR SetCursor(HCURSOR cursor);

// Sets the system parameter named by action to value. Flag SPIF_UPDATEINIFILE also writes it to the
// user profile, SPIF_SENDWININICHANGE announces the change. Returns FALSE on failure; hosted, a
// failed call leaves the live setting and the profile as they were. SPI_GETSCREENSAVEACTIVE puts
// the live flag into the BOOL and SPI_GETSCREENSAVETIMEOUT the live idle time into the UINT that
// data points to. Hosted: the live setting lives in session.ini, the user profile is win.ini, both
// in the Windows directory, section [windows]; a setting missing there reads as 0.
BOOL SystemParametersInfoA(UINT action, UINT value, PVOID data, UINT flags);

// Opens a file for LZCopy: OF_READ for a source (SZDD-compressed or plain), OF_CREATE for a target
// (created, or cut to zero length). Returns a handle, or a negative LZERROR_ value.
INT LZOpenFileA(LPSTR path, LPOFSTRUCT record, WORD style);

// Writes the expanded content of the source into the target; a source without the SZDD magic is
// copied as it is. Returns the number of bytes written, or a negative LZERROR_ value when the
// source is truncated or corrupt, its size differs from its header's, or a read or write fails.
LONG LZCopy(INT source, INT target);

// Releases the handle and closes its file.
void LZClose(INT handle);
