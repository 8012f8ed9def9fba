#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engines/Sleeper.h"
#include "platform/DataLocation.h"
#include "storage/Records.h"

namespace twk {
class SubmitJob;
}

namespace twk::cli {

// Exit codes shared by the commands (result codes of a scan are returned as they are).
constexpr int kExitUsage = 64;
// Missing database, unknown profile, message or section, a name already taken, an
// unreadable input file.
constexpr int kExitData = 65;

// "--name value" (or "--name=value") options, "--name" switches and up to maxArguments
// plain arguments. Unknown options are errors. A command that takes plain arguments also
// takes "--" to end its options, so that a name may start with "--".
class Options {
public:
    // False (with error set) on an unknown option, a missing value or a stray argument.
    bool Parse(const std::vector<std::string>& args, const std::set<std::string>& allowed,
               const std::set<std::string>& switches, std::string& error, size_t maxArguments = 0);
    std::optional<std::string> Get(const std::string& name) const;
    bool Has(const std::string& name) const { return values_.count(name) != 0; }
    const std::vector<std::string>& arguments() const { return arguments_; }

private:
    std::map<std::string, std::string> values_;
    std::vector<std::string> arguments_;
};

// Prints "twk COMMAND: error" and the usage line; returns kExitUsage.
int UsageError(const std::string& command, const std::string& error, const std::string& usage);

// "unknown script 'X' (...)" naming every script twk takes, for a --script that is none of
// them.
std::string UnknownScriptError(const std::string& script);

// The database twk opens without --db: twk.db beside twk when it exists, otherwise the
// one in the user's data folder.
DataLocation DefaultDataLocation();

// Opens --db, or the default database (made on first use when it is the user's data
// folder's); prints what is wrong and returns false when it is missing or not a Tallowick
// database, and warns when other users can read it. The submit logs then go into the
// "log" folder beside that database, so that a database and its logs stay together.
bool OpenDatabaseOption(const Options& options, const std::string& command);

// text in single quotes for a POSIX shell, so that a printed command can be pasted.
std::string ShellQuoted(const std::string& text);

// The hidden "--no-pauses" switch of scan and submit: the engines' pauses before their
// forms then take no time. Meant for tests against local fake boards; real boards may
// refuse forms sent that fast, so the switch is left out of the usage text.
constexpr const char* kNoPausesSwitch = "no-pauses";

// A sleeper that returns at once.
class NoPauseSleeper : public Sleeper {
public:
    void Sleep(std::chrono::milliseconds) override {}
};

// The id of the profile with exactly that name; prints the known names and returns -1
// when there is none.
int32_t FindProfile(const std::string& name, const std::string& command);

// OpenDatabaseOption, then FindProfile with --profile: the profile's id, or -1 after
// saying what is wrong.
int32_t OpenProfileOption(const Options& options, const std::string& command);

// The message with that id in the profile; prints what is wrong and returns false when
// the id is not a number or names no message of the profile.
bool FindMessage(const std::string& id, int32_t profileId, MessageRecord& message,
                 const std::string& command);

// Reads a password without echo from the terminal, or a line from standard input when it
// is not a terminal. Never from the command line, where other users could see it.
std::wstring ReadPassword(const std::string& prompt);

// Signs in to job.forum_copy's forum and reads its sections on a worker thread, showing
// each step on standard error. Returns the scan's result code; a failure is explained on
// standard error as "twk COMMAND: " and its result text.
int RunForumScan(SubmitJob& job, const ConnectionOptions& connection, bool noPauses,
                 const std::string& command);

// A forum as twk's progress lines name it: its title (its address before a scan gave it
// one) and, since a board's sections share its title, the section.
std::string ForumLineName(const ForumRecord& forum);

std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& text);

}  // namespace twk::cli
