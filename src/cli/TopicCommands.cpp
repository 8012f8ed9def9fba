// twk update and twk replies: the work on the topics a message was posted as.
#include <iostream>
#include <map>

#include "CliCommands.h"
#include "CliSupport.h"
#include "RunLoop.h"
#include "storage/Tables.h"
#include "submit/ResultText.h"
#include "submit/SubmitManager.h"

namespace twk::cli {
namespace {

// Prints a forum's line whenever what its row says about the topic changes: the steps,
// then how it ended.
class TopicProgress : public SubmitManagerObserver {
public:
    explicit TopicProgress(const SubmitManager& manager) : manager_(manager) {}

    void ForumChanged(int32_t forumId) override {
        const ForumRecord* forum = manager_.FindForum(forumId);
        if (forum == nullptr) {
            return;
        }
        std::wstring text = manager_.run_kind() == RunKind::kReplies
                                ? manager_.RepliesCellText(forumId)
                                : manager_.TopicStateText(forumId);
        std::wstring& shown = shown_[forumId];
        if (text.empty() || text == shown) {
            return;
        }
        shown = text;
        std::cout << ForumLineName(*forum) << ": " << Narrow(text) << std::endl;
    }
    void StateChanged() override {}

private:
    const SubmitManager& manager_;
    std::map<int32_t, std::wstring> shown_;
};

struct TopicCommand {
    int32_t profile_id = -1;
    MessageRecord message;
    bool no_pauses = false;
};

// Parses --profile, --message and --db and opens the database; an exit code when that
// failed.
int OpenTopicCommand(const std::vector<std::string>& args, const std::string& command,
                     TopicCommand& parsed) {
    Options options;
    std::string error;
    const std::string usage = "twk " + command + " --profile NAME --message ID [--db PATH]";
    if (!options.Parse(args, {"profile", "message", "db"}, {kNoPausesSwitch}, error) ||
        !options.Get("profile") || !options.Get("message")) {
        return UsageError(command, error.empty() ? "--profile and --message are needed" : error,
                          usage);
    }
    if (!OpenDatabaseOption(options, command)) {
        return kExitData;
    }
    parsed.profile_id = FindProfile(*options.Get("profile"), command);
    if (parsed.profile_id == -1 ||
        !FindMessage(*options.Get("message"), parsed.profile_id, parsed.message, command)) {
        return kExitData;
    }
    int threads = GetOptionInt(OptThreadCount, parsed.profile_id, 10);
    if (threads <= 0) {
        std::cerr << "twk " << command << ": the profile's thread count is " << threads
                  << "; set it to 1 or more in the Options dialog\n";
        return kExitData;
    }
    parsed.no_pauses = options.Has(kNoPausesSwitch);
    return 0;
}

std::string TimeText(int64_t time) {
    return time == 0 ? "-" : Narrow(FormatSubmitDate(time));
}

}  // namespace

int Update(const std::vector<std::string>& args) {
    TopicCommand command;
    if (int failed = OpenTopicCommand(args, "update", command); failed != 0) {
        return failed;
    }
    NoPauseSleeper no_pauses;
    JobEventQueue queue;
    SubmitManager manager(queue);
    TopicProgress progress(manager);
    manager.SetObserver(&progress);
    if (command.no_pauses) {
        manager.SetSleeper(&no_pauses);
    }
    manager.Reload(command.profile_id, command.message);
    if (!manager.CanUpdate()) {
        std::cout << "Nothing to do: every topic of this message shows its current subject and "
                     "text.\n";
        return 0;
    }
    const bool interrupted = RunUntilDone(manager, queue, [&manager] { manager.StartUpdate(); });
    int left = 0;
    for (const ForumRecord& forum : manager.forums()) {
        left += manager.IsOutOfDate(forum.forum_id) ? 1 : 0;
    }
    const RunSummary& summary = manager.last_summary();
    std::cout << "Updated " << summary.ok << " of " << manager.ProgressRange() << " topics; "
              << left << " still out of date.\n";
    if (interrupted) {
        return 130;
    }
    return left == 0 ? 0 : 1;
}

int Replies(const std::vector<std::string>& args) {
    TopicCommand command;
    if (int failed = OpenTopicCommand(args, "replies", command); failed != 0) {
        return failed;
    }
    JobEventQueue queue;
    SubmitManager manager(queue);
    manager.Reload(command.profile_id, command.message);
    if (!manager.CanCheckReplies()) {
        std::cout << "Nothing to do: no forum has a topic for this message (see 'twk "
                     "results').\n";
        return 0;
    }
    // Reading needs no pauses; the switch is taken for symmetry with the other commands.
    std::cerr << "Reading the replies of the message's topics ...\n";
    const bool interrupted =
        RunUntilDone(manager, queue, [&manager] { manager.StartReplyCheck(); });
    std::cout << "Forum\tSection\tReplies\tNew\tNewest by\tNewest at\tTopic URL\n";
    bool unread = false;
    for (const ForumRecord& forum : manager.forums()) {
        const SubmitRecord* result = manager.FindResult(forum.forum_id);
        if (result == nullptr || result->result != kOk || result->thread.empty()) {
            continue;
        }
        const TopicRecord* topic = manager.FindTopic(forum.forum_id);
        std::cout << Narrow(forum.title.empty() ? forum.main_url : forum.title) << "\t"
                  << Narrow(forum.forum_title) << "\t";
        if (topic == nullptr || topic->rtime == 0 || topic->rresult != kOk) {
            unread = true;
            std::cout << Narrow(manager.RepliesCellText(forum.forum_id)) << "\t-\t-\t-\t";
        } else {
            std::cout << topic->replies << "\t" << NewReplies(*topic) << "\t"
                      << (topic->newest_author.empty() ? "-" : Narrow(topic->newest_author)) << "\t"
                      << TimeText(topic->newest_time) << "\t";
        }
        std::cout << Narrow(result->thread) << "\n";
    }
    if (interrupted) {
        return 130;
    }
    return unread ? 1 : 0;
}

}  // namespace twk::cli
