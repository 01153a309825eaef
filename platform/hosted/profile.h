// The profile files (.ini) of the stand-in: the edit that WritePrivateProfileStringA makes, and
// the atomic replacement of the file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hosted {

// The content after setting key = value in [section] (a leading UTF-8 byte order mark read past and
// kept): the first matching key's line is replaced,
// the key keeping its spelling in the file, a missing key goes after the last non-blank line of the
// first matching section, a missing section at the end. Names match trimmed and in any case; the
// value's leading blanks are dropped. A null value removes the key, a null key the section. Every
// other line stays byte for byte.
std::string EditProfile(std::string_view content, const char* section, const char* key, const char* value);

// Whether a name or value holds a CR or LF, which no line of a profile can: EditProfile then
// changes nothing and WritePrivateProfileStringA refuses.
bool HoldsLineBreak(const char* text);

// The value of key in [section], or nothing.
std::optional<std::string> ReadProfileValue(std::string_view content, std::string_view section,
                                            std::string_view key);

// The names of the file's sections (section null), or the keys of the first matching section, in
// file order.
std::vector<std::string> ProfileNames(std::string_view content, const char* section);

// The POSIX path of a profile file: a bare name lives in the Windows directory.
std::string ProfilePath(const char* fileName);

// The whole content of a file; nothing when it cannot be read. A missing file reads as empty.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces the file's content at once: a temporary file beside it, flushed, then renamed over it.
bool ReplaceFile(const std::string& path, const std::string& content);

}  // namespace hosted
