// One job on its worker thread against a fake phpBB board: the steps it reports, the
// result, the log it leaves, and stopping it.
#include "submit/SubmitJob.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/ProgramDirectory.h"
#include "submit/SubmitLog.h"
#include "support/FakePhpBB.h"
#include "support/FakeSleeper.h"
#include "support/TempDir.h"
#include "text/StringTable.h"

namespace twk {
namespace {

using test::FakePhpBB;

// Collects a job's reports with the thread each came on.
class RecordingSink : public JobSink {
public:
    struct Report {
        bool done;
        int slot;
        int value;
        std::thread::id thread;
    };

    void JobStatus(int slot, int textId) override { Add({false, slot, textId, ThisThread()}); }
    void JobDone(int slot, int code) override { Add({true, slot, code, ThisThread()}); }
    // Answered at once, as an owner that records the sending would, unless answering is
    // null: the worker then waits.
    void JobSending(int) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++sendings_;
        }
        changed_.notify_all();
        if (answering != nullptr) {
            AnswerSending(*answering, true);
        }
    }
    SubmitJob* answering = nullptr;
    bool WaitForSending() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return sendings_ > 0; });
    }

    void Clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        reports_.clear();
    }
    // Waits for the done report; false when none came within a generous limit.
    bool WaitForDone() {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(30),
                                 [this] { return !reports_.empty() && reports_.back().done; });
    }
    std::vector<Report> reports() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return reports_;
    }
    std::vector<int> statuses() const {
        std::vector<int> ids;
        for (const Report& report : reports()) {
            if (!report.done) {
                ids.push_back(report.value);
            }
        }
        return ids;
    }

private:
    static std::thread::id ThisThread() { return std::this_thread::get_id(); }
    void Add(const Report& report) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            reports_.push_back(report);
        }
        changed_.notify_all();
    }

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Report> reports_;
    int sendings_ = 0;
};

std::u16string ReadLog(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return text;
}

class SubmitJobTest : public ::testing::Test {
protected:
    SubmitJobTest() {
        SetProgramDirectory(dir_.path());
        job_.forum_copy.forum_id = 17;
        job_.forum_copy.engine = L"phpBB";
        job_.forum_copy.main_url = board_.MainUrl();
        job_.forum_copy.forum_key = board_.SectionUrl();
        job_.forum_copy.login = FakePhpBB::kLogin;
        job_.forum_copy.pass = FakePhpBB::kPassword;
        job_.message_copy = MessageRecord{5, 1, L"Тема", L"[b]Текст[/b] & more"};
        sink_.answering = &job_;
    }

    // Runs the job to its end; the done report's code, or -1 when none came.
    int Run(JobWork work, JobSink* sink) {
        sink_.Clear();
        PrepareJob(job_, sink, 7, ConnectionOptions{});
        job_.sleeper = &sleeper_;
        if (!StartJob(job_, work)) {
            return -1;
        }
        bool reported = sink == nullptr || sink_.WaitForDone();
        WaitForJob(job_);
        if (!reported) {
            return -1;
        }
        return sink == nullptr ? 0 : sink_.reports().back().value;
    }

    test::TempDir dir_{"twk-job"};
    FakePhpBB board_{3};
    test::FakeSleeper sleeper_;
    RecordingSink sink_;
    SubmitJob job_;  // last: goes first, stopping its worker before the rest
};

