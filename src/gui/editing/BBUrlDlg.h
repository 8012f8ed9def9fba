#pragma once

#include <QDialog>

class QLineEdit;
class QPlainTextEdit;

namespace twk::gui {

// Asks for a link's address and text for the URL button. Collects only; the Message page
// builds and inserts the tag.
class CBBUrlDlg : public QDialog {
    Q_OBJECT

public:
    CBBUrlDlg(const QString& url, const QString& text, QWidget* parent = nullptr);

    QString url() const;
    QString text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QLineEdit* url_edit_;
    QPlainTextEdit* text_edit_;
};

}  // namespace twk::gui
