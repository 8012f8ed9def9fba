#include "submit/SubmitJob.h"

#include <ctime>
#include <system_error>

#include "submit/SubmitLog.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk {
namespace {

void PostStatus(SubmitJob& job, int textId) {
    if (job.sink != nullptr) {
        job.sink->JobStatus(job.slot, textId);
    }
}

std::wstring JoinLines(const std::vector<std::wstring>& lines) {
    std::wstring text;
    for (const std::wstring& line : lines) {
        text += line + L"\n";
    }
    return text;
}

std::vector<std::wstring> SplitLines(const std::wstring& text) {
    std::vector<std::wstring> lines;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        if (end > start) {
            lines.push_back(text.substr(start, end - start));
        }
        start = end + 1;
    }
    return lines;
}

// The engine's send gate: the post goes out only once the owner has recorded that it does,
// so that a run that dies from here on leaves the record behind. The worker never touches
// the database itself; it waits for the owner's answer, and a stop ends the wait with
// nothing sent.
bool AskToSend(SubmitJob& job, ForumEngine& engine) {
    // A job without an owner has no database to record in (tests, silent runs).
    if (job.sink == nullptr) {
        return true;
    }
    job.sending = SendingRecord{job.forum_copy.forum_id,
                                job.message_copy.message_id,
                                static_cast<int64_t>(std::time(nullptr)),
                                job.forum_copy.login,
                                job.topic_subject,
                                JoinLines(engine.TopicsListedBeforeSending())};
    {
        std::lock_guard<std::mutex> guard(job.lock);
        if (job.stop_requested) {
            return false;
        }
        job.send_answer = SubmitJob::SendAnswer::kAsked;
    }
    job.sink->JobSending(job.slot);
    std::unique_lock<std::mutex> guard(job.lock);
    job.send_answered.wait(guard, [&job] {
        return job.stop_requested || job.send_answer != SubmitJob::SendAnswer::kAsked;
    });
    if (job.stop_requested) {
        return false;
    }
    if (job.send_answer != SubmitJob::SendAnswer::kGranted) {
        engine.failure_text = LoadText(kIdsSendingNotRecorded);
        return false;
    }
    return true;
}

}  // namespace

SubmitJob::~SubmitJob() {
    StopJob(*this);
}

void PrepareJob(SubmitJob& job, JobSink* sink, int slot, const ConnectionOptions& connection) {
    job.slot = slot;
    job.sink = sink;
    job.forum_page_title.clear();
    job.topic_url.clear();
    job.failure_text.clear();
    job.log_error = 0;
    job.sections.clear();
    job.replies = ReplyInfo{};
    job.write_log = true;
    job.connection = connection;
    std::lock_guard<std::mutex> guard(job.lock);
    job.stop_requested = false;
    job.send_answer = SubmitJob::SendAnswer::kNone;
}

bool StartJob(SubmitJob& job, JobWork work) {
    job.work = work;
    try {
        job.worker = std::thread(JobThreadMain, std::ref(job));
    } catch (const std::system_error& error) {
        job.failure_text = ThreadNotStartedText(Utf8ToWide(error.what()));
        return false;
    }
    return true;
}

std::wstring ThreadNotStartedText(const std::wstring& reason) {
    std::wstring text = L"The job's thread could not be started";
    if (!reason.empty()) {
        text += L": " + reason;
    }
    return text;
}

void JobThreadMain(SubmitJob& job) {
    ForumEngine* engine = nullptr;
    {
        std::lock_guard<std::mutex> guard(job.lock);
        job.active_engine = CreateEngine(job.forum_copy.engine);
        engine = job.active_engine.get();
        if (engine != nullptr) {
            if (job.sleeper != nullptr) {
                engine->SetSleeper(*job.sleeper);
            }
            if (job.stop_requested) {
                engine->stop_requested = true;
            }
            // The engine reports the waits it makes on its own (a flood limit, a busy forum).
            engine->SetStatusReporter([&job](int textId) { PostStatus(job, textId); });
        }
    }
    ResultCode code = kNotScript;
    if (engine != nullptr) {
        ApplyConnectionOptions(job.connection, engine->web);
        code = job.work(job);
        if (job.write_log) {
            job.log_error =
                WriteSubmitLog(job.forum_copy.forum_id, *engine, job.message_copy.message_id);
        }
        job.failure_text = engine->failure_text;
    }
    if (job.sink != nullptr) {
        job.sink->JobDone(job.slot, code);
    }
    std::lock_guard<std::mutex> guard(job.lock);
    job.active_engine.reset();
}

