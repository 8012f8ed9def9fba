#include <iostream>

#include "CliCommands.h"
#include "CliSupport.h"
#include "engines/ScriptNames.h"
#include "storage/Tables.h"
#include "submit/SubmitJob.h"

namespace twk::cli {
namespace {

std::string ScanUsage() {
    return "Usage: twk scan --script " + Narrow(KnownScriptsChoice()) +
           " --url URL --user NAME [--profile NAME] [--db PATH]\n";
}

}  // namespace

int Scan(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"script", "url", "user", "profile", "db"}, {kNoPausesSwitch},
                       error) ||
        !options.Get("script") || !options.Get("url") || !options.Get("user")) {
        return UsageError("scan", error.empty() ? "--script, --url and --user are needed" : error,
                          ScanUsage());
    }
    std::wstring script = Wide(*options.Get("script"));
    if (!IsKnownScript(script)) {
        return UsageError("scan", UnknownScriptError(*options.Get("script")), ScanUsage());
    }

    SubmitJob job;
    job.forum_copy.engine = script;
    job.forum_copy.main_url = Wide(*options.Get("url"));
    job.forum_copy.login = Wide(*options.Get("user"));
    ConnectionOptions connection;
    if (options.Get("profile") || options.Get("db")) {
        if (!OpenDatabaseOption(options, "scan")) {
            return kExitData;
        }
    }
    if (options.Get("profile")) {
        int32_t profile_id = FindProfile(*options.Get("profile"), "scan");
        if (profile_id == -1) {
            return kExitData;
        }
        LoadConnectionOptions(connection, profile_id);
    }
    job.forum_copy.pass = ReadPassword("Password for " + *options.Get("user") + ": ");

    int code = RunForumScan(job, connection, options.Has(kNoPausesSwitch), "scan");
    if (code != kOk) {
        return code;
    }
    std::cout << "Forum: " << Narrow(job.forum_page_title) << "\n";
    if (job.sections.empty()) {
        std::cout << "No sections found.\n";
    }
    for (const SectionRecord& section : job.sections) {
        std::cout << Narrow(section.title) << "\t" << Narrow(section.url) << "\n";
    }
    return 0;
}

}  // namespace twk::cli
