#include "platform/ProgramDirectory.h"

#include <mutex>
#include <system_error>

namespace twk {
namespace {

std::filesystem::path& Storage() {
    static std::filesystem::path directory;
    return directory;
}

std::once_flag g_found;

}  // namespace

std::filesystem::path ExecutableDirectory() {
    std::error_code error;
    std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error || exe.empty()) {
        return std::filesystem::current_path(error);
    }
    return exe.parent_path();
}

const std::filesystem::path& ProgramDirectory() {
    std::call_once(g_found, [] {
        if (Storage().empty()) {
            Storage() = ExecutableDirectory();
        }
    });
    return Storage();
}

void SetProgramDirectory(const std::filesystem::path& directory) {
    std::call_once(g_found, [] {});
    Storage() = directory;
}

std::filesystem::path GetDatabasePath() {
    return ProgramDirectory() / "twk.db";
}

}  // namespace twk