namespace {

// Sets the forum's address and signs in with its account.
ResultCode SignInToForum(SubmitJob& job, ForumEngine& engine) {
    engine.ReportStep(kIdsSendingLogin);
    engine.SetBaseUrl(job.forum_copy.main_url);
    return engine.SignIn(job.forum_copy.login, job.forum_copy.pass, job.forum_page_title);
}

// What the job sends, and the gate it passes before sending: the owner records the
// sending first.
void PrepareSending(SubmitJob& job, ForumEngine& engine) {
    engine.SetSendGate([&job, &engine] { return AskToSend(job, engine); });
    job.topic_subject = job.message_copy.subject;
    job.topic_body = job.message_copy.msg;
}

}  // namespace

ResultCode RunSubmit(SubmitJob& job) {
    ForumEngine& engine = *job.active_engine;
    ResultCode code = SignInToForum(job, engine);
    if (code != kOk) {
        return code;
    }
    engine.ReportStep(kIdsOpeningForum);
    code = engine.OpenSection(job.forum_copy.forum_key);
    if (code != kOk) {
        return code;
    }
    if (job.interrupted) {
        // The post of a run that ended after sending may be there: never blindly again.
        engine.ReportStep(kIdsLookingForPost);
        const SendingRecord& earlier = *job.interrupted;
        code = engine.FindInterruptedPost(earlier.subject, earlier.login, earlier.stime,
                                          SplitLines(earlier.listed), job.topic_url);
        if (code != kPending) {
            return code;
        }
    }
    engine.ReportStep(kIdsSendingMessage);
    PrepareSending(job, engine);
    return engine.PostTopic(job.topic_subject, job.topic_body, job.topic_url);
}

ResultCode RunScan(SubmitJob& job) {
    ForumEngine& engine = *job.active_engine;
    engine.ReportStep(kIdsOpeningForum);
    engine.SetBaseUrl(job.forum_copy.main_url);
    engine.ReportStep(kIdsSendingLogin);
    ResultCode code =
        engine.SignIn(job.forum_copy.login, job.forum_copy.pass, job.forum_page_title);
    if (code != kOk) {
        return code;
    }
    engine.ReportStep(kIdsReadingForumList);
    return engine.ReadSections(job.sections);
}

ResultCode RunUpdate(SubmitJob& job) {
    ForumEngine& engine = *job.active_engine;
    ResultCode code = SignInToForum(job, engine);
    if (code != kOk) {
        return code;
    }
    engine.ReportStep(kIdsUpdatingTopic);
    PrepareSending(job, engine);
    return engine.EditTopic(job.topic_url, job.topic_subject, job.topic_body);
}

ResultCode RunReplies(SubmitJob& job) {
    ForumEngine& engine = *job.active_engine;
    engine.ReportStep(kIdsReadingReplies);
    engine.SetBaseUrl(job.forum_copy.main_url);
    // Boards that show topics to guests are read without an account.
    ResultCode code = engine.ReadReplies(job.topic_url, job.replies);
    if (code != kSignInNeeded) {
        return code;
    }
    engine.ReportStep(kIdsSendingLogin);
    code = engine.SignIn(job.forum_copy.login, job.forum_copy.pass, job.forum_page_title);
    if (code != kOk) {
        return code;
    }
    engine.ReportStep(kIdsReadingReplies);
    job.replies = ReplyInfo{};
    code = engine.ReadReplies(job.topic_url, job.replies);
    if (code == kSignInNeeded) {
        // Signed in and still kept out: the account may not see that section.
        engine.failure_text = LoadText(kIdsTopicHiddenFromAccount);
        return kNewTopicNotAllowed;
    }
    return code;
}

void AnswerSending(SubmitJob& job, bool granted) {
    std::lock_guard<std::mutex> guard(job.lock);
    job.send_answer = granted ? SubmitJob::SendAnswer::kGranted : SubmitJob::SendAnswer::kRefused;
    job.send_answered.notify_all();
}

void RequestStop(SubmitJob& job) {
    if (!job.worker.joinable()) {
        return;
    }
    std::lock_guard<std::mutex> guard(job.lock);
    job.stop_requested = true;
    // A worker waiting for its sending to be recorded sends nothing now.
    job.send_answered.notify_all();
    if (job.active_engine) {
        job.active_engine->stop_requested = true;
        job.active_engine->web.Abort();
    }
}

void StopJob(SubmitJob& job) {
    RequestStop(job);
    WaitForJob(job);
}

void WaitForJob(SubmitJob& job) {
    if (job.worker.joinable()) {
        job.worker.join();
    }
}

}  // namespace twk
