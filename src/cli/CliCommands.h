#pragma once

#include <string>
#include <vector>

namespace twk::cli {

// Each command takes its arguments (without the command name) and returns the exit code.
int InitDb(const std::vector<std::string>& args);
int Scan(const std::vector<std::string>& args);
int Submit(const std::vector<std::string>& args);
int Results(const std::vector<std::string>& args);

}  // namespace twk::cli
