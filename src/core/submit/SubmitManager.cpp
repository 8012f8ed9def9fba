#include "submit/SubmitManager.h"

#include <algorithm>
#include <ctime>
#include <unordered_set>

#include "storage/Database.h"
#include "storage/Tables.h"
#include "submit/ResultText.h"
#include "submit/SubmitLog.h"
#include "text/StringTable.h"

namespace twk {
namespace {

std::wstring LowerAscii(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') {
            c = c - L'A' + L'a';
        }
    }
    return text;
}

bool ForumStillStored(int32_t forumId) {
    ForumList found;
    return ListForums(L"[forum_id]=" + std::to_wstring(forumId), found) == 0 && !found.empty();
}

}  // namespace

std::wstring BoardAccountKey(const ForumRecord& forum) {
    const std::wstring& url = forum.main_url;
    size_t scheme_end = url.find(L"://");
    std::wstring scheme =
        scheme_end == std::wstring::npos ? L"http" : LowerAscii(url.substr(0, scheme_end));
    size_t authority = scheme_end == std::wstring::npos ? 0 : scheme_end + 3;
    size_t path_start = url.find_first_of(L"/?#", authority);
    if (path_start == std::wstring::npos) {
        path_start = url.size();
    }
    std::wstring host = url.substr(authority, path_start - authority);
    size_t at = host.rfind(L'@');
    if (at != std::wstring::npos) {
        host.erase(0, at + 1);
    }
    host = LowerAscii(host);
    std::wstring port = scheme == L"https" ? L"443" : L"80";
    size_t colon = host.rfind(L':');
    if (colon != std::wstring::npos && host.find(L']', colon) == std::wstring::npos) {
        if (colon + 1 < host.size()) {
            port = host.substr(colon + 1);
        }
        host.erase(colon);
    }
    size_t path_end = url.find_first_of(L"?#", path_start);
    std::wstring path = url.substr(
        path_start, (path_end == std::wstring::npos ? url.size() : path_end) - path_start);
    if (path.empty()) {
        path = L"/";
    }
    // NUL cannot occur in any of the parts, so the key is unambiguous.
    return scheme + L'\0' + host + L'\0' + port + L'\0' + path + L'\0' + forum.login;
}

bool IsInterrupted(const SubmitRecord* result, const SendingRecord* sending) {
    return sending != nullptr && (result == nullptr || result->result == kCheckResult);
}

SubmitManager::SubmitManager(JobSink& sink) : sink_(sink) {
    slots_.reserve(kMaxSlots);
    for (int i = 0; i < kMaxSlots; ++i) {
        slots_.push_back(std::make_unique<Slot>());
    }
}

SubmitManager::~SubmitManager() {
    // Whoever watched is going away too.
    observer_ = nullptr;
    // A closing window or a terminated twk: what each job reached is recorded, so that a
    // post that went out is never sent blindly again.
    AbortRun();
}

