#pragma once

namespace twk {

// Where a job reports. Called on the job's worker thread, so an implementation only
// hands the report over to the thread that owns the job (the GUI posts Qt events, the
// command-line tool queues them) and never touches the job's owner directly. Reports of
// one slot must reach the owner in the order they were made: the owner tells a stopped
// job's late report from the next job's by that order.
class JobSink {
public:
    virtual ~JobSink() = default;
    // textId: the string id of the step about to run (114, 116, 117, 120, 157) or of a
    // wait the engine makes on its own (150, 154).
    virtual void JobStatus(int slot, int textId) = 0;
    // Once per run, after the work and the log, with the job's result code.
    virtual void JobDone(int slot, int code) = 0;
    // The job's post is about to go out: the owner records it (the job's sending) in the
    // database, on its own thread, and answers with AnswerSending. The worker waits for the
    // answer (or a stop) before anything leaves.
    virtual void JobSending(int slot) = 0;
};

}  // namespace twk
