#pragma once

#include <QDialog>

class QLineEdit;

namespace twk::gui {

// "Select Forums": asks for the text the Submit page's Find looks for in the forum names.
class CFilterDlg : public QDialog {
    Q_OBJECT

public:
    explicit CFilterDlg(QWidget* parent = nullptr);

    // The text typed, taken on OK; empty text is a valid answer (it matches every forum).
    QString text() const { return text_; }

public slots:
    void accept() override;

private:
    QLineEdit* edit_;
    QString text_;
};

}  // namespace twk::gui
