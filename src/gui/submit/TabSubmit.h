#pragma once

#include <memory>

#include "editing/TabChildDlg.h"
#include "submit/GuiJobSink.h"
#include "submit/SubmitListModel.h"
#include "submit/SubmitManager.h"

class QAction;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;

namespace twk {
class Sleeper;
}

namespace twk::gui {

class SubmitListCtrl;

// Template ids of the Submit page's controls.
enum SubmitPageControl : int {
    kIdForumList = 1004,
    kIdProfileName = 1005,
    kIdAddForum = 1014,
    kIdEditForum = 1015,
    kIdDeleteForum = 1016,
    kIdStart = 1017,
    kIdStop = 1018,
    kIdNextMessage = 1019,
    kIdProgress = 1029,
    kIdProgressLabel = 1038,
    kIdUpdateTopics = 1040,
    kIdCheckReplies = 1041,
    kIdRunSummary = 1042,
};

// The second tab page: the forums of the current profile with the results of the current
// message, the commands around them (add, edit, delete, resubmit, open, find, change
// credentials) and the run that submits the message, driven by the submit manager. The
// manager's jobs report through Qt events posted to this page. Owned by the main window.
class CTabSubmit : public CTabChildDlg, private SubmitManagerObserver {
    Q_OBJECT

public:
    explicit CTabSubmit(CTabHost& host, QWidget* parent = nullptr);
    ~CTabSubmit() override;

    void Refresh(int what) override;

    // Submit jobs running now. While it is above 0 the main window keeps this page shown
    // and the database commands greyed.
    int running_jobs() const { return manager_.running_jobs(); }

    const SubmitManager& manager() const { return manager_; }
    SubmitListCtrl& list() const { return *list_; }
    const SubmitListModel& model() const { return model_; }
    // The engines' pauses in runs and scans; null means real sleeps. For tests.
    void SetSleeper(Sleeper* sleeper);

    // The page's commands, also reachable from its buttons and its context menu.
    void AddForum();
    // Edit Forum for a row, or a new forum for -1.
    void EditForum(int row);
    void DeleteForums();
    void StartRun();
    void StopRun();
    // Update Topics: edits the topics that no longer show the message as it is now.
    void UpdateTopics();
    // Check Replies: counts the replies of every topic of the message.
    void CheckReplies();
    // The focused row's newest reply (the topic's last page) in the browser.
    void OpenNewestReply();
    void Resubmit();
    void OpenForum();
    void OpenResult();
    void PasswordChanger();
    void Find();

    // The list's context menu, its entries enabled for the rows selected now.
    QMenu* PrepareContextMenu();

protected:
    std::span<const LayoutEntry> LayoutTable() const override;
    void customEvent(QEvent* event) override;

private:
    void ForumChanged(int32_t forumId) override;
    void StateChanged() override;

    QPushButton* AddButton(int id, const char* name, const char* text, int x, int y, int width);
    void BuildContextMenu();
    void UpdateButtons();
    void UpdateListButtons();
    void UpdateProgress();
    void UpdateSummary();

    // Declared before the manager: jobs report to it until the manager has stopped them.
    GuiJobSink sink_;
    SubmitManager manager_;
    SubmitListModel model_;
    Sleeper* sleeper_ = nullptr;

    SubmitListCtrl* list_;
    QLabel* profile_name_;
    QPushButton* add_forum_;
    QPushButton* edit_forum_;
    QPushButton* delete_forum_;
    QPushButton* start_;
    QPushButton* stop_;
    QPushButton* update_topics_;
    QPushButton* check_replies_;
    // How the last run went, once it ended.
    QLabel* summary_;
    QProgressBar* progress_;
    QMenu* menu_;
    QAction* open_result_;
    QAction* open_newest_reply_;
    QAction* resubmit_;
    QAction* edit_;
    QAction* delete_;
    QAction* password_changer_;
};

}  // namespace twk::gui
