#pragma once

#include <functional>

#include "submit/JobEventQueue.h"
#include "submit/SubmitManager.h"

namespace twk::cli {

// Starts a run of the manager (start) and hands the queued job reports to it on this thread
// until its jobs are done. Ctrl-C once: no new forums; twice, SIGTERM or SIGHUP: the
// running ones stop at once, with what each reached recorded. True when interrupted.
bool RunUntilDone(SubmitManager& manager, JobEventQueue& queue, const std::function<void()>& start);

}  // namespace twk::cli
