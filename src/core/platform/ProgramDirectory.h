#pragma once

#include <filesystem>
#include <string>

namespace twk {

// The folder of twk.db and the log folder: beside the executable for a portable copy,
// the user's data folder for an installed one (DataLocation.h has the rule). The front
// ends set it at start-up from that rule; unset, it is the executable's folder.
const std::filesystem::path& ProgramDirectory();
void SetProgramDirectory(const std::filesystem::path& directory);

// ProgramDirectory() / "twk.db".
std::filesystem::path GetDatabasePath();

// The folder of the running executable itself.
std::filesystem::path ExecutableDirectory();

}  // namespace twk
