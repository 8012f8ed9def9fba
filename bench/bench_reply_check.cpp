// Check Replies through the submit manager: every topic of a message read on its board,
// several at a time, the counts kept in [topic]. Over local fake phpBB boards, so the
// figures are the program's own cost per topic (pages, threads, bookkeeping, database).
//
// Counters: topics_per_second, pages_per_topic (topic pages fetched per topic: 1 for a
// one-page topic, 2 for a longer one, whatever its length), and peak_rss_kb.
//
// The database lives in /dev/shm when there is one (unless TMPDIR says otherwise).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "platform/ProgramDirectory.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/SubmitManager.h"
#include "support/FakePhpBB.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"

namespace {

using twk::test::FakePhpBB;

long PeakResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmHWM:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    }
    return 0;
}

constexpr int kTopicsPerBoard = 10;

// A profile of topics, kTopicsPerBoard per board and one account per board, each posted
// (its result stored) with replies: every third one runs over three pages.
struct ReplySetup {
    ReplySetup(int topics, int threads, bool fakeBoards) {
        twk::SetProgramDirectory(db.dir().path());
        profile = twk::test::AddProfile(L"Bench");
        twk::SetOptionInt(twk::OptThreadCount, threads, profile);
        message = twk::test::AddMessage(profile, L"Benchmark topic", L"Hello");
        for (int b = 0; b < topics / kTopicsPerBoard; ++b) {
            twk::test::ForumSpec kind;
            if (fakeBoards) {
                boards.push_back(std::make_unique<FakePhpBB>(3));
                kind.main_url = boards.back()->MainUrl();
                kind.forum_key = boards.back()->SectionUrl();
            } else {
                // No engine: the job ends at once, leaving the bookkeeping alone.
                kind.engine = L"NoSuchScript";
                kind.main_url = L"http://board" + std::to_wstring(b) + L".example/index.php";
            }
            kind.login = FakePhpBB::kLogin;
            kind.pass = FakePhpBB::kPassword;
            twk::ForumList forums = twk::test::AddForums(profile, kTopicsPerBoard, kind);
            for (size_t i = 0; i < forums.size(); ++i) {
                std::wstring url = L"http://board.example/viewtopic.php?t=1";
                if (fakeBoards) {
                    twk::test::FakeTopic topic;
                    topic.subject = L"Benchmark topic";
                    topic.body = L"Hello";
                    const int replies = i % 3 == 0 ? 45 : static_cast<int>(i);
                    for (int r = 0; r < replies; ++r) {
                        topic.replies.push_back({L"Reader", 1765000000 + r, L"Thanks"});
                    }
                    url = boards.back()->TopicUrl(boards.back()->PlaceTopic(topic));
                }
                twk::SubmitRecord posted{
                    -1, forums[i].forum_id, message.message_id, 1765000000, twk::kOk, url, L""};
                twk::StoreSubmitResult(posted, false);
            }
        }
    }

    size_t PagesRead() const {
        size_t pages = 0;
        for (const auto& board : boards) {
            pages += board->CountRequests("viewtopic.php");
        }
        return pages;
    }

    twk::test::TestDatabase db;
    int32_t profile = -1;
    twk::MessageRecord message;
    std::vector<std::unique_ptr<FakePhpBB>> boards;
};

void CheckAndReport(benchmark::State& state, ReplySetup& setup, int topics) {
    std::ofstream("/proc/self/clear_refs") << "5";
    for (auto _ : state) {
        state.PauseTiming();
        twk::JobEventQueue queue;
        twk::SubmitManager manager(queue);
        manager.Reload(setup.profile, setup.message);
        state.ResumeTiming();
        manager.StartReplyCheck();
        if (!twk::test::RunToEnd(manager, queue, std::chrono::minutes(5))) {
            state.SkipWithError("a job never reported");
            return;
        }
        state.PauseTiming();
        if (manager.last_summary().ok + manager.last_summary().failed != topics) {
            state.SkipWithError("not every topic was checked");
            return;
        }
        state.ResumeTiming();
    }
    state.counters["topics_per_second"] = benchmark::Counter(
        static_cast<double>(topics), benchmark::Counter::kIsIterationInvariantRate);
    if (!setup.boards.empty()) {
        state.counters["pages_per_topic"] = static_cast<double>(setup.PagesRead()) /
                                            (topics * static_cast<double>(state.iterations()));
    }
    state.counters["peak_rss_kb"] = static_cast<double>(PeakResidentKb());
    state.SetComplexityN(topics);
}

// 1,000 topics over 100 fake boards at 50 threads.
void BM_CheckRepliesOverBoards(benchmark::State& state) {
    const int topics = static_cast<int>(state.range(0));
    ReplySetup setup(topics, twk::SubmitManager::kMaxSlots, true);
    CheckAndReport(state, setup, topics);
}
BENCHMARK(BM_CheckRepliesOverBoards)
    ->ArgName("topics")
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The bookkeeping alone (jobs end at once): must grow in proportion to the topics.
void BM_ReplyCheckBookkeeping(benchmark::State& state) {
    const int topics = static_cast<int>(state.range(0));
    ReplySetup setup(topics, twk::SubmitManager::kMaxSlots, false);
    CheckAndReport(state, setup, topics);
}
BENCHMARK(BM_ReplyCheckBookkeeping)
    ->ArgName("topics")
    ->Arg(1000)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity(benchmark::oN);

}  // namespace

int main(int argc, char** argv) {
    std::error_code error;
    if (std::getenv("TMPDIR") == nullptr && std::filesystem::is_directory("/dev/shm", error)) {
        setenv("TMPDIR", "/dev/shm", 0);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
