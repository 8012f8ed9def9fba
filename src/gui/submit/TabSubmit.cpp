#include "submit/TabSubmit.h"

namespace twk::gui {

CTabSubmit::CTabSubmit(CTabHost& host, QWidget* parent) : CTabChildDlg(host, parent) {
    FinishTemplate(488, 284);
}

void CTabSubmit::Refresh(int) {}

std::span<const LayoutEntry> CTabSubmit::LayoutTable() const {
    return {};
}

}  // namespace twk::gui
