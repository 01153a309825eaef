// 8.3 names as the stand-in's GetShortPathNameA makes them.
#pragma once

#include <string>

namespace hosted {

// A name that needs no alias: 1 to 8 valid characters, optionally a dot and 1 to 3 more.
bool IsShortName(const std::string& name);

// The uppercased, cleaned base of a long name's alias (blanks and inner dots dropped, invalid
// characters as '_'), and its extension (first three characters, uppercased).
std::string AliasStem(const std::string& name, std::string* extension);

// The short name of `name` inside `directory` (POSIX path): the name itself when it is short, else
// its alias, counting "~N" up past the aliases that the directory's other names take.
std::string ShortName(const std::string& directory, const std::string& name);

}  // namespace hosted
