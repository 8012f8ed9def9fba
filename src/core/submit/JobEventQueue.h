#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "submit/JobSink.h"

namespace twk {

// A job report waiting to be handled on the owner's thread.
struct JobEvent {
    enum Kind { kStatus, kDone, kSending };
    Kind kind = kDone;
    int slot = 0;
    int value = 0;  // the status text id or the result code; 0 for a sending
};

// A JobSink that queues reports from worker threads for a thread without an event loop of
// its own (the command-line tool, tests): the owner waits for the next event and hands it
// to the submit manager or the scan.
class JobEventQueue : public JobSink {
public:
    void JobStatus(int slot, int textId) override;
    void JobDone(int slot, int code) override;
    void JobSending(int slot) override;

    // The next event, or none when timeout passes first.
    std::optional<JobEvent> Wait(std::chrono::milliseconds timeout);

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<JobEvent> events_;
};

}  // namespace twk
