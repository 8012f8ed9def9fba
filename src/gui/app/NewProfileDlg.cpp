#include "app/NewProfileDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/DialogUnits.h"
#include "app/QtText.h"
#include "editing/IdComboBox.h"
#include "storage/Tables.h"
#include "text/Messages.h"
#include "text/StringTable.h"

namespace twk::gui {

CNewProfileDlg::CNewProfileDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("New Profile"));
    DialogUnits units(font());
    setFixedSize(units.Size(190, 77));

    auto* name_label = new QLabel(QStringLiteral("Profile Name:"), this);
    name_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    name_label->setGeometry(units.Rect(6, 6, 54, 12));
    name_edit_ = new QLineEdit(this);
    name_edit_->setObjectName(QStringLiteral("name"));
    name_edit_->setGeometry(units.Rect(66, 6, 102, 12));

    auto* import_label = new QLabel(QStringLiteral("Import from:"), this);
    import_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    import_label->setGeometry(units.Rect(18, 25, 42, 12));
    import_list_ = new CIdComboBox(true, this);
    import_list_->setObjectName(QStringLiteral("importFrom"));
    import_list_->setGeometry(units.Rect(66, 25, 102, 12));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(units.Rect(24, 54, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setGeometry(units.Rect(96, 54, 50, 14));
    connect(ok, &QPushButton::clicked, this, &CNewProfileDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    ListProfiles(profiles_);
    for (const ProfileRecord& profile : profiles_) {
        import_list_->AddItem(ToQString(profile.name), profile.profile_id);
    }
    // By default nothing is imported.
    import_list_->InsertItemAt(0, QString(), -1);
    import_list_->setCurrentIndex(0);
    name_edit_->setFocus();
}

void CNewProfileDlg::accept() {
    name_ = ToWide(name_edit_->text());
    if (name_.empty()) {
        ShowMessage(kIdsError, static_cast<QWidget*>(this), kMbIconError,
                    LoadText(kIdsNoProfileName));
        return;
    }
    // Exact comparison: names that differ in letter case or blanks are different names.
    for (const ProfileRecord& profile : profiles_) {
        if (profile.name == name_) {
            ShowMessage(kIdsError, static_cast<QWidget*>(this), kMbIconError,
                        LoadFormatted(kIdsProfileExists, name_));
            return;
        }
    }
    import_from_ = import_list_->SelectedId();
    QDialog::accept();
}

}  // namespace twk::gui
