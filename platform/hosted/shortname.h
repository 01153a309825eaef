// 8.3 names as the stand-in keeps them: an alias is given to a long name when its file is created
// (or first found without one) and kept, in an extended attribute of the file, for the file's life.
#pragma once

#include <string>

namespace hosted {

// A name that needs no alias: 1 to 8 valid characters, optionally a dot and 1 to 3 more.
bool IsShortName(const std::string& name);

// The uppercased, cleaned base of a long name's alias (blanks and inner dots dropped, invalid
// characters as '_'), and its extension (first three characters, uppercased).
std::string AliasStem(const std::string& name, std::string* extension);

// The short name of `name` inside `directory` (POSIX path): the name itself when it is short, else
// the alias its file holds. Files of the directory that hold none yet get theirs first, in name
// order, each the lowest "~N" free there.
std::string ShortName(const std::string& directory, const std::string& name);

// Gives the file at path (POSIX) its alias when it has a long name and none yet: called when the
// stand-in creates a file.
void GiveAlias(const std::string& path);

// rename(2) that keeps the aliases as Windows does: a replaced file's alias passes to the file that
// takes its name (name tunnelling), a file arriving under a new long name gets a fresh alias, one
// under a short name none. Without replace an existing `to` is refused. False, with errno, when
// the rename fails.
bool RenameKeepingAlias(const std::string& from, const std::string& to, bool replace);

}  // namespace hosted
