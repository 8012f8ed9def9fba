#include "submit/JobEventQueue.h"

namespace twk {

void JobEventQueue::JobStatus(int slot, int textId) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({JobEvent::kStatus, slot, textId});
    }
    ready_.notify_one();
}

void JobEventQueue::JobDone(int slot, int code) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({JobEvent::kDone, slot, code});
    }
    ready_.notify_one();
}

void JobEventQueue::JobSending(int slot) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({JobEvent::kSending, slot, 0});
    }
    ready_.notify_one();
}

std::optional<JobEvent> JobEventQueue::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!ready_.wait_for(lock, timeout, [this] { return !events_.empty(); })) {
        return std::nullopt;
    }
    JobEvent event = events_.front();
    events_.pop_front();
    return event;
}

}  // namespace twk
