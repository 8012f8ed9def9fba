#pragma once

#include "editing/TabChildDlg.h"

namespace twk::gui {

// The second tab page, where the forums of the current profile are submitted to. For now
// an empty page: its forum list, buttons and the submit manager come later. The main
// window already relies on its interface: Refresh, OnActivatePage and running_jobs.
class CTabSubmit : public CTabChildDlg {
    Q_OBJECT

public:
    explicit CTabSubmit(CTabHost& host, QWidget* parent = nullptr);

    void Refresh(int what) override;

    // Submit jobs running now. While it is above 0 the main window keeps this page shown
    // and the database commands greyed.
    int running_jobs() const { return running_jobs_; }

protected:
    std::span<const LayoutEntry> LayoutTable() const override;

private:
    friend class TabSubmitTestAccess;

    int running_jobs_ = 0;
};

}  // namespace twk::gui
