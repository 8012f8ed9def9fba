#pragma once

#include <QEvent>

#include "submit/JobSink.h"

class QObject;

namespace twk::gui {

// A job report on its way from a worker thread to the window that owns the job.
class JobReportEvent : public QEvent {
public:
    // The kinds of report: a job is done (value: its result code), a job moved on to
    // another step (value: the string id of the status text), or a job's post is about to
    // go out and waits to be recorded (value: 0).
    static QEvent::Type DoneType();
    static QEvent::Type StatusType();
    static QEvent::Type SendingType();

    JobReportEvent(QEvent::Type type, int slot, int value);

    int slot() const { return slot_; }
    int value() const { return value_; }

private:
    int slot_;
    int value_;
};

// The GUI's JobSink: called on worker threads, it only posts a JobReportEvent to its
// receiver, so that the report is handled on the receiver's (the user-interface) thread.
// The receiver must outlive every job that reports here; the Submit page and the
// scanning dialog stop and wait for their jobs before they go away.
class GuiJobSink : public JobSink {
public:
    explicit GuiJobSink(QObject* receiver) : receiver_(receiver) {}

    void JobStatus(int slot, int textId) override;
    void JobDone(int slot, int code) override;
    void JobSending(int slot) override;

private:
    QObject* receiver_;
};

}  // namespace twk::gui
