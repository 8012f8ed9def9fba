#pragma once

#include "text/Messages.h"

namespace twk::gui {

// Shows the core's messages as QMessageBox, owned by the QWidget passed as owner.
// Installed by main() for the program's whole life.
class MessageBoxHost : public MessageHost {
public:
    int Show(const std::wstring& caption, void* owner, unsigned type,
             const std::wstring& text) override;
};

}  // namespace twk::gui
