#include "app/MainDlg.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QMenuBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>

#include "app/AboutDlg.h"
#include "app/Browser.h"
#include "app/DialogUnits.h"
#include "app/OptionsDlg.h"
#include "app/QtText.h"
#include "editing/TabMessage.h"
#include "platform/ProgramDirectory.h"
#include "storage/Backup.h"
#include "submit/TabSubmit.h"
#include "text/StringTable.h"

namespace twk::gui {
namespace {

constexpr int kMessageTab = 0;
constexpr int kSubmitTab = 1;

// Asks for a database file; empty when the user cancelled. Saving asks before it
// overwrites an existing file; opening accepts existing files only.
QString ChooseDatabaseFile(QWidget* owner, QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptSave ? QFileDialog::AnyFile
                                                       : QFileDialog::ExistingFile);
    dialog.setDefaultSuffix(QStringLiteral("db"));
    dialog.setNameFilter(QStringLiteral("TWK Database (*.db)"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return {};
    }
    return dialog.selectedFiles().constFirst();
}

}  // namespace

CMainDlg::CMainDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Tallowick"));
    setWindowIcon(QIcon(QStringLiteral(":/tallowick.png")));
    setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);

    auto* menu_bar = new QMenuBar(this);
    QMenu* file = menu_bar->addMenu(QStringLiteral("File"));
    connect(file->addAction(QStringLiteral("Options")), &QAction::triggered, this,
            &CMainDlg::OnOptions);
    file->addSeparator();
    backup_action_ = file->addAction(QStringLiteral("Backup Database"));
    restore_action_ = file->addAction(QStringLiteral("Restore Database"));
    connect(backup_action_, &QAction::triggered, this, &CMainDlg::OnBackup);
    connect(restore_action_, &QAction::triggered, this, &CMainDlg::OnRestore);
    file->addSeparator();
    connect(file->addAction(QStringLiteral("Exit")), &QAction::triggered, this, &QDialog::reject);
    connect(file, &QMenu::aboutToShow, this, &CMainDlg::UpdateDatabaseCommands);
    QMenu* help = menu_bar->addMenu(QStringLiteral("Help"));
    connect(help->addAction(QStringLiteral("About")), &QAction::triggered, this,
            &CMainDlg::OnAbout);
    connect(help->addAction(QStringLiteral("Home Page")), &QAction::triggered, this,
            [] { OpenInBrowser(QUrl(QString::fromLatin1(kHomePageUrl))); });

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName(QStringLiteral("tabs"));
    message_ = new CTabMessage(*this);
    submit_ = new CTabSubmit(*this);
    message_->setObjectName(QStringLiteral("messagePage"));
    submit_->setObjectName(QStringLiteral("submitPage"));
    tabs_->addTab(message_, Text(kIdsTabMessage));
    tabs_->addTab(submit_, Text(kIdsTabSubmit));
    tabs_->setCurrentIndex(kMessageTab);
    current_ = message_;

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menu_bar);
    layout->addWidget(tabs_);

    // The template's size; the minimum keeps the page's fixed controls from piling up.
    DialogUnits units(font());
    resize(units.Size(500, 310));
    setMinimumSize(units.Size(328, 230));

    connect(tabs_, &QTabWidget::currentChanged, this, &CMainDlg::OnPageSwitch);

    message_->Refresh(0);
    submit_->Refresh(0);
}

int CMainDlg::GetCurrentProfile(std::wstring& name) {
    return message_->CurrentProfile(name);
}

const MessageRecord& CMainDlg::CurrentMessage() {
    return message_->current();
}

void CMainDlg::ShowNextPage() {
    if (current_ == message_) {
        tabs_->setCurrentIndex(kSubmitTab);
        return;
    }
    message_->NewMessage();
    tabs_->setCurrentIndex(kMessageTab);
}

void CMainDlg::RefreshPages(int what) {
    message_->Refresh(what);
    submit_->Refresh(what);
}

void CMainDlg::OnPageSwitch(int index) {
    // While jobs run the Submit page is where their progress is; leaving it is refused.
    if (submit_->running_jobs() > 0 && index != kSubmitTab) {
        QSignalBlocker blocker(tabs_);
        tabs_->setCurrentIndex(kSubmitTab);
        return;
    }
    current_ = static_cast<CTabChildDlg*>(tabs_->widget(index));
    current_->setFocus();
    current_->OnActivatePage(true);
}

void CMainDlg::UpdateDatabaseCommands() {
    const bool idle = submit_->running_jobs() == 0;
    backup_action_->setEnabled(idle);
    restore_action_->setEnabled(idle);
}

void CMainDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Escape:
            event->accept();
            return;
        default:
            QDialog::keyPressEvent(event);
    }
}

void CMainDlg::OnOptions() {
    std::wstring name;
    const int32_t profile = GetCurrentProfile(name);
    COptionsDlg dialog(profile, name, this);
    dialog.exec();
}

void CMainDlg::OnAbout() {
    CAboutDlg dialog(this);
    dialog.exec();
}

void CMainDlg::OnBackup() {
    const QString file = ChooseDatabaseFile(this, QFileDialog::AcceptSave);
    if (!file.isEmpty()) {
        BackupTo(file);
    }
}

void CMainDlg::OnRestore() {
    const QString file = ChooseDatabaseFile(this, QFileDialog::AcceptOpen);
    if (!file.isEmpty()) {
        RestoreFrom(file);
    }
}

void CMainDlg::BackupTo(const QString& file) {
    BackupDatabase(GetDatabasePath(), ToPath(file), static_cast<QWidget*>(this));
}

void CMainDlg::RestoreFrom(const QString& file) {
    switch (RestoreDatabase(GetDatabasePath(), ToPath(file), static_cast<QWidget*>(this))) {
        case RestoreOutcome::kRestored:
            // Everything the pages hold was read from the previous file: read it all again
            // so that nothing of it is written into the restored one.
            message_->LoadProfileList(-1);
            RefreshPages(0);
            break;
        case RestoreOutcome::kUnchanged:
            break;
        case RestoreOutcome::kMustEnd:
            // The previous database is back in place for the next start, but there is no
            // open database to go on with.
            QMetaObject::invokeMethod(this, &QDialog::reject, Qt::QueuedConnection);
            break;
    }
}

}  // namespace twk::gui
