#include "app/AboutDlg.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>

#include "app/Browser.h"
#include "app/DialogUnits.h"
#include "platform/Versions.h"

namespace twk::gui {

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("About TWK"));
    DialogUnits units(font());
    setFixedSize(units.Size(170, 89));

    auto* icon = new QLabel(this);
    const QRect icon_rect = units.Rect(14, 14, 21, 20);
    icon->setGeometry(icon_rect);
    icon->setPixmap(QApplication::windowIcon().pixmap(icon_rect.size()));

    // Plain text: an ampersand in the name or notice is shown, not taken as a mnemonic.
    // The build's own version (the CMake project's), the one the package carries too.
    auto* name = new QLabel(
        QStringLiteral("Tallowick ") + QString::fromStdString(twk::ProgramVersion()), this);
    name->setObjectName(QStringLiteral("productName"));
    name->setTextFormat(Qt::PlainText);
    name->setGeometry(units.Rect(42, 14, 114, 8));
    auto* notice = new QLabel(QStringLiteral("Copyright (C) 2024 Brennholt Inc"), this);
    notice->setObjectName(QStringLiteral("legalNotice"));
    notice->setTextFormat(Qt::PlainText);
    notice->setGeometry(units.Rect(42, 26, 114, 8));

    const QString home = QString::fromLatin1(kHomePageUrl);
    auto* link =
        new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(home.toHtmlEscaped()), this);
    link->setObjectName(QStringLiteral("homePage"));
    link->setTextFormat(Qt::RichText);
    link->setGeometry(units.Rect(19, 52, 136, 11));
    connect(link, &QLabel::linkActivated, this,
            [](const QString& url) { OpenInBrowser(QUrl(url)); });

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setGeometry(units.Rect(113, 68, 50, 14));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

}  // namespace twk::gui
