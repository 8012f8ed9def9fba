#include <iostream>

#include "CliCommands.h"
#include "CliSupport.h"
#include "RunLoop.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/ResultText.h"
#include "submit/SubmitLog.h"
#include "submit/SubmitManager.h"
#include "text/StringTable.h"

namespace twk::cli {
namespace {

// Prints one line per status and per result as the manager records them.
class ProgressPrinter : public SubmitManagerObserver {
public:
    explicit ProgressPrinter(const SubmitManager& manager) : manager_(manager) {}

    void ForumChanged(int32_t forumId) override {
        const ForumRecord* forum = manager_.FindForum(forumId);
        const SubmitRecord* result = manager_.FindResult(forumId);
        if (forum == nullptr || result == nullptr) {
            return;
        }
        const std::string name = ForumLineName(*forum);
        std::string text = Narrow(manager_.ResultCellText(forumId));
        if (result->result == kPending) {
            if (!text.empty()) {
                std::cout << name << ": " << text << std::endl;
            }
            return;
        }
        std::cout << "[" << manager_.ProgressPosition() << "/" << manager_.ProgressRange() << "] "
                  << name << ": " << text;
        if (!result->thread.empty()) {
            std::cout << " " << Narrow(result->thread);
        }
        std::cout << std::endl;
        if (!log_failure_shown_ && manager_.log_failure_forum() == forumId &&
            !manager_.log_failure().empty()) {
            std::cerr << "twk submit: " << Narrow(manager_.log_failure()) << std::endl;
            log_failure_shown_ = true;
        }
    }
    void StateChanged() override {}

private:
    const SubmitManager& manager_;
    bool log_failure_shown_ = false;
};

}  // namespace

int Submit(const std::vector<std::string>& args) {
    Options options;
    std::string error;
    if (!options.Parse(args, {"profile", "message", "db"}, {kNoPausesSwitch}, error) ||
        !options.Get("profile") || !options.Get("message")) {
        std::cerr << "twk submit: "
                  << (error.empty() ? "--profile and --message are needed" : error)
                  << "\nUsage: twk submit --profile NAME --message ID [--db PATH]\n";
        return kExitUsage;
    }
    if (!OpenDatabaseOption(options, "submit")) {
        return kExitData;
    }
    int32_t profile_id = FindProfile(*options.Get("profile"), "submit");
    MessageRecord message;
    if (profile_id == -1 || !FindMessage(*options.Get("message"), profile_id, message, "submit")) {
        return kExitData;
    }

    NoPauseSleeper no_pauses;
    JobEventQueue queue;
    SubmitManager manager(queue);
    ProgressPrinter printer(manager);
    manager.SetObserver(&printer);
    if (options.Has(kNoPausesSwitch)) {
        manager.SetSleeper(&no_pauses);
    }
    manager.Reload(profile_id, message);
    if (manager.forums().empty()) {
        std::cout << "Nothing to do: the profile has no forums.\n";
        return 0;
    }
    if (!manager.CanStart()) {
        std::cout << "Nothing to do: every forum of the profile has a result for this message"
                     " (see 'twk results').\n";
        return 0;
    }
    int threads = GetOptionInt(OptThreadCount, profile_id, 10);
    if (threads <= 0) {
        std::cerr << "twk submit: the profile's thread count is " << threads
                  << "; set it to 1 or more in the Options dialog\n";
        return kExitData;
    }

    const int done_before = manager.ProgressPosition();
    const bool interrupted = RunUntilDone(manager, queue, [&manager] { manager.StartRun(); });

    int ok = 0;
    int failed = 0;
    for (const ForumRecord& forum : manager.forums()) {
        const SubmitRecord* result = manager.FindResult(forum.forum_id);
        if (result == nullptr || result->result == kPending) {
            continue;
        }
        (result->result == kOk ? ok : failed) += 1;
    }
    int left = manager.ProgressRange() - manager.ProgressPosition();
    std::cout << "Done this run: " << manager.ProgressPosition() - done_before << " of "
              << manager.ProgressRange() << " forums. In all " << ok << " OK, " << failed
              << " failed, " << left
              << " without a result. Logs: " << LogFilePath(-1, -1).parent_path().string() << "\n";
    if (interrupted) {
        return 130;
    }
    return failed == 0 && left == 0 ? 0 : 1;
}

}  // namespace twk::cli
