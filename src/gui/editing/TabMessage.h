#pragma once

#include "editing/TabChildDlg.h"
#include "storage/Records.h"

class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace twk::gui {

class CIdComboBox;

// Template ids of the Message page's controls.
enum MessagePageControl : int {
    kIdProfileList = 1005,
    kIdNewProfile = 1006,
    kIdSubject = 1007,
    kIdContinue = 1008,
    kIdBody = 1009,
    kIdPreview = 1010,
    kIdDeleteProfile = 1011,
    kIdMessageList = 1012,
    kIdDeleteMessage = 1014,
    kIdItalic = 1025,
    kIdBold = 1026,
    kIdNewMessage = 1027,
    kIdUnderline = 1028,
    kIdImage = 1029,
    kIdUrl = 1030,
};

// The first tab page: the current profile and message, their editing with BBCode buttons
// and a preview, and Continue to the Submit page. Its profile list is the program's
// current profile; its current message is what the Submit page submits.
class CTabMessage : public CTabChildDlg {
    Q_OBJECT

public:
    explicit CTabMessage(CTabHost& host, QWidget* parent = nullptr);

    void Refresh(int what) override;

    // The selected profile: its id (and name), or -1 and an empty name.
    int CurrentProfile(std::wstring& name) const;
    // The message shown in the editor; id -1 while it is new and unsaved.
    const MessageRecord& current() const { return current_; }

    // Refills the profile list from storage, selecting select (-1: the first entry).
    // Does not refresh the pages.
    void LoadProfileList(int32_t select);

    // The page's actions, also reachable from its buttons.
    void NewProfile();
    void DeleteProfile();
    void NewMessage();
    void DeleteMessage();
    void Continue();
    // Wraps the body's selection in the tag of a tag-table row, as one undoable edit.
    void InsertTag(int row, const std::wstring& parameter = {});
    void InsertUrl();
    void Preview();

protected:
    std::span<const LayoutEntry> LayoutTable() const override;

private:
    void UpdateStates(int32_t profile);
    // Replaces the body's selection with text and selects what was inserted.
    void ReplaceSelection(const QString& text);
    QPushButton* AddButton(int id, const char* name, const QString& text, int x, int y, int width,
                           int height);

    MessageRecord current_;
    CIdComboBox* profile_list_;
    CIdComboBox* message_list_;
    QLineEdit* subject_;
    QPlainTextEdit* body_;
};

}  // namespace twk::gui
