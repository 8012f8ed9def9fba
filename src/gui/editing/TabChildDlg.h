#pragma once

#include <QWidget>
#include <map>
#include <span>
#include <vector>

#include "app/DialogUnits.h"
#include "editing/AnchorLayout.h"
#include "editing/TabHost.h"

class QLabel;

namespace twk::gui {

// Base of the main window's tab pages: controls placed from a dialog template in dialog
// units, re-placed by the page's anchor table on every resize, and Enter and Escape
// swallowed so that a page never closes anything. Owned by the main window's tab widget.
class CTabChildDlg : public QWidget {
    Q_OBJECT

public:
    CTabChildDlg(CTabHost& host, QWidget* parent = nullptr);

    // Called by the main window right after the page has become the visible tab.
    virtual void OnActivatePage(bool shown);
    // Records the margins from where the controls stand (true) or places the controls
    // from the recorded margins (false).
    void Layout(bool record);
    // Reloads what the page shows: 0 when the current profile changed, 1 when the
    // current message changed.
    virtual void Refresh(int what) = 0;

    // The control registered under a template id, or null.
    QWidget* Control(int id) const;

protected:
    virtual std::span<const LayoutEntry> LayoutTable() const = 0;

    // Places widget at its template position (dialog units) and registers it under id.
    template <typename Widget>
    Widget* AddControl(int id, Widget* widget, int x, int y, int width, int height) {
        Place(id, widget, x, y, width, height);
        return widget;
    }
    // A static label: right-aligned, vertically centred, not in any table.
    QLabel* AddLabel(const QString& text, int x, int y, int width, int height);
    // Sizes the page to its template and records and applies the layout; the last step of
    // a page's construction.
    void FinishTemplate(int width, int height);

    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

    CTabHost& host_;
    DialogUnits units_;

private:
    void Place(int id, QWidget* widget, int x, int y, int width, int height);
    ControlRects CurrentRects() const;

    std::map<int, QWidget*> controls_;
    std::vector<LayoutMargins> margins_;
};

}  // namespace twk::gui
