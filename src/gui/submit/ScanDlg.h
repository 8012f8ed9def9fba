#pragma once

#include <QDialog>
#include <string>

#include "engines/ForumEngine.h"
#include "engines/ResultCode.h"
#include "storage/Records.h"
#include "submit/GuiJobSink.h"
#include "submit/SubmitJob.h"

class QLabel;

namespace twk {
class Sleeper;
}

namespace twk::gui {

// "Scanning Forum": signs in to a forum and reads its sections on a worker thread while it
// shows the job's status and offers Stop. The caller's forum and section list are changed
// only when the scan ends with 0 (the forum gets the title of its main page). Stop waits
// for the worker and closes with Cancel, leaving both as they were; the title-bar close
// stops the job and closes once it has reported, so that the caller sees the stop as a
// result. Run modally by the Edit Forum dialog.
class CScanDlg : public QDialog {
    Q_OBJECT

public:
    CScanDlg(ForumRecord& forum, SectionList& sections, QWidget* parent = nullptr);
    ~CScanDlg() override;

    // The profile's connection options; set before the dialog runs.
    void SetConnection(const ConnectionOptions& connection) { scan_connection_ = connection; }
    // The engines' pauses; null means real sleeps. For tests.
    void SetSleeper(Sleeper* sleeper) { sleeper_ = sleeper; }

    // 0 until the job reported, then its code.
    ResultCode scan_result() const { return scan_result_; }
    const std::wstring& scan_failure_text() const { return scan_failure_text_; }

public slots:
    // The Stop button and Escape.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void customEvent(QEvent* event) override;

private:
    void OnJobDone(int code);

    ForumRecord& scan_forum_;
    SectionList& scan_sections_;
    ConnectionOptions scan_connection_;
    Sleeper* sleeper_ = nullptr;
    GuiJobSink sink_;
    SubmitJob scan_job_;
    QLabel* status_;
    ResultCode scan_result_ = kOk;
    std::wstring scan_failure_text_;
    bool started_ = false;
    bool finished_ = false;
};

}  // namespace twk::gui
