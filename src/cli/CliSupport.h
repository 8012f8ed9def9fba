#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "storage/Records.h"

namespace twk::cli {

// Exit codes shared by the commands (result codes of a scan are returned as they are).
constexpr int kExitUsage = 64;
constexpr int kExitData = 65;  // missing database, unknown profile or message

// "--name value" options. Every option takes a value; unknown options are errors.
class Options {
public:
    // False (with error set) on an unknown option, a missing value or a stray argument.
    bool Parse(const std::vector<std::string>& args, const std::set<std::string>& allowed,
               std::string& error);
    std::optional<std::string> Get(const std::string& name) const;

private:
    std::map<std::string, std::string> values_;
};

// Opens --db (default: twk.db beside twk); prints what is wrong and returns false when it
// is missing or not a Tallowick database.
bool OpenDatabaseOption(const Options& options, const std::string& command);

// The id of the profile with exactly that name; prints the known names and returns -1
// when there is none.
int32_t FindProfile(const std::string& name, const std::string& command);

// The message with that id in the profile; prints what is wrong and returns false when
// the id is not a number or names no message of the profile.
bool FindMessage(const std::string& id, int32_t profileId, MessageRecord& message,
                 const std::string& command);

// Reads a password without echo from the terminal, or a line from standard input when it
// is not a terminal. Never from the command line, where other users could see it.
std::wstring ReadPassword(const std::string& prompt);

std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& text);

}  // namespace twk::cli
