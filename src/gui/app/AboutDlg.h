#pragma once

#include <QDialog>

namespace twk::gui {

// The About box: product name and version, the legal notice and a link to the home page.
class CAboutDlg : public QDialog {
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

}  // namespace twk::gui
