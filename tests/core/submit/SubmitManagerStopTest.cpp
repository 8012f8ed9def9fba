// Stopping a whole run at once: many jobs against a fake phpBB board, stopped in the
// middle of their pauses, whose one-second steps are what makes one stop after another
// slow.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "platform/ProgramDirectory.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/SubmitManager.h"
#include "support/FakePhpBB.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"

namespace twk {
namespace {

using test::FakePhpBB;

// Sleeps for real in one-second steps, like the program's own sleeper. A job's first
// sleep waits until every job has come to its first: then all are in their pauses
// together, far from posting.
class SliceSleeper : public Sleeper {
public:
    explicit SliceSleeper(size_t jobs) : jobs_(jobs) {}

    void Sleep(std::chrono::milliseconds duration) override {
        std::unique_lock<std::mutex> lock(mutex_);
        if (threads_.insert(std::this_thread::get_id()).second) {
            changed_.notify_all();
            changed_.wait_for(lock, std::chrono::seconds(60),
                              [this] { return threads_.size() >= jobs_; });
            return;
        }
        lock.unlock();
        std::this_thread::sleep_for(std::min(duration, std::chrono::milliseconds(1000)));
    }

    bool WaitUntilEveryJobSlept() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(60),
                                 [this] { return threads_.size() >= jobs_; });
    }

private:
    const size_t jobs_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::set<std::thread::id> threads_;
};

TEST(SubmitManagerStop, AbortStopsFiftyPausingJobsTogether) {
    constexpr int kJobs = SubmitManager::kMaxSlots;
    test::TestDatabase db;
    SetProgramDirectory(db.dir().path());
    FakePhpBB::Options options;
    options.visitors_at_once = kJobs + 4;
    FakePhpBB board(3, kCodePageUtf8, options);
    int32_t profile = test::AddProfile(L"P");
    MessageRecord message = test::AddMessage(profile, L"Subject", L"Body");
    SetOptionInt(OptThreadCount, kJobs, profile);
    test::ForumSpec kind;
    kind.main_url = board.MainUrl();
    kind.forum_key = board.SectionUrl();
    kind.login = FakePhpBB::kLogin;
    kind.pass = FakePhpBB::kPassword;
    // One account per forum: jobs of one board and account take turns.
    kind.own_accounts = true;
    for (int i = 1; i <= kJobs; ++i) {
        board.AddAccount(kind.login + L" " + std::to_wstring(i), kind.pass);
    }
    test::AddForums(profile, kJobs, kind);

    SliceSleeper sleeper(kJobs);
    JobEventQueue queue;
    SubmitManager manager(queue);
    manager.SetSleeper(&sleeper);
    manager.Reload(profile, message);
    manager.StartRun();
    ASSERT_EQ(manager.running_jobs(), kJobs);
    ASSERT_TRUE(sleeper.WaitUntilEveryJobSlept());

    auto start = std::chrono::steady_clock::now();
    manager.AbortRun();
    auto elapsed = std::chrono::steady_clock::now() - start;

    // Asked one after another, each would add up to a second: most of a minute, or
    // until the pauses ran out and the topics went out.
    EXPECT_LT(elapsed, std::chrono::seconds(3));
    EXPECT_EQ(manager.running_jobs(), 0);
    EXPECT_TRUE(board.Topics().empty());
    EXPECT_TRUE(test::StoredResults(message.message_id).empty());
}

}  // namespace
}  // namespace twk
