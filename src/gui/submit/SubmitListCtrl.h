#pragma once

#include <QTableView>
#include <QTimer>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "submit/ColumnLayout.h"

namespace twk::gui {

class SubmitListModel;

// The Submit page's list of forums: full-row, multiple selection, columns that can be
// dragged into another order, and a sort on header clicks. Its column widths and order are
// read from option 4 of profile 0 when it is made and written back when it goes away.
class SubmitListCtrl : public QTableView {
    Q_OBJECT

public:
    SubmitListCtrl(SubmitListModel& model, QWidget* parent = nullptr);
    ~SubmitListCtrl() override;

    // The row with the focus (the current row), or -1.
    int FocusedRow() const;
    int RowOfForum(int32_t forumId) const;
    // Selected rows in row order.
    std::vector<int> SelectedRows() const;
    std::vector<int32_t> SelectedForumIds() const;
    // Selects exactly these rows.
    void SelectRows(const std::vector<int>& rows);
    void SetFocusedRow(int row);

    // Sorts by a column as a header click does; kSortBySelection sorts the selected rows
    // first and clears the header's sort mark.
    void SortByColumn(int column, Qt::SortOrder order);
    // Forgets the sort mark after the rows went back to load order.
    void ClearSortMark();

    ColumnLayout CurrentLayout() const;
    void ApplyLayout(const ColumnLayout& layout);

private:
    void OnHeaderClicked();

    SubmitListModel& model_;
    // Writes the layout soon after the user drags a column, so that a program that never
    // closes its window in order (killed, a session that ends) keeps it too.
    QTimer save_layout_;
};

}  // namespace twk::gui
