#include "editing/ForumEditDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QUrl>

#include "app/Browser.h"
#include "app/DialogUnits.h"
#include "app/QtText.h"
#include "editing/IdComboBox.h"
#include "engines/ScriptNames.h"
#include "storage/Tables.h"
#include "submit/ResultText.h"
#include "submit/ScanDlg.h"
#include "text/Messages.h"
#include "text/StringTable.h"

namespace twk::gui {
namespace {

// The engines speak HTTP only, so an address without an http or https scheme and a host
// could never be signed in to.
bool IsForumAddress(const QString& text) {
    const QUrl url(text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() &&
           (scheme == QStringLiteral("http") || scheme == QStringLiteral("https")) &&
           !url.host().isEmpty();
}

void OpenAddress(const QString& text) {
    if (!text.isEmpty()) {
        OpenInBrowser(QUrl(text, QUrl::TolerantMode));
    }
}

}  // namespace

CForumEditDlg::CForumEditDlg(int32_t profileId, const ForumRecord& forum,
                             const SectionList& sections, QWidget* parent)
    : QDialog(parent), forum_(forum), sections_(sections), profile_id_(profileId) {
    setWindowTitle(QStringLiteral("Edit Forum"));
    DialogUnits units(font());
    setFixedSize(units.Size(418, 125));

    auto label = [&](const char* text, int x, int y, int width) {
        auto* widget = new QLabel(QString::fromLatin1(text), this);
        widget->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        widget->setGeometry(units.Rect(x, y, width, 12));
    };
    auto edit = [&](const char* name, int x, int y, int width) {
        auto* widget = new QLineEdit(this);
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(units.Rect(x, y, width, 12));
        return widget;
    };
    auto button = [&](const char* name, const char* text, int x, int y, int width, int height) {
        auto* widget = new QPushButton(QString::fromLatin1(text), this);
        widget->setObjectName(QString::fromLatin1(name));
        widget->setGeometry(units.Rect(x, y, width, height));
        widget->setAutoDefault(false);
        return widget;
    };

    label("Script:", 20, 6, 42);
    script_list_ = new CIdComboBox(true, this);
    script_list_->setObjectName(QStringLiteral("script"));
    script_list_->setGeometry(units.Rect(66, 6, 84, 12));
    label("Main Forum URL:", 8, 24, 54);
    main_url_ = edit("mainUrl", 66, 24, 306);
    auto* open_main = button("openMainUrl", "Open", 378, 24, 30, 12);
    label("Username:", 8, 42, 54);
    login_ = edit("username", 66, 42, 78);
    label("Password:", 158, 42, 54);
    password_ = edit("password", 216, 42, 78);
    password_->setEchoMode(QLineEdit::Password);
    label("Section:", 20, 60, 42);
    section_list_ = new CIdComboBox(false, this);
    section_list_->setObjectName(QStringLiteral("section"));
    section_list_->setGeometry(units.Rect(66, 60, 306, 12));
    auto* read = button("read", "Read", 378, 60, 30, 12);
    label("Section URL:", 8, 78, 54);
    section_url_ = edit("sectionUrl", 66, 78, 306);
    section_url_->setReadOnly(true);
    auto* open_section = button("openSectionUrl", "Open", 378, 78, 30, 12);
    auto* ok = button("ok", "OK", 153, 102, 50, 14);
    ok->setDefault(true);
    auto* cancel = button("cancel", "Cancel", 213, 102, 50, 14);

    for (const std::wstring& script : KnownScripts()) {
        script_list_->AddItem(ToQString(script), 0);
    }
    // A new forum (no engine) starts on the first script; an unknown one stays there too.
    script_list_->setCurrentIndex(0);
    const QString engine = ToQString(forum_.engine);
    for (int i = 0; i < script_list_->count(); ++i) {
        if (script_list_->itemText(i).startsWith(engine, Qt::CaseInsensitive)) {
            script_list_->setCurrentIndex(i);
            break;
        }
    }
    main_url_->setText(ToQString(forum_.main_url));
    login_->setText(ToQString(forum_.login));
    password_->setText(ToQString(forum_.pass));
    FillSectionList();
    if (section_list_->count() > 0) {
        section_list_->setCurrentIndex(0);
    }

    connect(section_list_, &QComboBox::currentIndexChanged, this, &CForumEditDlg::ShowSectionUrl);
    connect(open_main, &QPushButton::clicked, this, [this] { OpenAddress(main_url_->text()); });
    connect(open_section, &QPushButton::clicked, this,
            [this] { OpenAddress(section_url_->text()); });
    connect(read, &QPushButton::clicked, this, &CForumEditDlg::Read);
    connect(ok, &QPushButton::clicked, this, &CForumEditDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CForumEditDlg::reject);
}

bool CForumEditDlg::CheckInput(bool sectionRequired) {
    const QString main_url = main_url_->text();
    const QString login = login_->text();
    const QString password = password_->text();
    int failure = 0;
    if (!IsForumAddress(main_url)) {
        failure = kIdsInvalidMainUrl;
    } else if (login.isEmpty()) {
        failure = kIdsLoginMandatory;
    } else if (password.isEmpty()) {
        failure = kIdsPasswordMandatory;
    }
    if (failure != 0) {
        ShowMessage(kIdsError, static_cast<QWidget*>(this), kMbIconError, LoadText(failure));
        return false;
    }
    forum_.main_url = ToWide(main_url);
    forum_.login = ToWide(login);
    forum_.pass = ToWide(password);
    forum_.engine = ToWide(script_list_->GetSelectedText());

    const int chosen = section_list_->SelectedId();
    if (section_list_->currentIndex() >= 0 && chosen >= 0 &&
        static_cast<size_t>(chosen) < sections_.size()) {
        selected_section_ = sections_[static_cast<size_t>(chosen)];
        return true;
    }
    if (sectionRequired) {
        ShowMessage(kIdsError, static_cast<QWidget*>(this), kMbIconError, LoadText(kIdsNoSection));
        return false;
    }
    return true;
}

void CForumEditDlg::accept() {
    if (CheckInput(true)) {
        QDialog::accept();
    }
}

void CForumEditDlg::FillSectionList() {
    {
        QSignalBlocker blocker(section_list_);
        section_list_->clear();
        int select = sections_.empty() ? -1 : 0;
        for (size_t i = 0; i < sections_.size(); ++i) {
            section_list_->AddItem(ToQString(sections_[i].title), static_cast<int32_t>(i));
            // The last entry with the chosen key wins, as a search from the top would leave it.
            if (sections_[i].key == selected_section_.key) {
                select = static_cast<int>(i);
            }
        }
        section_list_->setCurrentIndex(select);
    }
    ShowSectionUrl();
    // A single section is shown chosen but cannot be changed.
    section_list_->setEnabled(section_list_->count() > 1);
}

void CForumEditDlg::ShowSectionUrl() {
    const int chosen = section_list_->SelectedId();
    if (section_list_->currentIndex() < 0 || chosen < 0 ||
        static_cast<size_t>(chosen) >= sections_.size()) {
        section_url_->clear();
        return;
    }
    section_url_->setText(ToQString(sections_[static_cast<size_t>(chosen)].url));
}

void CForumEditDlg::Read() {
    if (!CheckInput(false)) {
        return;
    }
    ConnectionOptions connection;
    LoadConnectionOptions(connection, profile_id_);
    CScanDlg scan(forum_, sections_, this);
    scan.SetConnection(connection);
    scan.SetSleeper(sleeper_);
    scan.exec();
    if (scan.scan_result() != kOk) {
        ShowMessage(kIdsError, static_cast<QWidget*>(this), kMbIconError,
                    ResultText(scan.scan_result(), scan.scan_failure_text(), forum_.engine));
        return;
    }
    FillSectionList();
}

}  // namespace twk::gui
