#include "editing/FilterDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "app/DialogUnits.h"

namespace twk::gui {

CFilterDlg::CFilterDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Select Forums"));
    DialogUnits units(font());
    setFixedSize(units.Size(174, 49));

    auto* label = new QLabel(QStringLiteral("Text:"), this);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(units.Rect(7, 7, 46, 12));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("text"));
    edit_->setGeometry(units.Rect(56, 7, 111, 12));

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(units.Rect(29, 28, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setGeometry(units.Rect(95, 28, 50, 14));
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &CFilterDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &CFilterDlg::reject);
    edit_->setFocus();
}

void CFilterDlg::accept() {
    text_ = edit_->text();
    QDialog::accept();
}

}  // namespace twk::gui
