#pragma once

#include <string>
#include <vector>

namespace twk::cli {

// Each command takes its arguments (without the command name) and returns the exit code.
int InitDb(const std::vector<std::string>& args);
int Profiles(const std::vector<std::string>& args);
int AddProfile(const std::vector<std::string>& args);
int SetThreads(const std::vector<std::string>& args);
int Messages(const std::vector<std::string>& args);
int AddMessage(const std::vector<std::string>& args);
int EditMessage(const std::vector<std::string>& args);
int Forums(const std::vector<std::string>& args);
int AddForum(const std::vector<std::string>& args);
int Scan(const std::vector<std::string>& args);
int Submit(const std::vector<std::string>& args);
int Results(const std::vector<std::string>& args);
int Update(const std::vector<std::string>& args);
int Replies(const std::vector<std::string>& args);

}  // namespace twk::cli
