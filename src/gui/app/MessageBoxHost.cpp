#include "app/MessageBoxHost.h"

#include <QMessageBox>
#include <QWidget>

#include "app/QtText.h"

namespace twk::gui {

int MessageBoxHost::Show(const std::wstring& caption, void* owner, unsigned type,
                         const std::wstring& text) {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type & 0xF0) {
        case kMbIconError:
            icon = QMessageBox::Critical;
            break;
        case kMbIconWarning:
            icon = QMessageBox::Warning;
            break;
        case kMbIconInformation:
            icon = QMessageBox::Information;
            break;
        default:
            break;
    }
    bool ok_cancel = (type & 0x0F) == kMbOkCancel;
    QString body = ToQString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(icon, ToQString(caption), body,
                    ok_cancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok,
                    static_cast<QWidget*>(owner));
    // Messages carry profile names, forum titles and boards' own failure texts: left to
    // guess, Qt would draw a name like "<b>x</b>" as markup.
    box.setTextFormat(Qt::PlainText);
    return box.exec() == QMessageBox::Ok ? kIdOk : kIdCancel;
}

}  // namespace twk::gui
