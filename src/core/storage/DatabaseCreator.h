#pragma once

#include <filesystem>
#include <string>

namespace twk {

// The SQL that creates a fresh database: the five tables and the marker row.
const char* SchemaSql();

// Creates a fresh database file at path. Refuses to touch an existing file. On failure
// returns false with a readable reason in error.
bool CreateDatabase(const std::filesystem::path& path, std::wstring& error);

}  // namespace twk
