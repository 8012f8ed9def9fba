#include "submit/TabSubmit.h"

#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <array>

#include "app/QtText.h"
#include "submit/SubmitListCtrl.h"

namespace twk::gui {
namespace {

constexpr LayoutEntry Row(int32_t control, int32_t left, int32_t top, int32_t right,
                          int32_t bottom) {
    return LayoutEntry{control, left, top, right, bottom, 0, 0};
}

constexpr int32_t kPage = kAnchorPage;
constexpr int32_t kFree = kAnchorFree;

constexpr std::array<LayoutEntry, 12> kLayout = {{
    Row(kIdForumList, kPage, kPage, kPage, kPage),
    Row(kIdRunSummary, kPage, kFree, kPage, kPage),
    Row(kIdUpdateTopics, kPage, kFree, kFree, kPage),
    Row(kIdCheckReplies, kPage, kFree, kFree, kPage),
    Row(kIdNextMessage, kFree, kFree, kPage, kPage),
    Row(kIdProgress, kPage, kFree, kPage, kPage),
    Row(kIdStart, kPage, kFree, kFree, kPage),
    Row(kIdStop, kPage, kFree, kFree, kPage),
    Row(kIdProgressLabel, kPage, kFree, kFree, kPage),
    Row(kIdAddForum, kFree, kPage, kPage, kFree),
    Row(kIdEditForum, kFree, kPage, kPage, kFree),
    Row(kIdDeleteForum, kFree, kPage, kPage, kFree),
}};

}  // namespace

CTabSubmit::CTabSubmit(CTabHost& host, QWidget* parent)
    : CTabChildDlg(host, parent), sink_(this), manager_(sink_), model_(manager_) {
    AddLabel(QStringLiteral("Profile:"), 6, 6, 24, 12);
    profile_name_ = AddControl(kIdProfileName, new QLabel(QStringLiteral("*")), 33, 6, 83, 12);
    profile_name_->setObjectName(QStringLiteral("profileName"));
    // The name is shown as typed, markup-like characters included.
    profile_name_->setTextFormat(Qt::PlainText);
    add_forum_ = AddButton(kIdAddForum, "addForum", "Add Forum", 288, 6, 60);
    edit_forum_ = AddButton(kIdEditForum, "editForum", "Edit Forum", 354, 6, 60);
    delete_forum_ = AddButton(kIdDeleteForum, "deleteForum", "Delete Forum", 420, 6, 60);

    list_ = AddControl(kIdForumList, new SubmitListCtrl(model_), 7, 25, 473, 221);
    list_->setObjectName(QStringLiteral("forumList"));
    summary_ = AddControl(kIdRunSummary, new QLabel, 7, 251, 473, 12);
    summary_->setObjectName(QStringLiteral("runSummary"));
    summary_->setTextFormat(Qt::PlainText);

    start_ = AddButton(kIdStart, "start", "Start", 12, 268, 42);
    stop_ = AddButton(kIdStop, "stop", "Stop", 58, 268, 36);
    update_topics_ = AddButton(kIdUpdateTopics, "updateTopics", "Update Topics", 98, 268, 58);
    check_replies_ = AddButton(kIdCheckReplies, "checkReplies", "Check Replies", 160, 268, 58);
    auto* progress_label =
        AddControl(kIdProgressLabel, new QLabel(QStringLiteral("Progress:")), 222, 268, 36, 12);
    progress_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    progress_ = AddControl(kIdProgress, new QProgressBar, 262, 268, 128, 12);
    progress_->setObjectName(QStringLiteral("progress"));
    progress_->setTextVisible(false);
    auto* next_message = AddButton(kIdNextMessage, "submitNewMessage", "New Message", 420, 268, 54);

    BuildContextMenu();
    auto* find = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_F), this);
    find->setContext(Qt::WidgetWithChildrenShortcut);

    connect(add_forum_, &QPushButton::clicked, this, &CTabSubmit::AddForum);
    connect(edit_forum_, &QPushButton::clicked, this, [this] { EditForum(list_->FocusedRow()); });
    connect(delete_forum_, &QPushButton::clicked, this, &CTabSubmit::DeleteForums);
    connect(start_, &QPushButton::clicked, this, &CTabSubmit::StartRun);
    connect(stop_, &QPushButton::clicked, this, &CTabSubmit::StopRun);
    connect(update_topics_, &QPushButton::clicked, this, &CTabSubmit::UpdateTopics);
    connect(check_replies_, &QPushButton::clicked, this, &CTabSubmit::CheckReplies);
    connect(next_message, &QPushButton::clicked, this, [this] { host_.ShowNextPage(); });
    connect(find, &QShortcut::activated, this, &CTabSubmit::Find);
    connect(list_, &QWidget::customContextMenuRequested, this, [this](const QPoint& position) {
        PrepareContextMenu()->exec(list_->viewport()->mapToGlobal(position));
    });
    connect(list_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &CTabSubmit::UpdateListButtons);
    connect(list_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            &CTabSubmit::UpdateListButtons);

    manager_.SetObserver(this);
    UpdateListButtons();
    FinishTemplate(488, 284);
}

