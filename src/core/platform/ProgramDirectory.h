#pragma once

#include <filesystem>
#include <string>

namespace twk {

// The directory of the running executable, where twk.db and the log folder live.
// Found from the executable itself on first use, so it does not depend on the working
// directory; a front end may set it once at start-up instead (the GUI takes Qt's answer).
const std::filesystem::path& ProgramDirectory();
void SetProgramDirectory(const std::filesystem::path& directory);

// ProgramDirectory() / "twk.db".
std::filesystem::path GetDatabasePath();

}  // namespace twk
