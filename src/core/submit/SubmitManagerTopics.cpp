// The submit manager's topic runs: Update Topics and Check Replies. They take the forums
// whose topic the message has, one job per forum in the same slots as a post run, and
// never two jobs of one board and account at once. What they learn goes into [topic];
// the post's [submit] row is never touched.
#include <algorithm>
#include <ctime>

#include "storage/Tables.h"
#include "submit/ResultText.h"
#include "submit/SubmitManager.h"
#include "text/StringTable.h"

namespace twk {
namespace {

int64_t Now() {
    return static_cast<int64_t>(std::time(nullptr));
}

bool HasTopic(const SubmitRecord* result) {
    return result != nullptr && result->result == kOk && !result->thread.empty();
}

}  // namespace

int NewReplies(const TopicRecord& topic) {
    return topic.replies_before >= 0 ? std::max(topic.replies - topic.replies_before, 0) : 0;
}

bool IsOutOfDate(const SubmitRecord* result, const TopicRecord* topic,
                 const MessageRecord& message) {
    if (!HasTopic(result) || topic == nullptr || topic->ttime == 0) {
        return false;
    }
    return topic->subject != message.subject || topic->body != message.msg;
}

const TopicRecord* SubmitManager::FindTopic(int32_t forumId) const {
    auto it = topics_.find(forumId);
    return it == topics_.end() ? nullptr : &it->second;
}

bool SubmitManager::IsOutOfDate(int32_t forumId) const {
    return twk::IsOutOfDate(FindResult(forumId), FindTopic(forumId), message_);
}

void SubmitManager::AdoptPostedTexts() {
    TopicRowList adopted;
    for (const SubmitRecord& result : results_) {
        if (!HasTopic(&result) || result.message_id != message_.message_id) {
            continue;
        }
        TopicRecord& topic = TopicOf(result.forum_id);
        if (topic.ttime != 0) {
            continue;
        }
        // Posted before the program kept what it sent: the topic is taken to show the
        // message as it is now, so that the next change of the message marks it.
        topic.subject = message_.subject;
        topic.body = message_.msg;
        topic.ttime = result.stime != 0 ? result.stime : Now();
        adopted.push_back(topic);
    }
    // One commit for them all: a long list of old results is taken in on first sight.
    if (!adopted.empty()) {
        SaveTopics(adopted);
    }
}

TopicRecord& SubmitManager::TopicOf(int32_t forumId) {
    auto [it, added] = topics_.try_emplace(forumId);
    if (added) {
        it->second.forum_id = forumId;
        it->second.message_id = message_.message_id;
    }
    return it->second;
}

bool SubmitManager::CanUpdate() const {
    if (running_jobs_ > 0 || message_.message_id == -1) {
        return false;
    }
    for (const ForumRecord& forum : forums_) {
        if (IsOutOfDate(forum.forum_id)) {
            return true;
        }
    }
    return false;
}

bool SubmitManager::CanCheckReplies() const {
    if (running_jobs_ > 0 || message_.message_id == -1) {
        return false;
    }
    for (const ForumRecord& forum : forums_) {
        if (HasTopic(FindResult(forum.forum_id))) {
            return true;
        }
    }
    return false;
}

void SubmitManager::StartUpdate() {
    if (CanUpdate()) {
        StartTopicRun(RunKind::kUpdate);
    }
}

void SubmitManager::StartReplyCheck() {
    if (CanCheckReplies()) {
        StartTopicRun(RunKind::kReplies);
    }
}

void SubmitManager::StartTopicRun(RunKind kind) {
    run_kind_ = kind;
    run_message_ = message_;
    last_summary_ = {};
    summary_ready_ = false;
    log_failure_.clear();
    log_failure_forum_ = -1;
    LoadConnectionOptions(run_connection_, profile_id_);
    halt_requested_ = false;
    start_failures_ = 0;
    topic_queue_.clear();
    topic_queue_head_.clear();
    topic_ready_.clear();
    topic_waiting_.clear();
    topic_status_.clear();
    topic_total_ = 0;
    topic_done_ = 0;
    for (size_t i = 0; i < forums_.size(); ++i) {
        const int32_t forum_id = forums_[i].forum_id;
        const bool wanted =
            kind == RunKind::kUpdate ? IsOutOfDate(forum_id) : HasTopic(FindResult(forum_id));
        if (!wanted) {
            continue;
        }
        std::wstring board = BoardAccountKey(forums_[i]);
        std::vector<size_t>& queue = topic_queue_[board];
        if (queue.empty()) {
            topic_queue_head_[board] = 0;
            topic_ready_.insert({i, board});
        } else {
            topic_waiting_.insert(forum_id);
            NotifyForum(forum_id);
        }
        queue.push_back(i);
        ++topic_total_;
    }
    int count = std::min(GetOptionInt(OptThreadCount, profile_id_, 10), kMaxSlots);
    for (int slot = 0; slot < count; ++slot) {
        if (!StartNextTopicJob(slot)) {
            break;
        }
    }
    NotifyState();
}

bool SubmitManager::StartNextTopicJob(int slotIndex) {
    Slot& slot = *slots_[slotIndex];
    while (!halt_requested_ && message_.message_id == run_message_.message_id &&
           start_failures_ < kMaxStartFailures && !topic_ready_.empty()) {
        auto [index, board] = *topic_ready_.begin();
        topic_ready_.erase(topic_ready_.begin());
        ++topic_queue_head_[board];
        const SubmitRecord* result =
            index < forums_.size() ? FindResult(forums_[index].forum_id) : nullptr;
        if (!HasTopic(result)) {
            // Its topic went while it waited (Resubmit): nothing to do there.
            ++topic_done_;
            ReadyNextTopic(board);
            continue;
        }
        const ForumRecord& forum = forums_[index];
        SubmitJob& job = slot.job;
        job.forum_copy = forum;
        job.message_copy = run_message_;
        PrepareJob(job, &sink_, slotIndex, run_connection_);
        job.topic_url = result->thread;
        job.write_log = false;
        job.interrupted.reset();
        job.sleeper = sleeper_;
        slot.kind = run_kind_;
        slot.sent = false;
        slot.displaced.reset();
        slot.board = board;
        slot.busy = true;
        ++running_jobs_;
        MarkBoardBusy(board);
        topic_waiting_.erase(forum.forum_id);
        if (start_job_(job, run_kind_ == RunKind::kUpdate ? RunUpdate : RunReplies)) {
            start_failures_ = 0;
            NotifyForum(forum.forum_id);
            return true;
        }
        --running_jobs_;
        slot.busy = false;
        MarkBoardFree(board);
        ++start_failures_;
        if (job.failure_text.empty()) {
            job.failure_text = ThreadNotStartedText(L"");
        }
        OnTopicJobDone(slot, kUnknownError);
        ReadyNextTopic(board);
    }
    return false;
}

void SubmitManager::ReadyNextTopic(const std::wstring& board) {
    auto queue = topic_queue_.find(board);
    if (queue == topic_queue_.end() || busy_boards_.count(board) != 0) {
        return;
    }
    const size_t head = topic_queue_head_[board];
    if (head < queue->second.size()) {
        topic_ready_.insert({queue->second[head], board});
    }
}

void SubmitManager::OnTopicJobSending(Slot& slot) {
    SubmitJob& job = slot.job;
    if (!slot.sent) {
        // Written before the edit leaves: a run that dies from here on shows that the
        // update may have gone out. The topic stays out of date, and updating it again
        // only puts the same text in once more.
        TopicRecord topic = TopicOf(job.forum_copy.forum_id);
        topic.utime = Now();
        topic.uresult = kCheckResult;
        topic.uerr = LoadText(kIdsUpdateInterrupted);
        if (twk::SaveTopic(topic) == 0) {
            slot.sent = true;
            if (job.message_copy.message_id == message_.message_id) {
                TopicOf(job.forum_copy.forum_id) = topic;
            }
        } else {
            job.failure_text = LoadText(kIdsUpdateNotRecorded);
        }
    }
    AnswerSending(job, slot.sent);
}

void SubmitManager::OnTopicJobDone(Slot& slot, int code) {
    SubmitJob& job = slot.job;
    const int32_t forum_id = job.forum_copy.forum_id;
    topic_status_.erase(forum_id);
    ++topic_done_;
    // A job stopped before anything went out leaves the topic as it was.
    if (code == kStopped && !slot.sent) {
        NotifyForum(forum_id);
        return;
    }
    last_summary_.Count(code);
    if (job.message_copy.message_id != message_.message_id) {
        return;
    }
    TopicRecord& topic = TopicOf(forum_id);
    const int64_t now = Now();
    if (slot.kind == RunKind::kUpdate) {
        topic.utime = now;
        topic.uresult = code;
        topic.uerr = code == kOk ? std::wstring() : job.failure_text;
        if (code == kOk) {
            topic.subject = job.topic_subject;
            topic.body = job.topic_body;
            topic.ttime = now;
        }
    } else {
        topic.rtime = now;
        topic.rresult = code;
        topic.rerr = code == kOk ? std::wstring() : job.failure_text;
        if (code == kOk) {
            topic.replies_before = topic.replies;
            topic.replies = job.replies.replies;
            topic.newest_author = job.replies.newest_author;
            topic.newest_time = job.replies.newest_time;
            topic.newest_url = job.replies.newest_url;
        }
    }
    // A failed write keeps the state in memory: it shows until the lists are loaded again.
    SaveTopic(topic);
    NotifyForum(forum_id);
}

void SubmitManager::AbortTopicJob(Slot& slot) {
    SubmitJob& job = slot.job;
    topic_status_.erase(job.forum_copy.forum_id);
    if (slot.sent) {
        job.failure_text = LoadText(kIdsUpdateInterrupted);
        OnTopicJobDone(slot, kCheckResult);
    } else {
        NotifyForum(job.forum_copy.forum_id);
    }
}

void SubmitManager::FinishRunIfDone() {
    if (running_jobs_ == 0 && !summary_ready_) {
        summary_ready_ = true;
        NotifyWaiting();
        topic_waiting_.clear();
    }
}

bool SubmitManager::IsWaiting(int32_t forumId) const {
    if (running_jobs_ <= 0 || halt_requested_) {
        return false;
    }
    if (run_kind_ != RunKind::kPost) {
        if (topic_waiting_.count(forumId) == 0) {
            return false;
        }
    } else if (HasResult(forumId)) {
        return false;
    }
    const ForumRecord* forum = FindForum(forumId);
    return forum != nullptr && busy_boards_.count(BoardAccountKey(*forum)) != 0;
}

std::wstring SubmitManager::SummaryText() const {
    if (!summary_ready_) {
        return {};
    }
    const wchar_t* what = run_kind_ == RunKind::kPost     ? L"Run finished"
                          : run_kind_ == RunKind::kUpdate ? L"Update finished"
                                                          : L"Reply check finished";
    return FormatText(LoadText(kIdsRunSummary), what, last_summary_.ok, last_summary_.look,
                      last_summary_.failed);
}

std::wstring SubmitManager::RunningTopicText(RunKind kind, int32_t forumId) const {
    if (run_kind_ != kind || running_jobs_ <= 0) {
        return {};
    }
    auto status = topic_status_.find(forumId);
    if (status != topic_status_.end()) {
        return LoadText(status->second);
    }
    return IsWaiting(forumId) ? LoadText(kIdsWaitingForAccount) : std::wstring();
}

std::wstring SubmitManager::RepliesCellText(int32_t forumId) const {
    if (std::wstring running = RunningTopicText(RunKind::kReplies, forumId); !running.empty()) {
        return running;
    }
    if (!HasTopic(FindResult(forumId))) {
        return {};
    }
    const TopicRecord* topic = FindTopic(forumId);
    if (topic == nullptr || topic->rtime == 0) {
        return {};
    }
    if (topic->rresult == kTopicGone) {
        return L"gone";
    }
    if (topic->rresult != kOk) {
        const ForumRecord* forum = FindForum(forumId);
        return ResultText(topic->rresult, topic->rerr, forum ? forum->engine : std::wstring());
    }
    std::wstring text = std::to_wstring(topic->replies);
    const int fresh = NewReplies(*topic);
    if (fresh > 0) {
        text += L" (" + std::to_wstring(fresh) + L" new)";
    }
    return text;
}

std::wstring SubmitManager::TopicStateText(int32_t forumId) const {
    if (std::wstring running = RunningTopicText(RunKind::kUpdate, forumId); !running.empty()) {
        return running;
    }
    if (!HasTopic(FindResult(forumId))) {
        return {};
    }
    const TopicRecord* topic = FindTopic(forumId);
    std::wstring text;
    if (topic != nullptr && topic->utime != 0) {
        if (topic->uresult == kOk) {
            text = L"updated " + FormatSubmitDate(topic->utime);
        } else {
            const ForumRecord* forum = FindForum(forumId);
            text = L"not updated " + FormatSubmitDate(topic->utime) + L": " +
                   ResultText(topic->uresult, topic->uerr, forum ? forum->engine : L"");
        }
    }
    if (IsOutOfDate(forumId)) {
        text = text.empty() ? L"out of date" : L"out of date; " + text;
    }
    return text;
}

}  // namespace twk
