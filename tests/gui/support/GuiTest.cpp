#include "support/GuiTest.h"

#include <QApplication>
#include <QDialog>
#include <QTimer>

#include "app/Browser.h"
#include "storage/Database.h"
#include "storage/DatabaseCreator.h"
#include "storage/Tables.h"

namespace twk::test {

GuiTest::GuiTest() : database(dir / "twk.db") {
    std::wstring error;
    if (!CreateDatabase(database, error) || !OpenDatabase(database)) {
        ADD_FAILURE() << "cannot create the test database";
    }
    gui::SetBrowserForTesting([this](const QUrl& url) { opened_urls.append(url); });
}

GuiTest::~GuiTest() {
    gui::SetBrowserForTesting({});
    CloseConnection();
}

namespace {

void PollForModal(std::function<void(QDialog*)> action, int attempts_left) {
    if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        action(dialog);
        return;
    }
    if (attempts_left == 0) {
        ADD_FAILURE() << "no modal dialog was shown";
        return;
    }
    QTimer::singleShot(10, [action = std::move(action), attempts_left] {
        PollForModal(action, attempts_left - 1);
    });
}

}  // namespace

void WhenModal(std::function<void(QDialog*)> action) {
    // About ten seconds: a dialog that takes longer has not been opened at all.
    QTimer::singleShot(0, [action = std::move(action)] { PollForModal(action, 1000); });
}

int32_t MakeProfile(const std::wstring& name, int forums) {
    if (InsertProfile(ProfileRecord{-1, name}) != 0) {
        ADD_FAILURE() << "cannot insert a profile";
        return -1;
    }
    const int32_t id = LastInsertId();
    std::vector<ForumRecord> list;
    for (int i = 0; i < forums; ++i) {
        ForumRecord forum;
        forum.profile_id = id;
        forum.engine = L"phpBB";
        forum.main_url = L"http://forum" + std::to_wstring(i) + L".test/";
        forum.title = name + L" forum " + std::to_wstring(i);
        forum.login = L"user";
        forum.pass = L"secret";
        list.push_back(forum);
    }
    SaveForums(list, false);
    SetOptionText(id, OptThreadCount, L"3");
    SetOptionInt(OptConnectionMode, kConnectionProxy, id);
    return id;
}

}  // namespace twk::test