void SubmitManager::Reload(int32_t profileId, const MessageRecord& message) {
    bool changed = profileId != profile_id_ || message.message_id != run_message_.message_id ||
                   message.subject != run_message_.subject || message.msg != run_message_.msg;
    if (running_jobs_ > 0 && changed) {
        // The run belongs to the lists and the text it started with: it finishes what it
        // took, and the user decides whether the new lists are to be run.
        halt_requested_ = true;
    }
    profile_id_ = profileId;
    message_ = message;
    forums_.LoadForProfile(profileId);
    results_.LoadForMessage(message.message_id);
    topics_.clear();
    TopicRowList topics;
    ListTopics(L"[message_id]=" + std::to_wstring(message.message_id), topics);
    for (TopicRecord& topic : topics) {
        topics_.emplace(topic.forum_id, std::move(topic));
    }
    if (running_jobs_ <= 0 && changed) {
        // A summary belongs to the lists it was counted on.
        summary_ready_ = false;
    }
    sendings_.clear();
    SendingList sendings;
    ListSendings(L"[message_id]=" + std::to_wstring(message.message_id), sendings);
    for (SendingRecord& sending : sendings) {
        sendings_.emplace(sending.forum_id, std::move(sending));
    }
    status_.clear();
    // Jobs still working for the message now shown keep their rows marked as running.
    for (auto& slot : slots_) {
        const SubmitJob& job = slot->job;
        if (slot->busy && slot->kind == RunKind::kPost &&
            job.message_copy.message_id == message_.message_id) {
            SubmitRecord placeholder;
            placeholder.forum_id = job.forum_copy.forum_id;
            placeholder.message_id = message_.message_id;
            auto displaced = std::find_if(results_.begin(), results_.end(), [&](const auto& r) {
                return r.forum_id == placeholder.forum_id;
            });
            if (slot->displaced && displaced != results_.end() &&
                displaced->submit_id == slot->displaced->submit_id) {
                placeholder.submit_id = displaced->submit_id;
                *displaced = placeholder;
            } else {
                results_.push_back(placeholder);
            }
        }
    }
    RebuildIndexes();
    AdoptPostedTexts();
    NotifyState();
}

void SubmitManager::RebuildIndexes() {
    forum_index_.clear();
    result_index_.clear();
    forum_index_.reserve(forums_.size());
    result_index_.reserve(results_.size());
    for (size_t i = 0; i < forums_.size(); ++i) {
        forum_index_.emplace(forums_[i].forum_id, i);
    }
    done_count_ = 0;
    pending_count_ = 0;
    for (size_t i = 0; i < results_.size(); ++i) {
        if (!result_index_.emplace(results_[i].forum_id, i).second) {
            continue;
        }
        if (results_[i].result == kPending) {
            ++pending_count_;
        } else if (forum_index_.count(results_[i].forum_id) != 0 &&
                   HasResult(results_[i].forum_id)) {
            ++done_count_;
        }
    }
    next_candidate_ = 0;
    ClearDeferred();
}

void SubmitManager::ClearDeferred() {
    deferred_.clear();
    deferred_head_.clear();
    ready_.clear();
}

bool SubmitManager::HasDeferredForums() const {
    for (const auto& [board, waiting] : deferred_) {
        auto head = deferred_head_.find(board);
        size_t first = head == deferred_head_.end() ? 0 : head->second;
        for (size_t i = first; i < waiting.size(); ++i) {
            size_t index = waiting[i];
            if (index < forums_.size() && !HasResult(forums_[index].forum_id)) {
                return true;
            }
        }
    }
    return false;
}

void SubmitManager::MarkBoardBusy(const std::wstring& board) {
    ++busy_boards_[board];
    auto head = deferred_head_.find(board);
    if (head != deferred_head_.end() && head->second < deferred_[board].size()) {
        ready_.erase({deferred_[board][head->second], board});
    }
}

void SubmitManager::MarkBoardFree(const std::wstring& board) {
    auto busy = busy_boards_.find(board);
    if (busy == busy_boards_.end()) {
        return;
    }
    if (--busy->second > 0) {
        return;
    }
    busy_boards_.erase(busy);
    auto waiting = deferred_.find(board);
    if (waiting != deferred_.end()) {
        size_t head = deferred_head_[board];
        if (head < waiting->second.size()) {
            ready_.insert({waiting->second[head], board});
        }
    }
}

