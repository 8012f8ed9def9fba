#pragma once

#include <QDialog>

#include "editing/TabHost.h"

class QAction;
class QTabWidget;

namespace twk::gui {

class CTabChildDlg;
class CTabMessage;
class CTabSubmit;

// The program's window: a menu and the two tab pages, Message and Submit. Run modally by
// main(); closing it ends the program. While submit jobs run it keeps the Submit page
// shown and the database commands greyed.
class CMainDlg : public QDialog, public CTabHost {
    Q_OBJECT

public:
    explicit CMainDlg(QWidget* parent = nullptr);

    int GetCurrentProfile(std::wstring& name) override;
    const MessageRecord& CurrentMessage() override;
    void ShowNextPage() override;
    void RefreshPages(int what) override;

    CTabMessage& message_page() const { return *message_; }
    CTabSubmit& submit_page() const { return *submit_; }

    // The File menu's database commands once the user has chosen a file.
    void BackupTo(const QString& file);
    void RestoreFrom(const QString& file);

protected:
    // Enter and Escape never close the window: only Exit and the close box do.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void OnPageSwitch(int index);
    void UpdateDatabaseCommands();
    void OnOptions();
    void OnBackup();
    void OnRestore();
    void OnAbout();

    QTabWidget* tabs_;
    CTabMessage* message_;
    CTabSubmit* submit_;
    CTabChildDlg* current_;
    QAction* backup_action_;
    QAction* restore_action_;
};

}  // namespace twk::gui
