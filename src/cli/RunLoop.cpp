#include "RunLoop.h"

#include <atomic>
#include <csignal>
#include <iostream>

namespace twk::cli {
namespace {

// The signal may be delivered on any thread, workers included; a lock-free atomic is safe
// both in a handler and across threads.
std::atomic<int> g_interrupts{0};
static_assert(std::atomic<int>::is_always_lock_free);
// SIGTERM or SIGHUP: a shutdown, a closed terminal, `timeout`. Nobody is there to press
// Ctrl-C twice, and the system kills what does not end soon.
std::atomic<bool> g_terminate{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) {
    g_interrupts.fetch_add(1);
}

void OnTerminate(int) {
    g_terminate.store(true);
}

}  // namespace

bool RunUntilDone(SubmitManager& manager, JobEventQueue& queue,
                  const std::function<void()>& start) {
    g_interrupts.store(0);
    g_terminate.store(false);
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    sigaction(SIGINT, &action, &previous);
    struct sigaction terminate = action;
    terminate.sa_handler = OnTerminate;
    struct sigaction previous_term {};
    struct sigaction previous_hup {};
    sigaction(SIGTERM, &terminate, &previous_term);
    sigaction(SIGHUP, &terminate, &previous_hup);

    start();
    int handled_interrupts = 0;
    bool terminated = false;
    while (manager.running_jobs() > 0) {
        if (g_terminate.load()) {
            // As a second Ctrl-C: what the running forums reached is recorded (a post that
            // may have gone out is looked for by the next run, never sent blindly).
            std::cerr << "Stopping the running forums now\n";
            terminated = true;
            manager.AbortRun();
            break;
        }
        if (g_interrupts.load() != handled_interrupts) {
            handled_interrupts = g_interrupts.load();
            if (handled_interrupts == 1) {
                std::cerr << "Stopping: no new forums; running ones finish (Ctrl-C again to stop "
                             "them now)\n";
                manager.StopRun();
            } else {
                std::cerr << "Stopping the running forums now\n";
                manager.AbortRun();
                break;
            }
        }
        std::optional<JobEvent> event = queue.Wait(std::chrono::milliseconds(200));
        if (!event) {
            continue;
        }
        manager.OnJobEvent(*event);
    }
    sigaction(SIGINT, &previous, nullptr);
    sigaction(SIGTERM, &previous_term, nullptr);
    sigaction(SIGHUP, &previous_hup, nullptr);
    return handled_interrupts > 0 || terminated;
}

}  // namespace twk::cli
