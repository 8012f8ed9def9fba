// The Submit page's commands on the forums of its list.
#include <QUrl>
#include <unordered_set>

#include "app/Browser.h"
#include "app/QtText.h"
#include "editing/FilterDlg.h"
#include "editing/ForumEditDlg.h"
#include "editing/ForumMultiEditDlg.h"
#include "submit/SubmitListCtrl.h"
#include "submit/SubmitLog.h"
#include "submit/TabSubmit.h"
#include "text/Messages.h"
#include "text/StringTable.h"

namespace twk::gui {

void CTabSubmit::AddForum() {
    EditForum(-1);
}

void CTabSubmit::EditForum(int row) {
    std::wstring name;
    const int32_t profile = host_.GetCurrentProfile(name);
    ForumRecord forum;
    SectionList sections;
    if (row >= 0) {
        const ForumRecord* listed = manager_.FindForum(model_.ForumIdAt(row));
        if (listed == nullptr) {
            return;
        }
        forum = *listed;
        // The stored section is the only choice until a scan finds the others.
        sections.push_back(SectionRecord{forum.forum_key, forum.forum_title, forum.forum_key});
    } else {
        forum.profile_id = profile;
    }
    CForumEditDlg dialog(profile, forum, sections, this);
    dialog.SetSleeper(sleeper_);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const ForumRecord& entered = dialog.forum();
    forum.main_url = entered.main_url;
    forum.title = entered.title;
    forum.engine = entered.engine;
    forum.login = entered.login;
    forum.pass = entered.pass;
    forum.forum_key = dialog.selected_section().key;
    forum.forum_title = dialog.selected_section().title;
    manager_.SaveForum(forum);
    list_->SetFocusedRow(model_.RowOfForum(forum.forum_id));
}

void CTabSubmit::DeleteForums() {
    if (ShowMessage(kIdsWarning, static_cast<QWidget*>(this), kMbOkCancel | kMbIconWarning,
                    LoadText(kIdsDeleteForums)) != kIdOk) {
        return;
    }
    const std::vector<int32_t> ids = list_->SelectedForumIds();
    if (ids.empty()) {
        return;
    }
    // The rows go first: they are matched to forums through the manager's lists.
    model_.RemoveForums(std::unordered_set<int32_t>(ids.begin(), ids.end()));
    manager_.DeleteForums(ids);
    UpdateListButtons();
}

void CTabSubmit::StartRun() {
    manager_.StartRun();
}

void CTabSubmit::StopRun() {
    manager_.StopRun();
}

void CTabSubmit::UpdateTopics() {
    manager_.StartUpdate();
}

void CTabSubmit::CheckReplies() {
    manager_.StartReplyCheck();
}

void CTabSubmit::OpenNewestReply() {
    const int32_t forum_id = model_.ForumIdAt(list_->FocusedRow());
    const TopicRecord* topic = manager_.FindTopic(forum_id);
    const SubmitRecord* result = manager_.FindResult(forum_id);
    if (topic == nullptr || result == nullptr) {
        return;
    }
    const std::wstring& page = topic->newest_url.empty() ? result->thread : topic->newest_url;
    if (!page.empty()) {
        OpenInBrowser(QUrl(ToQString(page), QUrl::TolerantMode));
    }
}

void CTabSubmit::Resubmit() {
    manager_.Resubmit(list_->SelectedForumIds());
}

void CTabSubmit::OpenForum() {
    const ForumRecord* forum = manager_.FindForum(model_.ForumIdAt(list_->FocusedRow()));
    if (forum != nullptr && !forum->main_url.empty()) {
        OpenInBrowser(QUrl(ToQString(forum->main_url), QUrl::TolerantMode));
    }
}

void CTabSubmit::OpenResult() {
    const SubmitRecord* result = manager_.FindResult(model_.ForumIdAt(list_->FocusedRow()));
    if (result == nullptr) {
        return;
    }
    if (!result->thread.empty()) {
        OpenInBrowser(QUrl(ToQString(result->thread), QUrl::TolerantMode));
        return;
    }
    // Without a topic the log shows what the forum answered instead.
    const std::filesystem::path log = LogFilePath(result->forum_id, result->message_id);
    OpenInBrowser(QUrl::fromLocalFile(FromPath(log)));
}

void CTabSubmit::PasswordChanger() {
    CForumMultiEditDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted ||
        (!dialog.change_username() && !dialog.change_password())) {
        return;
    }
    std::optional<std::wstring> login;
    std::optional<std::wstring> password;
    if (dialog.change_username()) {
        login = ToWide(dialog.username());
    }
    if (dialog.change_password()) {
        password = ToWide(dialog.password());
    }
    manager_.ChangeCredentials(list_->SelectedForumIds(), login, password);
}

void CTabSubmit::Find() {
    CFilterDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const QString wanted = dialog.text().toLower();
    std::vector<int> rows;
    for (int row = 0; row < model_.rowCount(); ++row) {
        if (model_.CellText(row, kColumnForum).toLower().contains(wanted)) {
            rows.push_back(row);
        }
    }
    list_->SelectRows(rows);
    list_->SortByColumn(kSortBySelection, Qt::AscendingOrder);
    list_->scrollToTop();
    ShowMessage(kIdsBlankCaption, static_cast<QWidget*>(this), kMbIconInformation,
                LoadFormatted(kIdsItemsFound, static_cast<int>(rows.size())));
}

}  // namespace twk::gui
