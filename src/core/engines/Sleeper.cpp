#include "engines/Sleeper.h"

#include <thread>

namespace twk {
namespace {

class ThreadSleeper : public Sleeper {
public:
    void Sleep(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(duration);
    }
};

}  // namespace

Sleeper& RealSleeper() {
    static ThreadSleeper sleeper;
    return sleeper;
}

}  // namespace twk
