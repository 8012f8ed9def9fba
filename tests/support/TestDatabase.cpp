#include "support/TestDatabase.h"

#include <stdexcept>

#include "storage/Database.h"
#include "storage/DatabaseCreator.h"
#include "text/Unicode.h"

namespace twk::test {

void CreateTestDatabase(const std::filesystem::path& path) {
    std::wstring error;
    if (!CreateDatabase(path, error)) {
        throw std::runtime_error("cannot create the test database: " + WideToUtf8(error));
    }
}

TestDatabase::TestDatabase(const std::string& fileName) : dir_("twk-db"), path_(dir_ / fileName) {
    CreateTestDatabase(path_);
    if (!OpenDatabase(path_)) {
        throw std::runtime_error("cannot open the test database " + path_.string());
    }
}

TestDatabase::~TestDatabase() {
    CloseConnection();
}

}  // namespace twk::test
