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

int Scan(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"script", "url", "user", "profile", "db"}, error) ||
        !options.Get("script") || !options.Get("url") || !options.Get("user")) {
        std::cerr << "twk scan: "
                  << (error.empty() ? "--script, --url and --user are needed" : error)
                  << "\nUsage: twk scan --script IPBoard|phpBB|vBulletin --url URL --user NAME"
                     " [--profile NAME] [--db PATH]\n";
        return kExitUsage;
    }

    SubmitJob job;
    job.forum_copy.engine = Wide(*options.Get("script"));
    job.forum_copy.main_url = Wide(*options.Get("url"));
    job.forum_copy.login = Wide(*options.Get("user"));
    ConnectionOptions connection;
    if (options.Get("profile")) {
        if (!OpenDatabaseOption(options, "scan")) {
            return kExitData;
        }
        int32_t profile_id = FindProfile(*options.Get("profile"), "scan");
        if (profile_id == -1) {
            return kExitData;
        }
        LoadConnectionOptions(connection, profile_id);
    }
    job.forum_copy.pass = ReadPassword("Password for " + *options.Get("user") + ": ");

    JobEventQueue queue;
    PrepareJob(job, &queue, 0, connection);
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
