#include "submit/ScanDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QPushButton>

#include "app/DialogUnits.h"
#include "app/QtText.h"

namespace twk::gui {

CScanDlg::CScanDlg(ForumRecord& forum, SectionList& sections, QWidget* parent)
    : QDialog(parent), scan_forum_(forum), scan_sections_(sections), sink_(this) {
    setWindowTitle(QStringLiteral("Scanning Forum"));
    DialogUnits units(font());
    setFixedSize(units.Size(250, 74));

    auto* wait = new QLabel(QStringLiteral("Please wait..."), this);
    wait->setAlignment(Qt::AlignCenter);
    wait->setGeometry(units.Rect(0, 6, 246, 12));
    status_ = new QLabel(QStringLiteral("..."), this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setAlignment(Qt::AlignCenter);
    status_->setGeometry(units.Rect(0, 18, 246, 12));
    auto* stop = new QPushButton(QStringLiteral("Stop"), this);
    stop->setObjectName(QStringLiteral("stop"));
    stop->setGeometry(units.Rect(96, 48, 50, 14));
    stop->setAutoDefault(false);
    connect(stop, &QPushButton::clicked, this, &CScanDlg::reject);
}

CScanDlg::~CScanDlg() {
    // The job's own destructor would do the same, but only after the sink it reports to
    // is gone.
    StopJob(scan_job_);
}

void CScanDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) {
        return;
    }
    started_ = true;
    scan_job_.forum_copy = scan_forum_;
    PrepareJob(scan_job_, &sink_, 0, scan_connection_);
    scan_job_.sleeper = sleeper_;
    if (!StartJob(scan_job_, RunScan)) {
        // No thread, no scan. Reported through the queue like a job's own report, since
        // the dialog cannot close before its modal loop runs.
        sink_.JobDone(0, kUnknownError);
    }
}

void CScanDlg::customEvent(QEvent* event) {
    if (finished_) {
        return;
    }
    if (event->type() == JobReportEvent::StatusType()) {
        status_->setText(Text(static_cast<JobReportEvent*>(event)->value()));
    } else if (event->type() == JobReportEvent::DoneType()) {
        OnJobDone(static_cast<JobReportEvent*>(event)->value());
    }
}

void CScanDlg::OnJobDone(int code) {
    finished_ = true;
    scan_result_ = static_cast<ResultCode>(code);
    if (code == kOk) {
        scan_sections_ = scan_job_.sections;
        scan_forum_ = scan_job_.forum_copy;
        scan_forum_.title = scan_job_.forum_page_title;
    }
    WaitForJob(scan_job_);
    scan_failure_text_ = scan_job_.failure_text;
    accept();
}

void CScanDlg::reject() {
    if (!finished_) {
        finished_ = true;
        QApplication::setOverrideCursor(Qt::WaitCursor);
        StopJob(scan_job_);
        QApplication::restoreOverrideCursor();
        // The job's reports are still queued; the caller must not see them.
        QCoreApplication::removePostedEvents(this, JobReportEvent::DoneType());
        QCoreApplication::removePostedEvents(this, JobReportEvent::StatusType());
    }
    QDialog::reject();
}

void CScanDlg::closeEvent(QCloseEvent* event) {
    if (finished_) {
        QDialog::closeEvent(event);
        return;
    }
    // The dialog closes when the stopped job reports, so the caller learns how it ended.
    event->ignore();
    StopJob(scan_job_);
}

}  // namespace twk::gui
