#include <chrono>
#include <iostream>

#include "CliCommands.h"
#include "CliSupport.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/ResultText.h"
#include "submit/SubmitJob.h"
#include "text/StringTable.h"

namespace twk::cli {
namespace {

const char* const kScanUsage =
    "Usage: twk scan --script IPBoard|phpBB|vBulletin --url URL --user NAME"
    " [--profile NAME] [--db PATH]\n";

}  // namespace

int Scan(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"script", "url", "user", "profile", "db"}, {kNoPausesSwitch},
                       error) ||
        !options.Get("script") || !options.Get("url") || !options.Get("user")) {
        std::cerr << "twk scan: "
                  << (error.empty() ? "--script, --url and --user are needed" : error) << "\n"
                  << kScanUsage;
        return kExitUsage;
    }
    std::wstring script = Wide(*options.Get("script"));
    if (!CreateEngine(script)) {
        std::cerr << "twk scan: unknown script '" << *options.Get("script")
                  << "' (IPBoard, phpBB or vBulletin, in that spelling)\n"
                  << kScanUsage;
        return kExitUsage;
    }

    // Declared before the job, which may still be running when they would go away.
    NoPauseSleeper no_pauses;
    JobEventQueue queue;
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

    PrepareJob(job, &queue, 0, connection);
    if (options.Has(kNoPausesSwitch)) {
        job.sleeper = &no_pauses;
    }
    if (!StartJob(job, RunScan)) {
        std::cerr << "twk scan: cannot start a worker thread\n";
        return kUnknownError;
    }
    int code = kUnknownError;
    for (;;) {
        std::optional<JobEvent> event = queue.Wait(std::chrono::seconds(1));
        if (!event) {
            continue;
        }
        if (event->kind == JobEvent::kStatus) {
            std::cerr << Narrow(LoadText(event->value)) << "\n";
            continue;
        }
        code = event->value;
        break;
    }
    WaitForJob(job);
    if (code != kOk) {
        std::cerr << "twk scan: "
                  << Narrow(ResultText(code, job.failure_text, job.forum_copy.engine)) << "\n";
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
