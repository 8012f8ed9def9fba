#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "storage/Records.h"
#include "submit/JobEventQueue.h"
#include "submit/JobSink.h"
#include "submit/SubmitJob.h"

namespace twk {

// The board and account a forum posts as: the scheme, host (in lower case), port and path
// of its main address, and its user name. Two forums with the same key never run at once.
std::wstring BoardAccountKey(const ForumRecord& forum);

// Whether a forum's post of a message was interrupted: it went out (sending, its [sending]
// row) and the run ended before the result was stored (no result), or stopped the job
// after sending (a 9 stored with the row kept). The next run looks for the post before it
// sends again; until then the forum shows kIdsInterruptedPost.
bool IsInterrupted(const SubmitRecord* result, const SendingRecord* sending);

// What a run does: posts the message (Start), updates the topics that no longer show it
// (Update Topics), or counts the replies of the posted topics (Check Replies).
enum class RunKind { kPost, kUpdate, kReplies };

// How the last run that ended went, per forum it took.
struct RunSummary {
    int ok = 0;
    // Results that ask the user to look (9: check the result; an interrupted sending).
    int look = 0;
    int failed = 0;

    // Counts a forum's result code: 0 is OK, 9 asks for a look, any other failed.
    void Count(int code);
};

// A topic posted for a message whose subject or body the message no longer has: result 0
// with an address, and its [topic] row holds other text than the message's.
bool IsOutOfDate(const SubmitRecord* result, const TopicRecord* topic,
                 const MessageRecord& message);

// Replies that came since the check before the last one; 0 after a first check.
int NewReplies(const TopicRecord& topic);

// Told about what the submit page shows. Called on the thread that owns the manager.
class SubmitManagerObserver {
public:
    virtual ~SubmitManagerObserver() = default;
    // The result cells (or the status text) of that forum's row changed.
    virtual void ForumChanged(int32_t forumId) = 0;
    // Running state, button states or progress changed.
    virtual void StateChanged() = 0;
};

// Runs a submission: posts the current message to every forum of the current profile
// that has no result for it yet (or whose post was interrupted), several at a time, one
// SubmitJob per slot, and stores each result in [submit]. Before a job's post leaves, it
// records in [sending] that it does (OnJobSending). Holds the forum list and the result
// list that the Submit page shows. Lives on the thread that owns the database (the user
// interface's, twk's main thread): every member runs there, including OnJobDone,
// OnJobStatus and OnJobSending, which the owner calls when its JobSink hands over a report.
class SubmitManager {
public:
    // The most jobs that ever run at once; a profile's thread count is capped at it.
    static constexpr int kMaxSlots = 50;

    explicit SubmitManager(JobSink& sink);
    // Stops every running job and waits for it, recording what each reached (AbortRun).
    ~SubmitManager();
    SubmitManager(const SubmitManager&) = delete;
    SubmitManager& operator=(const SubmitManager&) = delete;

    void SetObserver(SubmitManagerObserver* observer) { observer_ = observer; }
    // The engines' pauses; null means real sleeps. For tests and benchmarks.
    void SetSleeper(Sleeper* sleeper) { sleeper_ = sleeper; }
    // How a job's thread is started (StartJob unless replaced); lets tests meet a thread
    // that cannot be started.
    using JobStarter = std::function<bool(SubmitJob& job, JobWork work)>;
    void SetJobStarter(JobStarter starter) { start_job_ = std::move(starter); }

    // Loads the profile's forums and the message's results. When the profile or the
    // message (its id or its text) differs from the running run's, the run goes on only
    // for the forums it already took: no new job starts, and their results go into these
    // lists only when they show the message those jobs posted.
    void Reload(int32_t profileId, const MessageRecord& message);

    int32_t profile_id() const { return profile_id_; }
    const MessageRecord& message() const { return message_; }
    const ForumList& forums() const { return forums_; }
    const SubmitList& results() const { return results_; }
    const ForumRecord* FindForum(int32_t forumId) const;
    const SubmitRecord* FindResult(int32_t forumId) const;
    // The forum's interrupted sending of the current message (IsInterrupted), or null.
    const SendingRecord* FindInterrupted(int32_t forumId) const;
    // The status text id of a forum being worked on (114, 116, 117), or 0.
    int StatusOf(int32_t forumId) const;
    // What the Result column shows: the status text while running, else ResultText.
    std::wstring ResultCellText(int32_t forumId) const;

    // The forum a slot's job is working on, or -1 when the slot is idle.
    int32_t ForumOfSlot(int slot) const;

