#include "editing/ForumMultiEditDlg.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/DialogUnits.h"

namespace twk::gui {

CForumMultiEditDlg::CForumMultiEditDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Edit selected sites"));
    DialogUnits units(font());
    setFixedSize(units.Size(175, 71));

    auto row = [&](const char* box_name, const char* box_text, const char* edit_name, int y,
                   QCheckBox*& box, QLineEdit*& edit) {
        box = new QCheckBox(QString::fromLatin1(box_text), this);
        box->setObjectName(QString::fromLatin1(box_name));
        box->setGeometry(units.Rect(7, y, 75, 12));
        edit = new QLineEdit(this);
        edit->setObjectName(QString::fromLatin1(edit_name));
        edit->setGeometry(units.Rect(84, y, 84, 12));
        // A field counts only while its box is ticked.
        edit->setEnabled(false);
        connect(box, &QCheckBox::toggled, edit, &QLineEdit::setEnabled);
    };
    row("changeUsername", "Change Username:", "username", 7, username_box_, username_edit_);
    row("changePassword", "Change Password:", "password", 25, password_box_, password_edit_);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(units.Rect(31, 51, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setGeometry(units.Rect(93, 51, 50, 14));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &CForumMultiEditDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CForumMultiEditDlg::reject);
}

void CForumMultiEditDlg::accept() {
    change_username_ = username_box_->isChecked();
    change_password_ = password_box_->isChecked();
    username_ = username_edit_->text();
    password_ = password_edit_->text();
    QDialog::accept();
}

}  // namespace twk::gui
