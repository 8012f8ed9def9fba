#include <iostream>

#include "CliCommands.h"
#include "CliSupport.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/ResultText.h"
#include "submit/SubmitManager.h"
#include "text/StringTable.h"

namespace twk::cli {

int Results(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"profile", "message", "db"}, {}, error) || !options.Get("profile") ||
        !options.Get("message")) {
        std::cerr << "twk results: "
                  << (error.empty() ? "--profile and --message are needed" : error)
                  << "\nUsage: twk results --profile NAME --message ID [--db PATH]\n";
        return kExitUsage;
    }
    if (!OpenDatabaseOption(options, "results")) {
        return kExitData;
    }
    int32_t profile_id = FindProfile(*options.Get("profile"), "results");
    MessageRecord message;
    if (profile_id == -1 || !FindMessage(*options.Get("message"), profile_id, message, "results")) {
        return kExitData;
    }
    JobEventQueue queue;
    SubmitManager manager(queue);
    manager.Reload(profile_id, message);

    std::cout << "Forum\tSection\tUsername\tSubmit Date\tResult\tTopic URL\n";
    for (const ForumRecord& forum : manager.forums()) {
        // A forum never scanned has no title yet; its address is the next best name.
        std::cout << Narrow(forum.title.empty() ? forum.main_url : forum.title) << "\t"
                  << Narrow(forum.forum_title) << "\t" << Narrow(forum.login);
        const SubmitRecord* result = manager.FindResult(forum.forum_id);
        if (const SendingRecord* sent = manager.FindInterrupted(forum.forum_id)) {
            // Until the next run has looked for it in the section.
            std::cout << "\t" << Narrow(FormatSubmitDate(sent->stime)) << "\t"
                      << Narrow(LoadText(kIdsInterruptedPost)) << "\t";
        } else if (result != nullptr) {
            // The result, and for a topic whether it is out of date or was updated.
            std::cout << "\t" << Narrow(FormatSubmitDate(result->stime)) << "\t"
                      << Narrow(manager.ResultCellText(forum.forum_id)) << "\t"
                      << Narrow(result->thread);
        } else {
            std::cout << "\t\t\t";
        }
        std::cout << "\n";
    }
    return 0;
}

}  // namespace twk::cli
