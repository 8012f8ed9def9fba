#pragma once

#include <QDialog>

class QCheckBox;
class QLineEdit;

namespace twk::gui {

// "Edit selected sites": a new user name, a new password, or both, for the forums
// selected on the Submit page (its Password Changer). Collects only; the page applies the
// values to the forums when the dialog ends with OK.
class CForumMultiEditDlg : public QDialog {
    Q_OBJECT

public:
    explicit CForumMultiEditDlg(QWidget* parent = nullptr);

    // Set on OK from the boxes and fields; a field whose box is clear does not count.
    bool change_username() const { return change_username_; }
    bool change_password() const { return change_password_; }
    QString username() const { return username_; }
    QString password() const { return password_; }

public slots:
    void accept() override;

private:
    QCheckBox* username_box_;
    QCheckBox* password_box_;
    QLineEdit* username_edit_;
    QLineEdit* password_edit_;
    bool change_username_ = false;
    bool change_password_ = false;
    QString username_;
    QString password_;
};

}  // namespace twk::gui
