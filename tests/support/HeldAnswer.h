#pragma once

#include <condition_variable>
#include <mutex>

namespace twk::test {

// Holds one of a fake board's answers until the test lets it go (or a minute passed), so
// that a run can be ended while it waits for that answer: the board's hook calls Hold on
// its server thread. Declare it after the board: it lets go before the board stops.
class HeldAnswer {
public:
    HeldAnswer() = default;
    ~HeldAnswer();
    HeldAnswer(const HeldAnswer&) = delete;
    HeldAnswer& operator=(const HeldAnswer&) = delete;

    void Hold();
    // True once an answer is held (waits up to 30 seconds).
    bool WaitUntilHeld();
    bool held() const;
    // Lets the held answer, and every later one, go.
    void Release();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool held_ = false;
    bool released_ = false;
};

}  // namespace twk::test
