// A whole submission run through the submit manager: every forum of a profile, several at
// a time, each result stored in [submit]. Runs over a local fake phpBB board with the
// engines' pauses off, so the figures are the program's own cost per forum (the pages,
// the threads, the bookkeeping and the database), not a network's.
//
// Counters: forums_per_second, and peak_rss_kb, the peak resident memory while the run
// went on (the peak is reset before each benchmark where the system allows it).
//
// The database lives in /dev/shm when there is one (unless TMPDIR says otherwise): on a
// disk every stored result waits for its own fsync, which would hide the program's cost.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/ProgramDirectory.h"
#include "storage/Database.h"
#include "storage/Tables.h"
#include "submit/JobEventQueue.h"
#include "submit/SubmitManager.h"
#include "support/FakePhpBB.h"
#include "support/FakeSleeper.h"
#include "support/SubmitTestData.h"
#include "support/TestDatabase.h"

namespace {

using twk::test::ForumSpec;

// VmHWM of /proc/self/status, in kB; 0 when unknown.
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

// Starts a new peak (Linux 4.0 and later); without it the figure is the process's peak.
void ResetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// One database with one profile of forums, made once per benchmark.
struct RunSetup {
    explicit RunSetup(int forums, int threads, const ForumSpec& kind) {
        twk::SetProgramDirectory(db.dir().path());
        profile = twk::test::AddProfile(L"Bench");
        twk::SetOptionInt(twk::OptThreadCount, threads, profile);
        twk::test::AddForums(profile, forums, kind);
    }

    // Runs every forum of the profile for a new message; false when a report never came.
    bool Run(benchmark::State& state, twk::Sleeper* sleeper) {
        state.PauseTiming();
        twk::MessageRecord message =
            twk::test::AddMessage(profile, L"Benchmark topic", L"[b]Hello[/b] from the bench");
        twk::JobEventQueue queue;
        twk::SubmitManager manager(queue);
        manager.SetSleeper(sleeper);
        manager.Reload(profile, message);
        state.ResumeTiming();
        manager.StartRun();
        bool ended = twk::test::RunToEnd(manager, queue);
        state.PauseTiming();
        ok_results = 0;
        for (const twk::SubmitRecord& result : manager.results()) {
            ok_results += result.result == twk::kOk ? 1 : 0;
        }
        state.ResumeTiming();
        return ended;
    }

    twk::test::TestDatabase db;
    int32_t profile = -1;
    int ok_results = 0;
};

void Report(benchmark::State& state, int forums) {
    state.counters["forums_per_second"] = benchmark::Counter(
        static_cast<double>(forums), benchmark::Counter::kIsIterationInvariantRate);
    state.counters["peak_rss_kb"] = static_cast<double>(PeakResidentKb());
    state.SetComplexityN(forums);
}

constexpr int kSectionsPerBoard = 10;

// Adds forums board by board, ten sections each, one account per board.
void AddBoards(int32_t profile, int forums, const std::function<ForumSpec(int board)>& kindOf) {
    for (int board = 0; board < forums / kSectionsPerBoard; ++board) {
        twk::test::AddForums(profile, kSectionsPerBoard, kindOf(board));
    }
}

// Runs the profile once per iteration and reports; every forum must get its topic when
// topics is set.
void RunAndReport(benchmark::State& state, RunSetup& setup, twk::Sleeper* sleeper, int forums,
                  bool topics) {
    ResetPeakResident();
    for (auto _ : state) {
        if (!setup.Run(state, sleeper)) {
            state.SkipWithError("a job never reported");
            return;
        }
        if (topics && setup.ok_results != forums) {
            state.SkipWithError("not every forum got its topic");
            return;
        }
    }
    Report(state, forums);
}

// 1,000 forums on a fake phpBB 3 board at 1, 10 and 50 threads.
void BM_SubmitRun(benchmark::State& state) {
    const int forums = static_cast<int>(state.range(0));
    const int threads = static_cast<int>(state.range(1));
    twk::test::FakePhpBB board(3);
    ForumSpec kind;
    kind.main_url = board.MainUrl();
    kind.forum_key = board.SectionUrl();
    kind.login = twk::test::FakePhpBB::kLogin;
    kind.pass = twk::test::FakePhpBB::kPassword;
    // Jobs of one board and account take turns: each forum has an account of its own.
    kind.own_accounts = true;
    for (int i = 1; i <= forums; ++i) {
        board.AddAccount(kind.login + L" " + std::to_wstring(i), kind.pass);
    }
    RunSetup setup(forums, threads, kind);
    twk::test::FakeSleeper no_pauses;
    RunAndReport(state, setup, &no_pauses, forums, true);
}
BENCHMARK(BM_SubmitRun)
    ->ArgNames({"forums", "threads"})
    ->Args({1000, 1})
    ->Args({1000, 10})
    ->Args({1000, 50})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// The bookkeeping alone: forums whose script has no engine end at once, so what is left is
// taking the next forum, starting its thread, matching the result to its forum and storing
// it. Must grow in proportion to the forums.
void BM_RunBookkeeping(benchmark::State& state) {
    const int forums = static_cast<int>(state.range(0));
    ForumSpec kind;
    kind.engine = L"NoSuchScript";
    kind.own_accounts = true;
    RunSetup setup(forums, twk::SubmitManager::kMaxSlots, kind);
    RunAndReport(state, setup, nullptr, forums, false);
}
BENCHMARK(BM_RunBookkeeping)
    ->ArgName("forums")
    ->Arg(1000)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity(benchmark::oN);

// Forums on boards of ten sections each, one account per board, board by board in load
// order: each start passes over the sections of the boards already busy, which wait for
// their board. Must still grow in proportion to the forums.
void BM_BoardsBookkeeping(benchmark::State& state) {
    const int forums = static_cast<int>(state.range(0));
    RunSetup setup(0, twk::SubmitManager::kMaxSlots, ForumSpec{});
    AddBoards(setup.profile, forums, [](int board) {
        ForumSpec kind;
        kind.engine = L"NoSuchScript";
        kind.main_url = L"http://board" + std::to_wstring(board) + L".example/index.php";
        return kind;
    });
    RunAndReport(state, setup, nullptr, forums, false);
}
BENCHMARK(BM_BoardsBookkeeping)
    ->ArgName("forums")
    ->Arg(1000)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Complexity(benchmark::oN);

// 1,000 forums over 100 fake phpBB boards of ten sections each, one account per board, at
// 50 threads, pauses through the sleeper: at most one job per board runs at a time.
void BM_SubmitRunOverBoards(benchmark::State& state) {
    const int forums = static_cast<int>(state.range(0));
    std::vector<std::unique_ptr<twk::test::FakePhpBB>> boards;
    RunSetup setup(0, twk::SubmitManager::kMaxSlots, ForumSpec{});
    AddBoards(setup.profile, forums, [&boards](int) {
        boards.push_back(std::make_unique<twk::test::FakePhpBB>(3));
        ForumSpec kind;
        kind.main_url = boards.back()->MainUrl();
        kind.forum_key = boards.back()->SectionUrl();
        kind.login = twk::test::FakePhpBB::kLogin;
        kind.pass = twk::test::FakePhpBB::kPassword;
        return kind;
    });
    twk::test::FakeSleeper no_pauses;
    RunAndReport(state, setup, &no_pauses, forums, true);
}
BENCHMARK(BM_SubmitRunOverBoards)
    ->ArgName("forums")
    ->Arg(1000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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
