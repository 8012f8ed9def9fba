#include "submit/SubmitJob.h"

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
    job.connection = connection;
    std::lock_guard<std::mutex> guard(job.lock);
    job.stop_requested = false;
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
        }
    }
    ResultCode code = kNotScript;
    if (engine != nullptr) {
        ApplyConnectionOptions(job.connection, engine->web);
        code = job.work(job);
        job.log_error =
            WriteSubmitLog(job.forum_copy.forum_id, *engine, job.message_copy.message_id);
        job.failure_text = engine->failure_text;
    }
    if (job.sink != nullptr) {
        job.sink->JobDone(job.slot, code);
    }
    std::lock_guard<std::mutex> guard(job.lock);
    job.active_engine.reset();
}

ResultCode RunSubmit(SubmitJob& job) {
    ForumEngine& engine = *job.active_engine;
    PostStatus(job, kIdsSendingLogin);
    engine.SetBaseUrl(job.forum_copy.main_url);
    ResultCode code =
        engine.SignIn(job.forum_copy.login, job.forum_copy.pass, job.forum_page_title);
    if (code != kOk) {
        return code;
    }
    PostStatus(job, kIdsOpeningForum);
    code = engine.OpenSection(job.forum_copy.forum_key);
    if (code != kOk) {
        return code;
    }
    PostStatus(job, kIdsSendingMessage);
    // The engine reports the steps it takes on its own (a wait for the board's flood limit).
    engine.SetStatusReporter([&job](int textId) { PostStatus(job, textId); });
    job.topic_subject = job.message_copy.subject;
    job.topic_body = job.message_copy.msg;
    return engine.PostTopic(job.topic_subject, job.topic_body, job.topic_url);
}

ResultCode RunScan(SubmitJob& job) {
    ForumEngine& engine = *job.active_engine;
    PostStatus(job, kIdsOpeningForum);
    engine.SetBaseUrl(job.forum_copy.main_url);
    PostStatus(job, kIdsSendingLogin);
    ResultCode code =
        engine.SignIn(job.forum_copy.login, job.forum_copy.pass, job.forum_page_title);
    if (code != kOk) {
        return code;
    }
    PostStatus(job, kIdsReadingForumList);
    return engine.ReadSections(job.sections);
}

void RequestStop(SubmitJob& job) {
    if (!job.worker.joinable()) {
        return;
    }
    std::lock_guard<std::mutex> guard(job.lock);
    job.stop_requested = true;
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
