#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QComboBox;
class QLineEdit;
class QSpinBox;

namespace twk::gui {

// Edits a profile's options: the number of threads and the connection (automatic, direct
// or through a proxy). Everything is written on OK, nothing on Cancel; the options take
// effect when the next submission or forum scan starts.
class COptionsDlg : public QDialog {
    Q_OBJECT

public:
    // profileId -1 (no profile selected) is allowed: the rows are then written with no
    // profile, where nothing reads them.
    COptionsDlg(int32_t profileId, const std::wstring& profileName, QWidget* parent = nullptr);

    void accept() override;

private:
    // The four proxy fields are editable only while the connection is "Proxy"; they keep
    // (and save) their values while greyed.
    void ApplyProxyRule();

    int32_t profile_id_;
    std::wstring profile_name_;
    QSpinBox* threads_;
    QComboBox* connection_;
    QLineEdit* proxy_address_;
    QLineEdit* proxy_port_;
    QLineEdit* proxy_login_;
    QLineEdit* proxy_password_;
};

}  // namespace twk::gui
