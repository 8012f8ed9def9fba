#include "support/HeldAnswer.h"

#include <chrono>

namespace twk::test {

HeldAnswer::~HeldAnswer() {
    Release();
}

void HeldAnswer::Hold() {
    std::unique_lock<std::mutex> lock(mutex_);
    held_ = true;
    changed_.notify_all();
    changed_.wait_for(lock, std::chrono::seconds(60), [this] { return released_; });
}

bool HeldAnswer::WaitUntilHeld() {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(30), [this] { return held_; });
}

bool HeldAnswer::held() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return held_;
}

void HeldAnswer::Release() {
    std::lock_guard<std::mutex> lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

}  // namespace twk::test