CTabSubmit::~CTabSubmit() {
    manager_.SetObserver(nullptr);
    // The list writes its column layout as it goes; it still needs its rows for that.
    delete list_;
}

QPushButton* CTabSubmit::AddButton(int id, const char* name, const char* text, int x, int y,
                                   int width) {
    auto* button = AddControl(id, new QPushButton(QString::fromLatin1(text)), x, y, width, 12);
    button->setObjectName(QString::fromLatin1(name));
    // A focused button would otherwise take Enter as its own click inside the dialog.
    button->setAutoDefault(false);
    return button;
}

void CTabSubmit::BuildContextMenu() {
    menu_ = new QMenu(this);
    menu_->setObjectName(QStringLiteral("listMenu"));
    auto add = [this](const char* name, const char* text, void (CTabSubmit::*command)()) {
        QAction* action = menu_->addAction(QString::fromLatin1(text));
        action->setObjectName(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, command);
        return action;
    };
    add("openForum", "Open Forum", &CTabSubmit::OpenForum);
    open_result_ = add("openResult", "Open Result", &CTabSubmit::OpenResult);
    open_newest_reply_ = add("openNewestReply", "Open Newest Reply", &CTabSubmit::OpenNewestReply);
    resubmit_ = add("resubmit", "Resubmit", &CTabSubmit::Resubmit);
    menu_->addSeparator();
    edit_ = menu_->addAction(QStringLiteral("Edit"));
    edit_->setObjectName(QStringLiteral("edit"));
    connect(edit_, &QAction::triggered, this, [this] { EditForum(list_->FocusedRow()); });
    delete_ = add("delete", "Delete", &CTabSubmit::DeleteForums);
    password_changer_ = add("passwordChanger", "Password Changer", &CTabSubmit::PasswordChanger);
    menu_->addSeparator();
    add("find", "Find", &CTabSubmit::Find);
}

QMenu* CTabSubmit::PrepareContextMenu() {
    const bool selected = list_->selectionModel()->hasSelection();
    const int focused = list_->FocusedRow();
    const bool has_result =
        focused >= 0 && manager_.FindResult(model_.ForumIdAt(focused)) != nullptr;
    delete_->setEnabled(selected);
    password_changer_->setEnabled(selected);
    edit_->setEnabled(focused >= 0);
    open_result_->setEnabled(has_result);
    const TopicRecord* topic =
        focused >= 0 ? manager_.FindTopic(model_.ForumIdAt(focused)) : nullptr;
    open_newest_reply_->setEnabled(topic != nullptr && topic->rtime != 0 && topic->rresult == kOk);
    resubmit_->setEnabled(has_result);
    return menu_;
}

std::span<const LayoutEntry> CTabSubmit::LayoutTable() const {
    return kLayout;
}

void CTabSubmit::SetSleeper(Sleeper* sleeper) {
    sleeper_ = sleeper;
    manager_.SetSleeper(sleeper);
}

void CTabSubmit::Refresh(int) {
    std::wstring name;
    const int32_t profile = host_.GetCurrentProfile(name);
    profile_name_->setText(ToQString(name));
    manager_.Reload(profile, host_.CurrentMessage());
    model_.Reload();
    list_->ClearSortMark();
    UpdateListButtons();
    UpdateButtons();
    UpdateProgress();
    UpdateSummary();
}

void CTabSubmit::customEvent(QEvent* event) {
    if (event->type() == JobReportEvent::DoneType()) {
        auto* report = static_cast<JobReportEvent*>(event);
        manager_.OnJobDone(report->slot(), report->value());
    } else if (event->type() == JobReportEvent::StatusType()) {
        auto* report = static_cast<JobReportEvent*>(event);
        manager_.OnJobStatus(report->slot(), report->value());
    } else if (event->type() == JobReportEvent::SendingType()) {
        manager_.OnJobSending(static_cast<JobReportEvent*>(event)->slot());
    }
}

void CTabSubmit::ForumChanged(int32_t forumId) {
    model_.ForumChanged(forumId);
}

void CTabSubmit::StateChanged() {
    UpdateButtons();
    UpdateProgress();
    UpdateSummary();
}

void CTabSubmit::UpdateButtons() {
    add_forum_->setEnabled(manager_.CanAddForum());
    start_->setEnabled(manager_.CanStart());
    stop_->setEnabled(manager_.CanStop());
    update_topics_->setEnabled(manager_.CanUpdate());
    check_replies_->setEnabled(manager_.CanCheckReplies());
}

void CTabSubmit::UpdateSummary() {
    summary_->setText(ToQString(manager_.SummaryText()));
}

void CTabSubmit::UpdateListButtons() {
    delete_forum_->setEnabled(list_->selectionModel()->hasSelection());
    edit_forum_->setEnabled(list_->FocusedRow() >= 0);
}

void CTabSubmit::UpdateProgress() {
    const int range = manager_.ProgressRange();
    // A bar with an empty range would show Qt's busy animation instead of an empty bar.
    progress_->setRange(0, std::max(range, 1));
    progress_->setValue(range == 0 ? 0 : manager_.ProgressPosition());
}

}  // namespace twk::gui
