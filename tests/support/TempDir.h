#pragma once

#include <filesystem>
#include <string>

namespace twk::test {

// A fresh directory under the system's temporary directory, removed with its content
// when the object goes away.
class TempDir {
public:
    explicit TempDir(const std::string& prefix = "twk-test");
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const {
        return path_ / name;
    }

private:
    std::filesystem::path path_;
};

// The content of a file under tests/fixtures, read as bytes.
std::string ReadFixture(const std::filesystem::path& relative);

}  // namespace twk::test
