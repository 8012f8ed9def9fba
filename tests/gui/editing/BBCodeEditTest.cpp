#include <gtest/gtest.h>

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>

#include "app/MainDlg.h"
#include "editing/TabMessage.h"
#include "support/GuiTest.h"
#include "text/BBCode.h"

namespace twk::gui {
namespace {

class BBCodeEditTest : public test::GuiTest {
protected:
    BBCodeEditTest()
        : body(window.message_page().findChild<QPlainTextEdit*>(QStringLiteral("body"))) {}

    // Puts text in the body and selects from start to end.
    void SetBody(const QString& text, int start, int end) {
        body->setPlainText(text);
        QTextCursor cursor = body->textCursor();
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        body->setTextCursor(cursor);
    }
    QString Selected() const { return body->textCursor().selectedText(); }

    CMainDlg window;
    QPlainTextEdit* body;
};

TEST_F(BBCodeEditTest, TagButtonsWrapTheSelectionAndSelectTheResult) {
    struct Row {
        const char* button;
        QString before;
        int start, end;
        QString after;
        QString selected;
    };
    const Row rows[] = {
        {"bold", QStringLiteral("x abc y"), 2, 5, QStringLiteral("x [b]abc[/b] y"),
         QStringLiteral("[b]abc[/b]")},
        {"italic", QStringLiteral("abc"), 3, 3, QStringLiteral("abc[i][/i]"),
         QStringLiteral("[i][/i]")},
        {"underline", QStringLiteral("abc"), 3, 0, QStringLiteral("[u]abc[/u]"),
         QStringLiteral("[u]abc[/u]")},
        {"image", QStringLiteral("http://h/i.png"), 0, 14,
         QStringLiteral("[img]http://h/i.png[/img]"), QStringLiteral("[img]http://h/i.png[/img]")},
    };
    for (const Row& row : rows) {
        SetBody(row.before, row.start, row.end);
        window.message_page().findChild<QPushButton*>(QString::fromLatin1(row.button))->click();
        EXPECT_EQ(body->toPlainText(), row.after) << row.button;
        EXPECT_EQ(Selected(), row.selected) << row.button;
    }
}

TEST_F(BBCodeEditTest, ATagOverSeveralLinesIsOneUndoableEdit) {
    SetBody(QStringLiteral("one\ntwo\nthree"), 0, 7);

    window.message_page().InsertTag(kTagBold);

    EXPECT_EQ(body->toPlainText(), QStringLiteral("[b]one\ntwo[/b]\nthree"));
    body->undo();
    EXPECT_EQ(body->toPlainText(), QStringLiteral("one\ntwo\nthree"));
}

struct UrlCase {
    const char* name;
    QString body;
    int start, end;
    QString opens_url, opens_text;  // what the dialog shows
    QString type_url, type_text;    // what the user leaves in it
    bool ok;
    QString result;
};

class UrlButtonTest : public BBCodeEditTest, public testing::WithParamInterface<UrlCase> {};

void PrintTo(const UrlCase& row, std::ostream* out) {
    *out << row.name;
}

TEST_P(UrlButtonTest, OpensTheDialogAndInsertsTheTag) {
    const UrlCase& row = GetParam();
    SetBody(row.body, row.start, row.end);
    QString shown_url, shown_text;
    bool focus_in_text = false;
    test::WhenModal([&](QDialog* dialog) {
        auto* url = dialog->findChild<QLineEdit*>(QStringLiteral("url"));
        auto* text = dialog->findChild<QPlainTextEdit*>(QStringLiteral("text"));
        shown_url = url->text();
        shown_text = text->toPlainText();
        focus_in_text = dialog->focusWidget() == text;
        url->setText(row.type_url);
        text->setPlainText(row.type_text);
        dialog->findChild<QPushButton*>(QString::fromLatin1(row.ok ? "ok" : "cancel"))->click();
    });

    window.message_page().InsertUrl();

    EXPECT_EQ(shown_url, row.opens_url);
    EXPECT_EQ(shown_text, row.opens_text);
    EXPECT_EQ(focus_in_text, !row.opens_url.isEmpty());
    EXPECT_EQ(body->toPlainText(), row.result);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UrlButtonTest,
    testing::Values(UrlCase{"AddressWithBlanks", QStringLiteral("go  http://a/b  now"), 2, 16,
                            QStringLiteral("http://a/b"), QStringLiteral("http://a/b"),
                            QStringLiteral("http://a/b"), QStringLiteral("http://a/b"), true,
                            QStringLiteral("go[url]http://a/b[/url]now")},
                    UrlCase{"WordsBeforeAnAddress", QStringLiteral("see http://a"), 0, 12,
                            QString(), QStringLiteral("see http://a"), QStringLiteral("http://b"),
                            QStringLiteral("see http://a"), true,
                            QStringLiteral("[url=http://b]see http://a[/url]")},
                    UrlCase{"TextWithoutAddress", QString(), 0, 0, QString(), QString(), QString(),
                            QStringLiteral("Home"), true, QStringLiteral("[url=]Home[/url]")},
                    UrlCase{"AddressWithoutText", QString(), 0, 0, QString(), QString(),
                            QStringLiteral("https://x"), QString(), true,
                            QStringLiteral("[url]https://x[/url]")},
                    UrlCase{"CancelLeavesTheBody", QStringLiteral("abc"), 0, 3, QString(),
                            QStringLiteral("abc"), QStringLiteral("http://a"),
                            QStringLiteral("abc"), false, QStringLiteral("abc")}),
    [](const testing::TestParamInfo<UrlCase>& row) { return std::string(row.param.name); });

TEST_F(BBCodeEditTest, PreviewWritesUtf8HtmlAndOpensItInTheBrowser) {
    test::TempDir temp("twk-preview");
    const bool had_tmpdir = qEnvironmentVariableIsSet("TMPDIR");
    const QByteArray saved_tmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(QString::fromStdString(temp.path().string())));
    body->setPlainText(QStringLiteral("[b]\u043f\u0440\u0438\u0432\u0435\u0442[/b] <x>\nnext"));

    window.message_page().Preview();

    if (had_tmpdir) {
        qputenv("TMPDIR", saved_tmpdir);
    } else {
        qunsetenv("TMPDIR");
    }
    const QString path = QString::fromStdString((temp / "twkpreview.html").string());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(file.readAll()),
              QStringLiteral("<html><head><meta http-equiv='Content-Type' "
                             "content='text/html;charset=utf-8'></head><body>"
                             "<b>\u043f\u0440\u0438\u0432\u0435\u0442</b> &lt;x&gt;<br>\r\nnext"
                             "</body>"));
    ASSERT_EQ(opened_urls.size(), 1);
    EXPECT_EQ(opened_urls[0], QUrl::fromLocalFile(path));
}

}  // namespace
}  // namespace twk::gui
