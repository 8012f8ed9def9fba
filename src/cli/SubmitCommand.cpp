#include <atomic>
#include <csignal>
#include <iostream>

#include "CliCommands.h"
#include "CliSupport.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/ResultText.h"
#include "submit/SubmitLog.h"
#include "submit/SubmitManager.h"
#include "text/StringTable.h"

namespace twk::cli {
namespace {

// The signal may be delivered on any thread, workers included; a lock-free atomic is safe
// both in a handler and across threads.
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);
// SIGTERM or SIGHUP: a shutdown, a closed terminal, `timeout`. Nobody is there to press
// Ctrl-C twice, and the system kills what does not end soon.
std::atomic<bool> g_terminate{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) {
    g_interrupts.fetch_add(1);
}

void OnTerminate(int) {
    g_terminate.store(true);
}

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
        // A board's sections share its title, so the section tells the lines apart.
        std::string name = Narrow(forum->title.empty() ? forum->main_url : forum->title);
        if (!forum->forum_title.empty()) {
            name += " / " + Narrow(forum->forum_title);
        }
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

    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    sigaction(SIGINT, &action, &previous);
    struct sigaction terminate = action;
    terminate.sa_handler = OnTerminate;
    struct sigaction previous_term {};
    struct sigaction previous_hup {};
    sigaction(SIGTERM, &terminate, &previous_term);
    sigaction(SIGHUP, &terminate, &previous_hup);

    const int done_before = manager.ProgressPosition();
    manager.StartRun();
    int handled_interrupts = 0;
    bool terminated = false;
    while (manager.running_jobs() > 0) {
        if (g_terminate.load()) {
            // As a second Ctrl-C: what the running forums reached is recorded (a post that
            // may have gone out is looked for by the next run, never sent blindly).
            std::cerr << "Stopping the running forums now\n";
            terminated = true;
            manager.AbortRun();
            break;
        }
        if (g_interrupts.load() != handled_interrupts) {
            handled_interrupts = g_interrupts.load();
            if (handled_interrupts == 1) {
                std::cerr << "Stopping: no new forums; running ones finish (Ctrl-C again to stop "
                             "them now)\n";
                manager.StopRun();
            } else {
                std::cerr << "Stopping the running forums now\n";
                manager.AbortRun();
                break;
            }
        }
        std::optional<JobEvent> event = queue.Wait(std::chrono::milliseconds(200));
        if (!event) {
            continue;
        }
        manager.OnJobEvent(*event);
    }
    sigaction(SIGINT, &previous, nullptr);
    sigaction(SIGTERM, &previous_term, nullptr);
    sigaction(SIGHUP, &previous_hup, nullptr);

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
    if (handled_interrupts > 0 || terminated) {
        return 130;
    }
    return failed == 0 && left == 0 ? 0 : 1;
}

}  // namespace twk::cli
