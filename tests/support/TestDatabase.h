#pragma once

#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace twk::test {

// A fresh database made by CreateDatabase (the schema and the marker row, as `twk init-db`
// makes it) in its own temporary directory, and opened as the process-wide connection.
// Closes the connection and removes the directory when it goes away. Throws when the
// database cannot be made or opened.
class TestDatabase {
public:
    explicit TestDatabase(const std::string& fileName = "twk.db");
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    const std::filesystem::path& path() const { return path_; }
    const TempDir& dir() const { return dir_; }

private:
    TempDir dir_;
    std::filesystem::path path_;
};

// Makes a fresh database at path without opening it; throws on failure.
void CreateTestDatabase(const std::filesystem::path& path);

}  // namespace twk::test