    // The first log of this run that could not be written (LogFailureText) and its forum,
    // so that the user hears of it once instead of finding no log later; empty and -1
    // while every log was written.
    const std::wstring& log_failure() const { return log_failure_; }
    int32_t log_failure_forum() const { return log_failure_forum_; }

    int running_jobs() const { return running_jobs_; }
    bool halt_requested() const { return halt_requested_; }
    const ConnectionOptions& run_connection() const { return run_connection_; }

    void StartRun();
    // Update Topics: edits every out-of-date topic of the message (IsOutOfDate) to carry the
    // message's subject and body, one job per forum as in a run.
    void StartUpdate();
    // Check Replies: reads the replies of every topic of the message (result 0 with an
    // address).
    void StartReplyCheck();
    // What the running run does, or the last one did.
    RunKind run_kind() const { return run_kind_; }
    // Counts of the last run that ended; set when its last job reported.
    const RunSummary& last_summary() const { return last_summary_; }
    // The summary as the page says it, e.g. "Run finished: 12 OK, 1 to look at, 2 failed.";
    // empty until a run of this message ended.
    std::wstring SummaryText() const;

    // The forum's [topic] row of the current message, or null.
    const TopicRecord* FindTopic(int32_t forumId) const;
    bool IsOutOfDate(int32_t forumId) const;
    // A forum that waits in the running run because another job of its board and account
    // runs (kIdsWaitingForAccount shows in its row).
    bool IsWaiting(int32_t forumId) const;
    // The Replies column: "3", "3 (2 new)", "gone", the check's status while it runs, the
    // board's words when the last check failed; empty before the first check.
    std::wstring RepliesCellText(int32_t forumId) const;
    // The line a topic's result cell adds: when it was last updated, why not, or that it is
    // out of date; empty when there is nothing to say.
    std::wstring TopicStateText(int32_t forumId) const;

    // Keeps new jobs from starting; running jobs finish with their own results.
    void StopRun();
    // Stops the running jobs at once and waits for them. A job stopped before its post
    // went out leaves its forum without a result, so that a later run takes it again; one
    // stopped after that gets 9 (kIdsStoppedAfterSending) and its [sending] row stays, so
    // that the later run looks for the post first. Their reports still on the way to
    // OnJobDone, OnJobStatus and OnJobSending are ignored.
    void AbortRun();
    bool StartNextJob(int slot);
    void OnJobDone(int slot, int code);
    void OnJobStatus(int slot, int textId);
    // A job's post is about to go out: records its sending and answers the job (granted
    // only once the row is committed).
    void OnJobSending(int slot);
    // Hands a queued report to the member above that takes it.
    void OnJobEvent(const JobEvent& event);

    // Button states and the progress bar.
    bool CanAddForum() const;
    bool CanStart() const;
    // As Start: nothing running, and a topic to work on.
    bool CanUpdate() const;
    bool CanCheckReplies() const;
    bool CanStop() const;
    int ProgressRange() const;
    int ProgressPosition() const;

    // Forum list edits. SaveForum adds a forum with id -1 (and gives it its id) or replaces
    // a listed one; returns the storage result.
    int SaveForum(ForumRecord& forum);
    // Removes the forums from the lists and the database; results stay in [submit]. A job
    // still working on one of them gets no result, and the run starts no new job.
    void DeleteForums(const std::vector<int32_t>& forumIds);
    // Deletes the finished results of those forums so that the next Start submits them
    // again; a forum being worked on is left alone.
    void Resubmit(const std::vector<int32_t>& forumIds);
    // Sets the user name and/or password of those forums and writes the whole forum list
    // back in one transaction; returns the storage result.
    int ChangeCredentials(const std::vector<int32_t>& forumIds,
                          const std::optional<std::wstring>& login,
                          const std::optional<std::wstring>& password);

private:
    struct Slot {
        SubmitJob job;
        bool busy = false;
        // The board and account the job works on (BoardAccountKey).
        std::wstring board;
        // Done reports of stopped jobs still on their way (AbortRun). A slot's reports
        // arrive in order, so those come before any report of a later job in the slot.
        int stale_reports = 0;
        // The job's sending is recorded: its post may have gone out.
        bool sent = false;
        // The stored 9 of an interrupted sending that the job's result is to replace.
        std::optional<SubmitRecord> displaced;
        RunKind kind = RunKind::kPost;
    };