size_t SubmitManager::TakeNextForum() {
    // The earliest waiting forum of a board that is free again comes before any forum the
    // scan has not reached: waiting forums lie behind the scan.
    while (!ready_.empty()) {
        auto [index, board] = *ready_.begin();
        ready_.erase(ready_.begin());
        std::vector<size_t>& waiting = deferred_[board];
        size_t& head = deferred_head_[board];
        ++head;
        if (head < waiting.size()) {
            ready_.insert({waiting[head], board});
        }
        if (index < forums_.size() && !HasResult(forums_[index].forum_id)) {
            return index;
        }
    }
    for (;;) {
        size_t next = FirstForumWithoutResult();
        if (next >= forums_.size()) {
            return next;
        }
        std::wstring board = BoardAccountKey(forums_[next]);
        if (busy_boards_.count(board) == 0) {
            return next;
        }
        std::vector<size_t>& waiting = deferred_[board];
        if (deferred_head_.count(board) == 0) {
            deferred_head_[board] = 0;
        }
        waiting.push_back(next);
        ++next_candidate_;
        // Its row says why it waits.
        NotifyForum(forums_[next].forum_id);
    }
}

const ForumRecord* SubmitManager::FindForum(int32_t forumId) const {
    auto it = forum_index_.find(forumId);
    return it == forum_index_.end() ? nullptr : &forums_[it->second];
}

const SubmitRecord* SubmitManager::FindResult(int32_t forumId) const {
    auto it = result_index_.find(forumId);
    return it == result_index_.end() ? nullptr : &results_[it->second];
}

const SendingRecord* SubmitManager::FindInterrupted(int32_t forumId) const {
    auto it = sendings_.find(forumId);
    const SendingRecord* sending = it == sendings_.end() ? nullptr : &it->second;
    return IsInterrupted(FindResult(forumId), sending) ? sending : nullptr;
}

bool SubmitManager::HasResult(int32_t forumId) const {
    return FindResult(forumId) != nullptr && FindInterrupted(forumId) == nullptr;
}

int SubmitManager::StatusOf(int32_t forumId) const {
    auto it = status_.find(forumId);
    return it == status_.end() ? 0 : it->second;
}

int32_t SubmitManager::ForumOfSlot(int slot) const {
    if (slot < 0 || slot >= kMaxSlots || !slots_[slot]->busy) {
        return -1;
    }
    return slots_[slot]->job.forum_copy.forum_id;
}

std::wstring SubmitManager::ResultCellText(int32_t forumId) const {
    if (FindInterrupted(forumId) != nullptr) {
        return LoadText(kIdsInterruptedPost);
    }
    const SubmitRecord* result = FindResult(forumId);
    if (result == nullptr) {
        return IsWaiting(forumId) ? LoadText(kIdsWaitingForAccount) : std::wstring();
    }
    if (result->result == kPending) {
        int status = StatusOf(forumId);
        return status != 0 ? LoadText(status) : std::wstring();
    }
    const ForumRecord* forum = FindForum(forumId);
    std::wstring text =
        ResultText(result->result, result->err, forum ? forum->engine : std::wstring());
    std::wstring topic = TopicStateText(forumId);
    return topic.empty() ? text : text + L" (" + topic + L")";
}

size_t SubmitManager::FirstForumWithoutResult() const {
    while (next_candidate_ < forums_.size() && HasResult(forums_[next_candidate_].forum_id)) {
        ++next_candidate_;
    }
    return next_candidate_;
}

void SubmitManager::StartRun() {
    if (running_jobs_ > 0 || message_.message_id == -1) {
        return;
    }
    run_kind_ = RunKind::kPost;
    last_summary_ = {};
    summary_ready_ = false;
    run_message_ = message_;
    log_failure_.clear();
    log_failure_forum_ = -1;
    LoadConnectionOptions(run_connection_, profile_id_);
    int count = GetOptionInt(OptThreadCount, profile_id_, 10);
    count = std::min(count, kMaxSlots);
    halt_requested_ = false;
    // Forums left waiting by a stopped run are found again by the scan.
    next_candidate_ = 0;
    ClearDeferred();
    start_failures_ = 0;
    for (int slot = 0; slot < count; ++slot) {
        if (!StartNextJob(slot)) {
            break;
        }
    }
    NotifyState();
}

void RunSummary::Count(int code) {
    if (code == kOk) {
        ++ok;
    } else if (code == kCheckResult) {
        ++look;
    } else {
        ++failed;
    }
}

