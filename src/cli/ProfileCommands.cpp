// twk profiles, add-profile and set-threads: what the New Profile and Options dialogs do.
#include <charconv>
#include <iostream>

#include "CliCommands.h"
#include "CliSupport.h"
#include "storage/Database.h"
#include "storage/Tables.h"
#include "text/StringTable.h"

namespace twk::cli {
namespace {

const char* const kAddProfileUsage = "Usage: twk add-profile NAME [--db PATH]\n";
const char* const kSetThreadsUsage = "Usage: twk set-threads --profile NAME N [--db PATH]\n";

// The Options dialog's range.
constexpr int kMaxThreads = 50;

}  // namespace

int Profiles(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"db"}, {}, error)) {
        return UsageError("profiles", error, "Usage: twk profiles [--db PATH]\n");
    }
    if (!OpenDatabaseOption(options, "profiles")) {
        return kExitData;
    }
    ProfileList profiles;
    if (ListProfiles(profiles) != 0) {
        std::cerr << "twk profiles: the profiles could not be read\n";
        return 1;
    }
    std::cout << "Id\tName\n";
    for (const ProfileRecord& profile : profiles) {
        std::cout << profile.profile_id << "\t" << Narrow(profile.name) << "\n";
    }
    return 0;
}

int AddProfile(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"db"}, {}, error, 1)) {
        return UsageError("add-profile", error, kAddProfileUsage);
    }
    // Checked as the New Profile dialog checks it: nothing trimmed, case counts.
    std::wstring name = options.arguments().empty() ? L"" : Wide(options.arguments()[0]);
    if (name.empty()) {
        return UsageError("add-profile", Narrow(LoadText(kIdsNoProfileName)), kAddProfileUsage);
    }
    if (!OpenDatabaseOption(options, "add-profile")) {
        return kExitData;
    }
    // Without the full list the name cannot be known to be free.
    ProfileList profiles;
    if (ListProfiles(profiles) != 0) {
        std::cerr << "twk add-profile: the profiles could not be read\n";
        return 1;
    }
    for (const ProfileRecord& profile : profiles) {
        if (profile.name == name) {
            std::cerr << "twk add-profile: "
                      << Narrow(FormatText(LoadText(kIdsProfileExists), name)) << "\n";
            return kExitData;
        }
    }
    if (InsertProfile(ProfileRecord{-1, name}) != 0) {
        std::cerr << "twk add-profile: "
                  << Narrow(FormatText(LoadText(kIdsProfileNotCreated), name)) << "\n";
        return 1;
    }
    std::cout << LastInsertId() << "\n";
    return 0;
}

int SetThreads(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"profile", "db"}, {}, error, 1) || !options.Get("profile") ||
        options.arguments().empty()) {
        return UsageError("set-threads",
                          error.empty() ? "--profile and the thread count are needed" : error,
                          kSetThreadsUsage);
    }
    const std::string& text = options.arguments()[0];
    int threads = 0;
    auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), threads);
    if (status != std::errc() || end != text.data() + text.size() || threads < 1 ||
        threads > kMaxThreads) {
        return UsageError("set-threads",
                          "the thread count is a number from 1 to " + std::to_string(kMaxThreads) +
                              ", not '" + text + "'",
                          kSetThreadsUsage);
    }
    int32_t profile_id = OpenProfileOption(options, "set-threads");
    if (profile_id == -1) {
        return kExitData;
    }
    // An option write reports nothing, so the stored value is read back.
    SetOptionInt(OptThreadCount, threads, profile_id);
    if (GetOptionInt(OptThreadCount, profile_id, 0) != threads) {
        std::cerr << "twk set-threads: the thread count could not be stored\n";
        return 1;
    }
    std::cout << "Threads of profile '" << *options.Get("profile") << "': " << threads << "\n";
    return 0;
}

}  // namespace twk::cli
