#pragma once

#include <chrono>

namespace twk {

// Sleeps for the engines' pauses. Production sleeps for real; tests and benchmarks
// install one that returns at once (and may record what was asked).
class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

// The sleeper that really sleeps.
Sleeper& RealSleeper();

}  // namespace twk
