#pragma once

#include <atomic>
#include <chrono>
#include <functional>

#include "engines/Sleeper.h"

namespace twk::test {

// A sleeper that returns at once, counts the seconds it was asked for and can run an
// action on a given sleep (for example a stop request in the middle of a pause).
class FakeSleeper : public Sleeper {
public:
    void Sleep(std::chrono::milliseconds duration) override {
        int count = ++sleeps_;
        total_ms_ += static_cast<long>(duration.count());
        if (on_sleep_ && count == on_sleep_number_) {
            on_sleep_();
        }
    }

    // Runs action during the n-th sleep (counting from 1).
    void OnSleep(int n, std::function<void()> action) {
        on_sleep_number_ = n;
        on_sleep_ = std::move(action);
    }

    int sleeps() const { return sleeps_; }
    long total_ms() const { return total_ms_; }

private:
    std::atomic<int> sleeps_{0};
    std::atomic<long> total_ms_{0};
    int on_sleep_number_ = 0;
    std::function<void()> on_sleep_;
};

}  // namespace twk::test