void SubmitManager::StopRun() {
    halt_requested_ = true;
    NotifyWaiting();
    NotifyState();
}

void SubmitManager::NotifyWaiting() {
    // Rows that said they wait for their account's other forum wait no more.
    for (const auto& [board, waiting] : deferred_) {
        for (size_t index : waiting) {
            if (index < forums_.size()) {
                NotifyForum(forums_[index].forum_id);
            }
        }
    }
    for (int32_t forum_id : topic_waiting_) {
        NotifyForum(forum_id);
    }
}

void SubmitManager::AbortRun() {
    halt_requested_ = true;
    NotifyWaiting();
    // Every job is asked before any is waited for: each may take up to a second to notice,
    // and fifty of them one after another would hold a closing window for most of a
    // minute.
    for (auto& slot : slots_) {
        if (slot->busy) {
            RequestStop(slot->job);
        }
    }
    // Forums left without a result, with the stored 9 each one showed before, if any.
    std::unordered_map<int32_t, std::optional<SubmitRecord>> unfinished;
    for (auto& slot : slots_) {
        if (!slot->busy) {
            continue;
        }
        WaitForJob(slot->job);
        // The stopped worker reported before it ended; that report is still queued.
        ++slot->stale_reports;
        slot->busy = false;
        MarkBoardFree(slot->board);
        --running_jobs_;
        SubmitJob& job = slot->job;
        if (slot->kind != RunKind::kPost) {
            AbortTopicJob(*slot);
            continue;
        }
        status_.erase(job.forum_copy.forum_id);
        if (slot->sent) {
            // The post may have gone out: recorded as such, and the [sending] row stays for
            // the next run's look in the section.
            job.failure_text = LoadText(kIdsStoppedAfterSending);
            job.topic_url.clear();
            last_summary_.Count(kCheckResult);
            RecordResult(*slot, kCheckResult, false);
        } else if (job.message_copy.message_id == message_.message_id) {
            unfinished.emplace(job.forum_copy.forum_id, slot->displaced);
        }
    }
    results_.erase(std::remove_if(results_.begin(), results_.end(),
                                  [&](SubmitRecord& r) {
                                      auto it = unfinished.find(r.forum_id);
                                      if (r.result != kPending || it == unfinished.end()) {
                                          return false;
                                      }
                                      if (it->second) {
                                          r = *it->second;
                                          return false;
                                      }
                                      return true;
                                  }),
                   results_.end());
    RebuildIndexes();
    for (const auto& [forum_id, displaced] : unfinished) {
        NotifyForum(forum_id);
    }
    FinishRunIfDone();
    NotifyState();
}

bool SubmitManager::StartNextJob(int slotIndex) {
    if (slotIndex < 0 || slotIndex >= kMaxSlots || slots_[slotIndex]->busy) {
        return false;
    }
    if (run_kind_ != RunKind::kPost) {
        return StartNextTopicJob(slotIndex);
    }
    Slot& slot = *slots_[slotIndex];
    slot.kind = RunKind::kPost;
    // Lists of another message than the run's are never run from.
    while (!halt_requested_ && message_.message_id == run_message_.message_id &&
           start_failures_ < kMaxStartFailures) {
        size_t next = TakeNextForum();
        if (next >= forums_.size()) {
            return false;
        }
        const ForumRecord& forum = forums_[next];
        SubmitJob& job = slot.job;
        job.interrupted.reset();
        if (const SendingRecord* interrupted = FindInterrupted(forum.forum_id)) {
            job.interrupted = *interrupted;
        }
        SubmitRecord placeholder;
        placeholder.forum_id = forum.forum_id;
        placeholder.message_id = run_message_.message_id;
        slot.displaced.reset();
        slot.sent = false;
        auto listed = result_index_.find(forum.forum_id);
        if (listed != result_index_.end()) {
            // The 9 of an interrupted sending: the job's result takes its place.
            slot.displaced = results_[listed->second];
            placeholder.submit_id = slot.displaced->submit_id;
            results_[listed->second] = placeholder;
        } else {
            results_.push_back(placeholder);
            result_index_.emplace(forum.forum_id, results_.size() - 1);
        }
        ++pending_count_;

        job.forum_copy = forum;
        job.message_copy = run_message_;
        PrepareJob(job, &sink_, slotIndex, run_connection_);
        job.sleeper = sleeper_;
        ++running_jobs_;
        slot.busy = true;
        slot.board = BoardAccountKey(forum);
        MarkBoardBusy(slot.board);
        if (start_job_(job, RunSubmit)) {
            start_failures_ = 0;
            NotifyForum(forum.forum_id);
            return true;
        }
        // No thread for this forum: it alone fails, and the slot tries the next one.
        --running_jobs_;
        slot.busy = false;
        MarkBoardFree(slot.board);
        ++start_failures_;
        if (job.failure_text.empty()) {
            job.failure_text = ThreadNotStartedText(L"");
        }
        RecordResult(slot, kUnknownError, false);
    }
    return false;
}

