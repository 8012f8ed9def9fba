#pragma once

#include <string>
#include <vector>

namespace twk {

// The version of this build, the CMake project's: the one the package, the About box and
// both programs' --version show.
std::string ProgramVersion();

// The libraries that do the work of the core, as they run here (a security update of
// libcurl or SQLite changes them without a rebuild): "libcurl 7.88.1", "SQLite 3.40.1".
std::vector<std::string> LibraryVersions();

}  // namespace twk
