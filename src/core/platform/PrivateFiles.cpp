#include "platform/PrivateFiles.h"

#include <sys/stat.h>

#include <cerrno>

namespace twk {

bool MakePrivateDirectory(const std::filesystem::path& directory, std::error_code& error) {
    error.clear();
    if (::mkdir(directory.c_str(), 0700) == 0) {
        return true;
    }
    const int failure = errno;
    if (failure == EEXIST && std::filesystem::is_directory(directory, error)) {
        return true;
    }
    if (!error) {
        error = std::error_code(failure, std::generic_category());
    }
    return false;
}

bool MakePrivateFile(const std::filesystem::path& file, std::error_code& error) {
    std::filesystem::permissions(
        file, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write,
        std::filesystem::perm_options::replace, error);
    return !error;
}

bool OthersCanRead(const std::filesystem::path& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0) {
        return false;
    }
    return (info.st_mode & (S_IRGRP | S_IROTH)) != 0;
}

}  // namespace twk
