#pragma once

#include <QDialog>
#include <cstdint>

#include "engines/ForumEngine.h"
#include "storage/Records.h"

class QLineEdit;
class QPushButton;

namespace twk {
class Sleeper;
}

namespace twk::gui {

class CIdComboBox;

// "Edit Forum": the script, main address, user name and password of one forum, and the
// section to post into, picked from the sections a forum scan (Read) found. The dialog
// only collects and checks; on OK the Submit page stores the forum.
class CForumEditDlg : public QDialog {
    Q_OBJECT

public:
    // forum and sections are what the dialog starts with: empty for a new forum, the
    // stored values and a list of the stored section for an existing one. profileId gives
    // the connection options for the scan.
    CForumEditDlg(int32_t profileId, const ForumRecord& forum, const SectionList& sections,
                  QWidget* parent = nullptr);

    // After OK: the forum with the entered engine, main_url, login and pass and the
    // title the last scan found; the chosen section.
    const ForumRecord& forum() const { return forum_; }
    const SectionList& sections() const { return sections_; }
    const SectionRecord& selected_section() const { return selected_section_; }

    // The engines' pauses during a scan; null means real sleeps. For tests.
    void SetSleeper(Sleeper* sleeper) { sleeper_ = sleeper; }

    // Read: checks the input without a section, then scans the forum.
    void Read();

public slots:
    void accept() override;

private:
    // Checks the fields in order and reports only the first failure; on success the
    // values are in forum_ and the chosen section (if any) in selected_section_.
    bool CheckInput(bool sectionRequired);
    void FillSectionList();
    void ShowSectionUrl();

    ForumRecord forum_;
    SectionList sections_;
    SectionRecord selected_section_;
    int32_t profile_id_;
    Sleeper* sleeper_ = nullptr;

    CIdComboBox* script_list_;
    QLineEdit* main_url_;
    QLineEdit* login_;
    QLineEdit* password_;
    CIdComboBox* section_list_;
    QLineEdit* section_url_;
};

}  // namespace twk::gui