void SubmitManager::OnJobDone(int slotIndex, int code) {
    if (slotIndex < 0 || slotIndex >= kMaxSlots) {
        return;
    }
    Slot& slot = *slots_[slotIndex];
    if (slot.stale_reports > 0) {
        --slot.stale_reports;
        return;
    }
    if (!slot.busy) {
        return;
    }
    --running_jobs_;
    WaitForJob(slot.job);
    slot.busy = false;
    MarkBoardFree(slot.board);
    if (slot.kind != RunKind::kPost) {
        OnTopicJobDone(slot, code);
        ReadyNextTopic(slot.board);
        StartNextTopicJob(slotIndex);
        FinishRunIfDone();
        NotifyState();
        return;
    }
    // A job stopped before sending changed nothing: it is not counted.
    if (code != kStopped || slot.sent) {
        last_summary_.Count(code);
    }
    // A result after sending says what became of that post; so does an interrupted post
    // found in the section (0 without sending). Any other result leaves an interrupted
    // sending to be looked for again.
    RecordResult(slot, code, slot.sent || code == kOk);
    StartNextJob(slotIndex);
    FinishRunIfDone();
    NotifyState();
}

void SubmitManager::OnJobSending(int slotIndex) {
    if (slotIndex < 0 || slotIndex >= kMaxSlots) {
        return;
    }
    Slot& slot = *slots_[slotIndex];
    // A stopped job's request: it sends nothing and waits for no answer.
    if (slot.stale_reports > 0 || !slot.busy) {
        return;
    }
    if (slot.kind == RunKind::kUpdate) {
        OnTopicJobSending(slot);
        return;
    }
    SubmitJob& job = slot.job;
    // A second sending of the job (after a flood refusal) keeps the first row: its time
    // and the topics listed before it hold for both.
    if (!slot.sent && SaveSending(job.sending) == 0) {
        slot.sent = true;
        if (job.message_copy.message_id == message_.message_id) {
            sendings_[job.forum_copy.forum_id] = job.sending;
        }
    }
    AnswerSending(job, slot.sent);
}

void SubmitManager::OnJobEvent(const JobEvent& event) {
    switch (event.kind) {
        case JobEvent::kStatus:
            OnJobStatus(event.slot, event.value);
            break;
        case JobEvent::kDone:
            OnJobDone(event.slot, event.value);
            break;
        case JobEvent::kSending:
            OnJobSending(event.slot);
            break;
    }
}

