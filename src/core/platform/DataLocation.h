#pragma once

#include <filesystem>
#include <string>

namespace twk {

// Where twk.db lives, and with it the log folder. A copy run from a folder that holds a
// twk.db is portable and keeps everything there; an installed program (its folder is not
// the user's to write) keeps its data in the user's data folder instead. Both front ends
// use this one rule, so the desktop program and twk always open the same file.
struct DataLocation {
    std::filesystem::path database;
    bool portable = false;
};

// The rule from its inputs: executableDirectory/twk.db when that file exists, otherwise
// xdgDataHome/tallowick/twk.db, with xdgDataHome defaulting to home/.local/share as the
// XDG base directory rules say (an empty or relative value is ignored). Null stands for
// an unset variable.
DataLocation ChooseDataLocation(const std::filesystem::path& executableDirectory,
                                const char* xdgDataHome, const char* home);

// The rule for this process: its environment, and the home folder from the password
// database when HOME is unset.
DataLocation FindDataLocation(const std::filesystem::path& executableDirectory);

// The installed program's first start: makes the data folder (owner only) and a fresh
// database with its marker row (owner only) when none is there yet, since an installed
// user has no other way to get one. A portable location, or a file that is already there
// (whatever it holds), is left alone. False with a reason in error.
bool EnsureUserDatabase(const DataLocation& location, std::wstring& error);

}  // namespace twk
