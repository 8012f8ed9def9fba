#include "support/TempDir.h"

#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

namespace twk::test {

TempDir::TempDir(const std::string& prefix) {
    std::random_device random;
    std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::filesystem::path candidate = base / (prefix + "-" + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            path_ = candidate;
            return;
        }
    }
    throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::string ReadFixture(const std::filesystem::path& relative) {
    std::filesystem::path path = std::filesystem::path(TWK_FIXTURES_DIR) / relative;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("missing fixture " + path.string());
    }
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

}  // namespace twk::test