TEST_F(SubmitJobTest, SubmissionReportsEachStepFromItsWorkerAndLeavesTheLog) {
    ASSERT_EQ(Run(RunSubmit, &sink_), kOk);

    EXPECT_EQ(sink_.statuses(),
              (std::vector<int>{kIdsSendingLogin, kIdsOpeningForum, kIdsSendingMessage}));
    std::vector<RecordingSink::Report> reports = sink_.reports();
    ASSERT_EQ(reports.size(), 4u);
    for (const RecordingSink::Report& report : reports) {
        EXPECT_EQ(report.slot, 7);
        EXPECT_NE(report.thread, std::this_thread::get_id());
    }
    EXPECT_EQ(job_.topic_url, board_.TopicUrl(1));
    EXPECT_EQ(job_.failure_text, L"");
    std::vector<test::FakeTopic> topics = board_.Topics();
    ASSERT_EQ(topics.size(), 1u);
    EXPECT_EQ(topics[0].subject, L"Тема");
    EXPECT_EQ(topics[0].body, L"[b]Текст[/b] & more");
    EXPECT_EQ(sleeper_.total_ms(), (2 + 10 + 3) * 1000);  // asked for, not slept
    EXPECT_EQ(job_.active_engine, nullptr);

    std::u16string log = ReadLog(dir_ / "log" / "log_17_5.html");
    std::u16string head = u"\uFEFF<body>\r\n";
    ASSERT_EQ(log.compare(0, head.size(), head), 0);
    EXPECT_NE(log.find(u"\r\n<hr>\r\n"), std::u16string::npos);
    EXPECT_EQ(LogFilePath(17, 5), dir_ / "log" / "log_17_5.html");
}

TEST_F(SubmitJobTest, ScanReportsItsStepsAndFindsTheSections) {
    job_.message_copy = MessageRecord{};  // a scan posts nothing, as its callers make it
    ASSERT_EQ(Run(RunScan, &sink_), kOk);
    EXPECT_EQ(sink_.statuses(),
              (std::vector<int>{kIdsOpeningForum, kIdsSendingLogin, kIdsReadingForumList}));
    ASSERT_EQ(job_.sections.size(), 3u);
    EXPECT_EQ(job_.sections[0].url, board_.SectionUrl(FakePhpBB::kGeneralForum));
    EXPECT_FALSE(job_.forum_page_title.empty());
    EXPECT_TRUE(board_.Topics().empty());
    // A scan has no message: its log goes under message id -1.
    EXPECT_TRUE(std::filesystem::exists(dir_ / "log" / "log_17_-1.html"));
    EXPECT_FALSE(std::filesystem::exists(dir_ / "log" / "log_17_5.html"));
}

TEST_F(SubmitJobTest, ASignInFailureEndsTheJobWithNoLaterStep) {
    job_.forum_copy.pass = L"wrong";
    EXPECT_EQ(Run(RunSubmit, &sink_), kInvalidLogin);
    EXPECT_EQ(sink_.statuses(), (std::vector<int>{kIdsSendingLogin}));
    EXPECT_TRUE(board_.Topics().empty());
}

TEST_F(SubmitJobTest, AForumWithoutEngineEndsWithNotScript) {
    job_.forum_copy.engine = L"phpbb";  // names match exactly
    EXPECT_EQ(Run(RunSubmit, &sink_), kNotScript);
    EXPECT_TRUE(sink_.statuses().empty());
    EXPECT_EQ(board_.Requests().size(), 0u);
}

TEST_F(SubmitJobTest, AJobWithoutSinkRunsSilently) {
    ASSERT_EQ(Run(RunSubmit, nullptr), 0);
    EXPECT_EQ(board_.Topics().size(), 1u);
    EXPECT_TRUE(sink_.reports().empty());
}