    // Topic runs (SubmitManagerTopics.cpp).
    void StartTopicRun(RunKind kind);
    bool StartNextTopicJob(int slot);
    // The board's job ended: its next forum of the topic run may start.
    void ReadyNextTopic(const std::wstring& board);
    // The status or waiting text of a forum in the running topic run of that kind; empty
    // when there is none.
    std::wstring RunningTopicText(RunKind kind, int32_t forumId) const;
    void OnTopicJobDone(Slot& slot, int code);
    void OnTopicJobSending(Slot& slot);
    // A stopped topic job: an update that went out is recorded as interrupted.
    void AbortTopicJob(Slot& slot);
    // Gives the message's topics without a known text (posted before it was kept) the
    // message's text as it is now.
    void AdoptPostedTexts();
    TopicRecord& TopicOf(int32_t forumId);
    void FinishRunIfDone();

    // The first forum in load order without a result, or forums_.size().
    size_t FirstForumWithoutResult() const;
    // The next forum to start: the first in load order without a result whose board and
    // account has no job running; forums_.size() when there is none. Forums passed over
    // because their board is busy wait in deferred_ until it is free.
    size_t TakeNextForum();
    void MarkBoardBusy(const std::wstring& board);
    void MarkBoardFree(const std::wstring& board);
    bool HasDeferredForums() const;
    void ClearDeferred();
    void RebuildIndexes();
    // True when the forum has a result or a job: a forum whose post was interrupted has
    // neither, whatever 9 it shows.
    bool HasResult(int32_t forumId) const;
    // settled: the result says what became of the job's sending (its [sending] row goes).
    void RecordResult(Slot& slot, int code, bool settled);
    void NotifyForum(int32_t forumId);
    void NotifyWaiting();
    void NotifyState();

    JobSink& sink_;
    SubmitManagerObserver* observer_ = nullptr;
    Sleeper* sleeper_ = nullptr;
    std::vector<std::unique_ptr<Slot>> slots_;
    JobStarter start_job_ = StartJob;
    // Starts that failed in a row. A thread that cannot start fails its own forum only,
    // but when starts keep failing the system has no threads to give: the run then starts
    // nothing more (the running jobs finish, the forums left keep no result for the next
    // Start) rather than failing every forum in a blink.
    static constexpr int kMaxStartFailures = 2;
    int start_failures_ = 0;
    int running_jobs_ = 0;
    bool halt_requested_ = false;
    ConnectionOptions run_connection_;
    // The message the run was started with; every job of the run posts this one.
    MessageRecord run_message_;
    std::wstring log_failure_;
    int32_t log_failure_forum_ = -1;

    int32_t profile_id_ = -1;
    MessageRecord message_;
    ForumList forums_;
    SubmitList results_;
    // The current message's [sending] rows, by forum id.
    std::unordered_map<int32_t, SendingRecord> sendings_;
    // forum id -> index in forums_ / results_, so that matching is not quadratic.
    std::unordered_map<int32_t, size_t> forum_index_;
    std::unordered_map<int32_t, size_t> result_index_;
    std::unordered_map<int32_t, int> status_;
    // Listed forums with a finished result, and placeholders of running jobs in results_.
    int done_count_ = 0;
    int pending_count_ = 0;
    // Forums before this index all have a result or wait in deferred_; the queue only
    // moves forward until a result is removed.
    mutable size_t next_candidate_ = 0;
    // One board and account never runs two jobs at once (boards limit how soon one account
    // may post again): the boards with a job, and per board the forums passed over for it,
    // in load order. ready_ orders the free boards with waiting forums by their first one.
    std::unordered_map<std::wstring, int> busy_boards_;
    std::unordered_map<std::wstring, std::vector<size_t>> deferred_;
    std::unordered_map<std::wstring, size_t> deferred_head_;
    std::set<std::pair<size_t, std::wstring>> ready_;

    RunKind run_kind_ = RunKind::kPost;
    RunSummary last_summary_;
    bool summary_ready_ = false;
    // The current message's [topic] rows, by forum id.
    std::unordered_map<int32_t, TopicRecord> topics_;
    // A topic run's forums (indexes into forums_) per board and account, in load order;
    // topic_ready_ orders the free boards by their next forum, as ready_ does.
    std::unordered_map<std::wstring, std::vector<size_t>> topic_queue_;
    std::unordered_map<std::wstring, size_t> topic_queue_head_;
    std::set<std::pair<size_t, std::wstring>> topic_ready_;
    std::unordered_set<int32_t> topic_waiting_;
    std::unordered_map<int32_t, int> topic_status_;
    int topic_total_ = 0;
    int topic_done_ = 0;
};

}  // namespace twk
