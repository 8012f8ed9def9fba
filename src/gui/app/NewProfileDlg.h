#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

#include "storage/Records.h"

class QLineEdit;

namespace twk::gui {

class CIdComboBox;

// Asks for a new profile's name and, optionally, a profile to import forums and options
// from. Only collects and checks; the Message page creates the profile.
class CNewProfileDlg : public QDialog {
    Q_OBJECT

public:
    explicit CNewProfileDlg(QWidget* parent = nullptr);

    // Valid after OK.
    const std::wstring& name() const { return name_; }
    // The profile to import from, or -1 for none.
    int32_t import_from() const { return import_from_; }

    void accept() override;

private:
    ProfileList profiles_;
    CIdComboBox* import_list_;
    QLineEdit* name_edit_;
    std::wstring name_;
    int32_t import_from_ = -1;
};

}  // namespace twk::gui
