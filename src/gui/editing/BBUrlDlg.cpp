#include "editing/BBUrlDlg.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "app/DialogUnits.h"

namespace twk::gui {

CBBUrlDlg::CBBUrlDlg(const QString& url, const QString& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("URL"));
    DialogUnits units(font());
    setFixedSize(units.Size(274, 82));

    auto* url_label = new QLabel(QStringLiteral("URL:"), this);
    url_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    url_label->setGeometry(units.Rect(0, 10, 23, 12));
    url_edit_ = new QLineEdit(url, this);
    url_edit_->setObjectName(QStringLiteral("url"));
    url_edit_->setGeometry(units.Rect(26, 10, 240, 12));

    auto* text_label = new QLabel(QStringLiteral("Text:"), this);
    text_label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    text_label->setGeometry(units.Rect(0, 28, 24, 12));
    text_edit_ = new QPlainTextEdit(text, this);
    text_edit_->setObjectName(QStringLiteral("text"));
    text_edit_->setGeometry(units.Rect(26, 28, 240, 26));
    text_edit_->setTabChangesFocus(true);
    text_edit_->installEventFilter(this);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setGeometry(units.Rect(78, 63, 50, 14));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setGeometry(units.Rect(138, 63, 50, 14));
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    // With an address already known the user only has to type the text.
    if (url.isEmpty()) {
        url_edit_->setFocus();
    } else {
        text_edit_->setFocus();
    }
}

QString CBBUrlDlg::url() const {
    return url_edit_->text();
}

QString CBBUrlDlg::text() const {
    return text_edit_->toPlainText();
}

bool CBBUrlDlg::eventFilter(QObject* watched, QEvent* event) {
    // The text field takes several lines when pasted, but Enter confirms the dialog as in
    // every other field.
    if (watched == text_edit_ && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
            (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            accept();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace twk::gui