TEST_F(SubmitJobTest, StopJobDuringThePauseEndsWithStoppedAndStillReports) {
    // The 5th one-second sleep is inside the pause before the post. The worker waits there
    // until the test's StopJob has raised the stop flag.
    std::promise<void> paused;
    sleeper_.OnSleep(5, [this, &paused] {
        paused.set_value();
        auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!job_.active_engine->stop_requested && std::chrono::steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    PrepareJob(job_, &sink_, 2, ConnectionOptions{});
    job_.sleeper = &sleeper_;
    ASSERT_TRUE(StartJob(job_, RunSubmit));
    ASSERT_EQ(paused.get_future().wait_for(std::chrono::seconds(30)), std::future_status::ready);

    StopJob(job_);  // returns once the worker has ended

    EXPECT_FALSE(job_.worker.joinable());
    std::vector<RecordingSink::Report> reports = sink_.reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_TRUE(reports.back().done);
    EXPECT_EQ(reports.back().value, kStopped);
    EXPECT_EQ(reports.back().slot, 2);
    EXPECT_EQ(sink_.statuses(),
              (std::vector<int>{kIdsSendingLogin, kIdsOpeningForum, kIdsSendingMessage}));
    EXPECT_TRUE(board_.Topics().empty());
    EXPECT_TRUE(std::filesystem::exists(dir_ / "log" / "log_17_5.html"));

    // Stopping an idle job returns at once; the job runs again afterwards.
    StopJob(job_);
    sleeper_.OnSleep(0, nullptr);
    EXPECT_EQ(Run(RunSubmit, &sink_), kOk);
    EXPECT_EQ(board_.Topics().size(), 1u);
}

TEST_F(SubmitJobTest, AStopWhileTheSendingIsBeingRecordedSendsNothing) {
    sink_.answering = nullptr;  // the owner never gets round to it
    PrepareJob(job_, &sink_, 3, ConnectionOptions{});
    job_.sleeper = &sleeper_;
    ASSERT_TRUE(StartJob(job_, RunSubmit));
    ASSERT_TRUE(sink_.WaitForSending());

    StopJob(job_);

    std::vector<RecordingSink::Report> reports = sink_.reports();
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.back().value, kStopped);
    EXPECT_EQ(board_.CountRequests("POST /posting.php"), 0u);
    EXPECT_TRUE(board_.Topics().empty());
    // What the owner was asked to record.
    EXPECT_EQ(job_.sending.forum_id, 17);
    EXPECT_EQ(job_.sending.message_id, 5);
    EXPECT_EQ(job_.sending.login, FakePhpBB::kLogin);
    EXPECT_EQ(job_.sending.subject, L"Тема");
}

struct FaultCase {
    const char* name;
    std::string what;  // the requests that fail
    int count;
    test::FakeForum::Fault fault;
    ResultCode expected;
    size_t topics;
    size_t forms_sent;
};

TEST_F(SubmitJobTest, PassingFaultsBeforeThePostAreTriedAgainAndThePostIsSentOnce) {
    const FaultCase cases[] = {
        {"503 with Retry-After to the sign-in", "POST /ucp.php", 1, {503, 3}, kOk, 1, 1},
        {"503 to the section", "GET /viewforum.php", 1, {503, -1}, kOk, 1, 1},
        {"a dropped connection on the main page", "GET /index.php", 1, {0, -1}, kOk, 1, 1},
        {"three 503 in a row to the sign-in",
         "POST /ucp.php",
         3,
         {503, -1},
         kConnectionError,
         0,
         0},
        // The lost-answer rule instead: the section is read, the post is not sent again.
        {"502 to the new-topic form", "POST /posting.php", 1, {502, -1}, kCheckResult, 0, 1},
    };
    for (const FaultCase& row : cases) {
        SCOPED_TRACE(row.name);
        FakePhpBB board(3);
        job_.forum_copy.main_url = board.MainUrl();
        job_.forum_copy.forum_key = board.SectionUrl();
        board.FailRequests(row.what, row.count, row.fault);

        EXPECT_EQ(Run(RunSubmit, &sink_), row.expected);
        EXPECT_EQ(board.Topics().size(), row.topics);
        EXPECT_EQ(board.CountRequests("POST /posting.php"), row.forms_sent);
        const std::vector<int> statuses = sink_.statuses();
        EXPECT_EQ(std::count(statuses.begin(), statuses.end(), kIdsForumBusy),
                  row.what == "POST /posting.php" ? 0 : std::min(row.count, 2));
        if (row.expected == kConnectionError) {
            EXPECT_EQ(job_.failure_text, L"503 Service Unavailable");
        }
    }
}

}  // namespace
}  // namespace twk