void SubmitManager::RecordResult(Slot& slot, int code, bool settled) {
    const SubmitJob& job = slot.job;
    const int32_t forum_id = job.forum_copy.forum_id;
    status_.erase(forum_id);
    if (job.log_error != 0 && log_failure_.empty()) {
        log_failure_ = LogFailureText(forum_id, job.message_copy.message_id, job.log_error);
        log_failure_forum_ = forum_id;
    }

    SubmitRecord finished;
    finished.submit_id = slot.displaced ? slot.displaced->submit_id : -1;
    finished.forum_id = forum_id;
    finished.message_id = job.message_copy.message_id;
    finished.stime = static_cast<int64_t>(std::time(nullptr));
    finished.result = code;
    finished.thread = job.topic_url;
    finished.err = job.failure_text;
    slot.displaced.reset();

    SubmitRecord* listed = nullptr;
    if (job.message_copy.message_id == message_.message_id) {
        auto it = result_index_.find(forum_id);
        if (it != result_index_.end() && results_[it->second].result == kPending) {
            listed = &results_[it->second];
        }
    }
    if (listed == nullptr) {
        // The lists changed under the run (another message or profile, or the forum was
        // deleted): store the result only when its forum still exists.
        if (ForumStillStored(forum_id)) {
            StoreSubmitResult(finished, settled);
        }
        return;
    }
    *listed = finished;
    // What a confirmed topic was posted with, so that a later change of the message shows
    // which topics no longer carry it.
    std::optional<TopicRecord> posted;
    if (code == kOk && !finished.thread.empty()) {
        posted.emplace();
        posted->forum_id = forum_id;
        posted->message_id = finished.message_id;
        posted->subject = job.topic_subject;
        posted->body = job.topic_body;
        posted->ttime = finished.stime;
        if (job.topic_subject.empty()) {
            // A topic found after an interrupted sending carries what that sending sent:
            // its subject is known; its body is taken to be the message's.
            posted->subject = job.interrupted ? job.interrupted->subject : job.message_copy.subject;
            posted->body = job.message_copy.msg;
        }
        topics_[forum_id] = *posted;
    }
    // A failed store keeps the result in memory only (and an interrupted sending its row):
    // it stays visible until the lists are loaded again.
    if (StoreSubmitResult(*listed, settled, posted ? &*posted : nullptr) == 0 && settled) {
        sendings_.erase(forum_id);
    }
    --pending_count_;
    if (forum_index_.count(forum_id) != 0 && HasResult(forum_id)) {
        ++done_count_;
    }
    NotifyForum(forum_id);
}

void SubmitManager::OnJobStatus(int slotIndex, int textId) {
    if (slotIndex < 0 || slotIndex >= kMaxSlots || !slots_[slotIndex]->busy ||
        slots_[slotIndex]->stale_reports > 0) {
        return;
    }
    const SubmitJob& job = slots_[slotIndex]->job;
    if (job.message_copy.message_id != message_.message_id) {
        return;
    }
    int32_t forum_id = job.forum_copy.forum_id;
    if (slots_[slotIndex]->kind != RunKind::kPost) {
        topic_status_[forum_id] = textId;
        NotifyForum(forum_id);
        return;
    }
    const SubmitRecord* result = FindResult(forum_id);
    if (result == nullptr || result->result != kPending) {
        return;
    }
    status_[forum_id] = textId;
    NotifyForum(forum_id);
}

bool SubmitManager::CanAddForum() const {
    return profile_id_ != -1;
}

bool SubmitManager::CanStart() const {
    return running_jobs_ <= 0 && message_.message_id != -1 &&
           (FirstForumWithoutResult() < forums_.size() || HasDeferredForums());
}

bool SubmitManager::CanStop() const {
    return running_jobs_ > 0;
}

int SubmitManager::ProgressRange() const {
    return run_kind_ == RunKind::kPost ? static_cast<int>(forums_.size()) : topic_total_;
}

int SubmitManager::ProgressPosition() const {
    return run_kind_ == RunKind::kPost ? done_count_ : topic_done_;
}

