#include "editing/TabMessage.h"

#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <array>

#include "app/Browser.h"
#include "app/NewProfileDlg.h"
#include "app/QtText.h"
#include "editing/BBUrlDlg.h"
#include "editing/IdComboBox.h"
#include "storage/Database.h"
#include "storage/Tables.h"
#include "text/BBCode.h"
#include "text/Messages.h"
#include "text/StringTable.h"
#include "text/Unicode.h"

namespace twk::gui {
namespace {

constexpr LayoutEntry Row(int32_t control, int32_t left, int32_t top, int32_t right,
                          int32_t bottom) {
    return LayoutEntry{control, left, top, right, bottom, 0, 0};
}

constexpr int32_t kPage = kAnchorPage;
constexpr int32_t kFree = kAnchorFree;

constexpr std::array<LayoutEntry, 15> kLayout = {{
    Row(kIdNewProfile, kFree, kPage, kPage, kFree),
    Row(kIdDeleteProfile, kFree, kPage, kPage, kFree),
    Row(kIdNewMessage, kFree, kPage, kPage, kFree),
    Row(kIdDeleteMessage, kFree, kPage, kPage, kFree),
    Row(kIdProfileList, kPage, kPage, kPage, kFree),
    Row(kIdSubject, kPage, kPage, kPage, kFree),
    Row(kIdMessageList, kPage, kPage, kPage, kFree),
    Row(kIdBody, kPage, kPage, kPage, kPage),
    Row(kIdContinue, kFree, kFree, kPage, kPage),
    Row(kIdPreview, kPage, kFree, kFree, kPage),
    Row(kIdBold, kPage, kPage, kFree, kFree),
    Row(kIdItalic, kPage, kPage, kFree, kFree),
    Row(kIdUnderline, kPage, kPage, kFree, kFree),
    Row(kIdImage, kPage, kPage, kFree, kFree),
    Row(kIdUrl, kPage, kPage, kFree, kFree),
}};

}  // namespace

CTabMessage::CTabMessage(CTabHost& host, QWidget* parent) : CTabChildDlg(host, parent) {
    AddLabel(QStringLiteral("Profile:"), 9, 12, 30, 12);
    profile_list_ = AddControl(kIdProfileList, new CIdComboBox(true), 42, 12, 192, 12);
    profile_list_->setObjectName(QStringLiteral("profileList"));
    auto* new_profile =
        AddButton(kIdNewProfile, "newProfile", QStringLiteral("New Profile"), 240, 12, 66, 12);
    auto* delete_profile = AddButton(kIdDeleteProfile, "deleteProfile",
                                     QStringLiteral("Delete Profile"), 312, 12, 66, 12);

    AddLabel(QStringLiteral("Message:"), 3, 30, 36, 12);
    message_list_ = AddControl(kIdMessageList, new CIdComboBox(false), 42, 30, 192, 12);
    message_list_->setObjectName(QStringLiteral("messageList"));
    auto* new_message =
        AddButton(kIdNewMessage, "newMessage", QStringLiteral("New Message"), 240, 30, 66, 12);
    auto* delete_message = AddButton(kIdDeleteMessage, "deleteMessage",
                                     QStringLiteral("Delete Message"), 312, 30, 66, 12);

    AddLabel(QStringLiteral("Subject:"), 9, 48, 30, 12);
    subject_ = AddControl(kIdSubject, new QLineEdit, 42, 48, 336, 12);
    subject_->setObjectName(QStringLiteral("subject"));

    AddLabel(QStringLiteral("Message:"), 3, 72, 36, 12);
    auto* italic = AddButton(kIdItalic, "italic", QStringLiteral("I"), 48, 72, 22, 12);
    auto* bold = AddButton(kIdBold, "bold", QStringLiteral("B"), 78, 72, 22, 12);
    auto* underline = AddButton(kIdUnderline, "underline", QStringLiteral("U"), 108, 72, 22, 12);
    auto* image = AddButton(kIdImage, "image", QStringLiteral("IMG"), 144, 72, 22, 12);
    auto* url = AddButton(kIdUrl, "url", QStringLiteral("URL"), 174, 72, 22, 12);
    QFont bold_font = bold->font();
    QFont italic_font = bold_font;
    QFont underline_font = bold_font;
    bold_font.setWeight(QFont::Bold);
    italic_font.setItalic(true);
    underline_font.setUnderline(true);
    bold->setFont(bold_font);
    italic->setFont(italic_font);
    underline->setFont(underline_font);

    body_ = AddControl(kIdBody, new QPlainTextEdit, 42, 91, 438, 167);
    body_->setObjectName(QStringLiteral("body"));
    body_->setLineWrapMode(QPlainTextEdit::NoWrap);
    body_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    body_->setTabChangesFocus(true);

    auto* preview = AddButton(kIdPreview, "preview", QStringLiteral("Preview"), 48, 264, 42, 12);
    auto* next = AddButton(kIdContinue, "continue", QStringLiteral("Continue"), 420, 264, 42, 12);

    // activated, not currentIndexChanged: only the user's choice reloads the pages, not
    // the lists being filled by the program.
    connect(profile_list_, &QComboBox::activated, this, [this] { host_.RefreshPages(0); });
    connect(message_list_, &QComboBox::activated, this, [this] { host_.RefreshPages(1); });
    connect(new_profile, &QPushButton::clicked, this, &CTabMessage::NewProfile);
    connect(delete_profile, &QPushButton::clicked, this, &CTabMessage::DeleteProfile);
    connect(new_message, &QPushButton::clicked, this, &CTabMessage::NewMessage);
    connect(delete_message, &QPushButton::clicked, this, &CTabMessage::DeleteMessage);
    connect(next, &QPushButton::clicked, this, &CTabMessage::Continue);
    connect(italic, &QPushButton::clicked, this, [this] { InsertTag(kTagItalic); });
    connect(bold, &QPushButton::clicked, this, [this] { InsertTag(kTagBold); });
    connect(underline, &QPushButton::clicked, this, [this] { InsertTag(kTagUnderline); });
    connect(image, &QPushButton::clicked, this, [this] { InsertTag(kTagImage); });
    connect(url, &QPushButton::clicked, this, &CTabMessage::InsertUrl);
    connect(preview, &QPushButton::clicked, this, &CTabMessage::Preview);

    LoadProfileList(-1);
    FinishTemplate(488, 284);
}

QPushButton* CTabMessage::AddButton(int id, const char* name, const QString& text, int x, int y,
                                    int width, int height) {
    auto* button = AddControl(id, new QPushButton(text), x, y, width, height);
    button->setObjectName(QString::fromLatin1(name));
    // A focused button would otherwise take Enter as its own click inside the dialog.
    button->setAutoDefault(false);
    return button;
}

std::span<const LayoutEntry> CTabMessage::LayoutTable() const {
    return kLayout;
}

int CTabMessage::CurrentProfile(std::wstring& name) const {
    name = ToWide(profile_list_->GetSelectedText());
    return profile_list_->SelectedId();
}

void CTabMessage::LoadProfileList(int32_t select) {
    profile_list_->clear();
    ProfileList profiles;
    ListProfiles(profiles);
    for (const ProfileRecord& profile : profiles) {
        profile_list_->AddItem(ToQString(profile.name), profile.profile_id);
    }
    if (select == -1) {
        profile_list_->setCurrentIndex(profile_list_->count() > 0 ? 0 : -1);
    } else {
        profile_list_->SelectById(select);
    }
}

void CTabMessage::Refresh(int what) {
    std::wstring name;
    const int32_t profile = host_.GetCurrentProfile(name);
    if (what == 0) {
        MessageList messages;
        messages.LoadForProfile(profile);
        message_list_->clear();
        for (const MessageRecord& message : messages) {
            message_list_->AddItem(ToQString(message.subject), message.message_id);
        }
        // The blank entry stands for a new message.
        message_list_->InsertItemAt(0, QString(), -1);
        // The newest message is the one storage returns last.
        message_list_->setCurrentIndex(message_list_->count() - 1);
    }
    current_ = MessageRecord{};
    if (message_list_->currentIndex() >= 1) {
        LoadMessage(current_, message_list_->SelectedId());
    }
    current_.profile_id = profile;
    subject_->setText(ToQString(current_.subject));
    body_->setPlainText(FromStoredText(current_.msg));
    UpdateStates(profile);
}

void CTabMessage::UpdateStates(int32_t profile) {
    const bool has_profile = profile != -1;
    profile_list_->setEnabled(has_profile);
    message_list_->setEnabled(has_profile);
    Control(kIdNewMessage)->setEnabled(has_profile);
    subject_->setEnabled(has_profile);
    Control(kIdContinue)->setEnabled(has_profile);
    Control(kIdDeleteMessage)->setEnabled(message_list_->SelectedId() != -1);
    Control(kIdDeleteProfile)->setEnabled(profile_list_->SelectedId() != -1);
}

void CTabMessage::NewProfile() {
    CNewProfileDlg dialog(this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    const int32_t id = CopyProfile(dialog.name(), dialog.import_from());
    if (id == -1) {
        // Nothing was stored, so nothing was copied either; the lists are still right.
        ShowMessage(kIdsError, static_cast<QWidget*>(this), kMbIconError,
                    LoadFormatted(kIdsProfileNotCreated, dialog.name()));
        return;
    }
    LoadProfileList(id);
    host_.RefreshPages(0);
}

void CTabMessage::DeleteProfile() {
    if (ShowMessage(kIdsWarning, static_cast<QWidget*>(this), kMbOkCancel | kMbIconWarning,
                    LoadText(kIdsDeleteProfile)) != kIdOk) {
        return;
    }
    twk::DeleteProfile(profile_list_->SelectedId());
    LoadProfileList(-1);
    host_.RefreshPages(0);
}

void CTabMessage::NewMessage() {
    message_list_->setCurrentIndex(0);
    host_.RefreshPages(1);
}

void CTabMessage::DeleteMessage() {
    if (ShowMessage(kIdsWarning, static_cast<QWidget*>(this), kMbOkCancel | kMbIconWarning,
                    LoadText(kIdsDeleteMessage)) != kIdOk) {
        return;
    }
    twk::DeleteMessage(current_.message_id);
    message_list_->removeItem(message_list_->currentIndex());
    message_list_->setCurrentIndex(-1);
    host_.RefreshPages(1);
}

void CTabMessage::Continue() {
    const QString subject = subject_->text();
    if (subject.isEmpty()) {
        ShowMessage(0, static_cast<QWidget*>(this), kMbIconError, LoadText(kIdsEmptySubject));
        return;
    }
    current_.subject = ToWide(subject);
    current_.msg = ToStoredText(body_->toPlainText());
    if (SaveMessage(current_) == 0 && current_.message_id == -1) {
        current_.message_id = LastInsertId();
    }
    host_.RefreshPages(0);
    host_.ShowNextPage();
}

void CTabMessage::ReplaceSelection(const QString& text) {
    QTextCursor cursor = body_->textCursor();
    const int start = cursor.selectionStart();
    cursor.beginEditBlock();
    cursor.insertText(text);
    cursor.endEditBlock();
    cursor.setPosition(start);
    cursor.setPosition(start + static_cast<int>(text.size()), QTextCursor::KeepAnchor);
    body_->setTextCursor(cursor);
    body_->setFocus();
    body_->ensureCursorVisible();
}

namespace {

// The selection as plain text: Qt marks line breaks inside a selection with U+2029.
QString SelectedText(const QPlainTextEdit* edit) {
    QString text = edit->textCursor().selectedText();
    text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

}  // namespace

void CTabMessage::InsertTag(int row, const std::wstring& parameter) {
    ReplaceSelection(ToQString(MakeTag(row, ToWide(SelectedText(body_)), parameter)));
}

void CTabMessage::InsertUrl() {
    const UrlDialogFields start = UrlFieldsForSelection(ToWide(SelectedText(body_)));
    CBBUrlDlg dialog(ToQString(start.url), ToQString(start.text), this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    ReplaceSelection(ToQString(UrlTagFor({ToWide(dialog.url()), ToWide(dialog.text())})));
}

void CTabMessage::Preview() {
    const std::string page = WideToUtf8(MakePreviewPage(ToStoredText(body_->toPlainText())));
    const QString path = QDir(QDir::tempPath()).filePath(QStringLiteral("twkpreview.html"));
    QFile file(path);
    // An unwritable file is not reported: the browser then shows its own error or the
    // previous preview.
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(page.data(), static_cast<qint64>(page.size()));
        file.close();
    }
    OpenInBrowser(QUrl::fromLocalFile(path));
}

}  // namespace twk::gui
