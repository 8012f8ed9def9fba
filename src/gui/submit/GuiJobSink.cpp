#include "submit/GuiJobSink.h"

#include <QCoreApplication>

namespace twk::gui {

QEvent::Type JobReportEvent::DoneType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type JobReportEvent::StatusType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

QEvent::Type JobReportEvent::SendingType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

JobReportEvent::JobReportEvent(QEvent::Type type, int slot, int value)
    : QEvent(type), slot_(slot), value_(value) {}

void GuiJobSink::JobStatus(int slot, int textId) {
    QCoreApplication::postEvent(receiver_,
                                new JobReportEvent(JobReportEvent::StatusType(), slot, textId));
}

void GuiJobSink::JobDone(int slot, int code) {
    QCoreApplication::postEvent(receiver_,
                                new JobReportEvent(JobReportEvent::DoneType(), slot, code));
}

void GuiJobSink::JobSending(int slot) {
    QCoreApplication::postEvent(receiver_,
                                new JobReportEvent(JobReportEvent::SendingType(), slot, 0));
}

}  // namespace twk::gui