int SubmitManager::SaveForum(ForumRecord& forum) {
    if (forum.forum_id == -1) {
        forum.profile_id = profile_id_;
    }
    int stored = twk::SaveForum(forum, true);
    if (stored == 0 && forum.forum_id == -1) {
        forum.forum_id = LastInsertId();
    }
    auto it = forum.forum_id == -1 ? forum_index_.end() : forum_index_.find(forum.forum_id);
    if (it != forum_index_.end()) {
        forums_[it->second] = forum;
    } else {
        forums_.push_back(forum);
        forum_index_.emplace(forum.forum_id, forums_.size() - 1);
        next_candidate_ = std::min(next_candidate_, forums_.size() - 1);
    }
    NotifyForum(forum.forum_id);
    NotifyState();
    return stored;
}

void SubmitManager::DeleteForums(const std::vector<int32_t>& forumIds) {
    if (forumIds.empty()) {
        return;
    }
    std::unordered_set<int32_t> doomed(forumIds.begin(), forumIds.end());
    if (run_kind_ != RunKind::kPost && running_jobs_ > 0) {
        // A topic run's queue holds places in the list, which shift now: it finishes what
        // it took.
        halt_requested_ = true;
    }
    for (const auto& slot : slots_) {
        if (slot->busy && doomed.count(slot->job.forum_copy.forum_id) != 0) {
            // The lists of the run changed under it: it finishes what it took and the user
            // starts the rest.
            halt_requested_ = true;
        }
    }
    forums_.erase(std::remove_if(forums_.begin(), forums_.end(),
                                 [&](const ForumRecord& f) { return doomed.count(f.forum_id); }),
                  forums_.end());
    // Only the first record of each forum is its result; later duplicates stay.
    std::unordered_set<int32_t> removed;
    results_.erase(std::remove_if(results_.begin(), results_.end(),
                                  [&](const SubmitRecord& r) {
                                      return doomed.count(r.forum_id) &&
                                             removed.insert(r.forum_id).second;
                                  }),
                   results_.end());
    twk::DeleteForums(forumIds);
    RebuildIndexes();
    NotifyState();
}

void SubmitManager::Resubmit(const std::vector<int32_t>& forumIds) {
    std::unordered_set<int32_t> cleared;
    for (int32_t forum_id : forumIds) {
        const SubmitRecord* result = FindResult(forum_id);
        if (result == nullptr || result->result == kPending) {
            continue;
        }
        DeleteSubmit(result->submit_id);
        cleared.insert(forum_id);
    }
    if (cleared.empty()) {
        return;
    }
    std::unordered_set<int32_t> removed;
    results_.erase(std::remove_if(results_.begin(), results_.end(),
                                  [&](const SubmitRecord& r) {
                                      return cleared.count(r.forum_id) &&
                                             removed.insert(r.forum_id).second;
                                  }),
                   results_.end());
    RebuildIndexes();
    for (int32_t forum_id : cleared) {
        NotifyForum(forum_id);
    }
    NotifyState();
}

int SubmitManager::ChangeCredentials(const std::vector<int32_t>& forumIds,
                                     const std::optional<std::wstring>& login,
                                     const std::optional<std::wstring>& password) {
    if (!login && !password) {
        return 0;
    }
    for (int32_t forum_id : forumIds) {
        auto it = forum_index_.find(forum_id);
        if (it == forum_index_.end()) {
            continue;
        }
        if (login) {
            forums_[it->second].login = *login;
        }
        if (password) {
            forums_[it->second].pass = *password;
        }
    }
    int stored = SaveForums(forums_, true);
    // Forums that were not stored yet have their ids now.
    RebuildIndexes();
    for (int32_t forum_id : forumIds) {
        NotifyForum(forum_id);
    }
    return stored;
}

void SubmitManager::NotifyForum(int32_t forumId) {
    if (observer_ != nullptr) {
        observer_->ForumChanged(forumId);
    }
}

void SubmitManager::NotifyState() {
    if (observer_ != nullptr) {
        observer_->StateChanged();
    }
}

}  // namespace twk
