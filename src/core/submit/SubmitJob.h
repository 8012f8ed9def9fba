#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "engines/ForumEngine.h"
#include "storage/Records.h"
#include "submit/JobSink.h"

namespace twk {

class SubmitJob;
using JobWork = ResultCode (*)(SubmitJob& job);

// One unit of work against one forum on a worker thread of its own: a submission
// (RunSubmit) or a section scan (RunScan). The job copies what it needs so that the
// worker never touches the owner's data. Owned by a submit manager slot or the scanning
// dialog; can run many times. Destroying it stops and waits for a running worker.
class SubmitJob {
public:
    SubmitJob() = default;
    ~SubmitJob();
    SubmitJob(const SubmitJob&) = delete;
    SubmitJob& operator=(const SubmitJob&) = delete;

    ForumRecord forum_copy;
    SectionList sections;
    std::wstring forum_page_title;
    std::wstring topic_url;
    MessageRecord message_copy;
    std::thread worker;
    JobSink* sink = nullptr;  // null: nothing is reported
    int slot = 0;
    std::wstring topic_subject;
    std::wstring topic_body;
    // What RunReplies read.
    ReplyInfo replies;
    // Whether the worker writes the forum's log of the message: a post's log is kept for
    // the user to look at, and topic work after it must not replace it.
    bool write_log = true;
    std::unique_ptr<ForumEngine> active_engine;  // guarded by lock
    std::mutex lock;
    JobWork work = nullptr;
    std::wstring failure_text;
    // The error number of a log that could not be written, 0 when it was.
    int log_error = 0;
    ConnectionOptions connection;
    // The engines' pauses sleep through this; null means real sleeps.
    Sleeper* sleeper = nullptr;
    // Set by StopJob; a stop that arrives before the engine exists reaches it when it is
    // created. Guarded by lock.
    bool stop_requested = false;

    // Set by the owner before the start: the forum's earlier sending of this message whose
    // result never came (the run that sent it ended first). The submission then looks for
    // that post before it sends anything.
    std::optional<SendingRecord> interrupted;
    // What the post about to go out is; written by the worker before it asks the owner to
    // record it (JobSink::JobSending), read by the owner when it does.
    SendingRecord sending;
    // The owner's answer to that request. Guarded by lock; send_answered wakes the worker
    // waiting for it, and so does a stop.
    enum class SendAnswer { kNone, kAsked, kGranted, kRefused };
    SendAnswer send_answer = SendAnswer::kNone;
    std::condition_variable send_answered;
};

// Readies a job for a run: slot, sink and connection options; clears the outputs.
// The owner copies the forum (and for a submission the message) into the job first.
void PrepareJob(SubmitJob& job, JobSink* sink, int slot, const ConnectionOptions& connection);

// Starts JobThreadMain on a new thread with the given work. False when the thread cannot
// be started; nothing is then reported, and failure_text says why.
bool StartJob(SubmitJob& job, JobWork work);

// The failure text of a job whose thread could not be started.
std::wstring ThreadNotStartedText(const std::wstring& reason);

// The worker thread: creates the engine, runs the work, writes the log and reports the
// result. A forum whose script names no engine ends with 6.
void JobThreadMain(SubmitJob& job);

// Sign in, open the section, post the topic.
ResultCode RunSubmit(SubmitJob& job);
// Sign in and read the sections.
ResultCode RunScan(SubmitJob& job);
// Sign in and edit the posted topic (topic_url) to carry the message's subject and body.
ResultCode RunUpdate(SubmitJob& job);
// Read the posted topic's replies (into replies), signed in only when the board asks.
ResultCode RunReplies(SubmitJob& job);

// The owner's answer to a job's JobSending: granted when the sending is recorded; a
// refused job sends nothing. Called on the owner's thread.
void AnswerSending(SubmitJob& job, bool granted);

// Asks a running job to stop: its engine's stop flag, an abort of the request in
// progress. Does not wait, so that an owner of many jobs asks them all before waiting
// for any: each may need up to a second to notice (a pause checks its flag once a
// second). Does nothing for an idle job.
void RequestStop(SubmitJob& job);

// RequestStop, then waits for the job's thread. Returns at once for an idle job.
void StopJob(SubmitJob& job);

// Waits for a job's thread after it reported; the job is then idle.
void WaitForJob(SubmitJob& job);

}  // namespace twk
