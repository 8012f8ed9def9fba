#include "app/MessageBoxHost.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDialog>
#include <QMessageBox>

#include "support/GuiTest.h"

namespace twk::gui {
namespace {

// Messages quote names and texts that users and boards chose; markup in them is text.
TEST(MessageBoxHost, ShowsTheTextAsTypedAndAnswersWithTheButtonPressed) {
    const QString typed = QStringLiteral("Profile <b>x</b> &amp; <i>y</i> could not be created.");
    const struct {
        unsigned type;
        QMessageBox::StandardButton pressed;
        int answer;
    } rows[] = {
        {kMbOk | kMbIconError, QMessageBox::Ok, kIdOk},
        {kMbOkCancel | kMbIconWarning, QMessageBox::Cancel, kIdCancel},
    };
    for (const auto& row : rows) {
        test::WhenModal([&](QDialog* dialog) {
            auto* box = qobject_cast<QMessageBox*>(dialog);
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->textFormat(), Qt::PlainText);
            EXPECT_EQ(box->text(), typed);
            EXPECT_EQ(box->windowTitle(), QStringLiteral("<i>Caption</i>"));
            box->button(row.pressed)->click();
        });
        MessageBoxHost host;
        EXPECT_EQ(host.Show(L"<i>Caption</i>", nullptr, row.type, typed.toStdWString()),
                  row.answer);
    }
}

}  // namespace
}  // namespace twk::gui
