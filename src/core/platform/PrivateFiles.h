#pragma once

#include <filesystem>
#include <system_error>

namespace twk {

// The database holds forum passwords, and the logs hold pages seen signed in, so the
// files the program makes are its user's alone: folders 0700, files 0600.

// Makes directory (not its parents) readable by its owner only. An existing folder is
// left as it is: the user may have chosen its mode. False only on a real failure.
bool MakePrivateDirectory(const std::filesystem::path& directory, std::error_code& error);

// Sets an existing file to 0600.
bool MakePrivateFile(const std::filesystem::path& file, std::error_code& error);

// True when users other than the owner may read the file (group or others read bit).
bool OthersCanRead(const std::filesystem::path& file);

}  // namespace twk
