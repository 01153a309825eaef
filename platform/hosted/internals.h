// What the stand-in's operations share among themselves, and nothing outside the stand-in calls:
// paths as POSIX takes them, the Windows directory, the console that boxes and announcements print
// on, code page 1252 as UTF-8.
#pragma once

#include <cstdio>
#include <string>

namespace hosted {

// Where message boxes and announcements are printed: the stream set by SetConsole, else stdout.
std::FILE* ConsoleOut();

// A Windows path as POSIX takes it: '\' becomes '/'.
std::string PosixPath(const char* path);

// The Windows directory as GetWindowsDirectoryA gives it.
std::string WindowsDirectory();

// Code page 1252 text as UTF-8.
std::string Utf8FromCp1252(const std::string& text);

}  // namespace hosted
