#pragma once

#include <QAbstractTableModel>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "submit/ColumnLayout.h"

namespace twk {
class SubmitManager;
}

namespace twk::gui {

// Sorting by this column puts the selected rows first (the Find command's sort).
constexpr int kSortBySelection = -1;

// The rows of the Submit page's list: one forum of the manager's forum list each, with its
// result for the current message. Rows are matched to forums only through their forum id;
// the cells are read from the manager's lists whenever the view asks, so a row needs only
// a dataChanged to show new values. Owned by the Submit page, next to its manager.
class SubmitListModel : public QAbstractTableModel {
    Q_OBJECT

public:
    explicit SubmitListModel(const SubmitManager& manager, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Rows for the manager's forums again, in load order.
    void Reload();
    // A forum's cells changed; a forum the rows do not show yet gets a new last row.
    void ForumChanged(int32_t forumId);
    // Takes the rows of these forums away; called before the manager forgets them.
    void RemoveForums(const std::unordered_set<int32_t>& forumIds);
    // Sorts the rows once (later changes do not move them). kSortBySelection puts the
    // forums in selected first; rows that compare equal keep their order.
    void Sort(int column, Qt::SortOrder order, const std::unordered_set<int32_t>& selected = {});

    int32_t ForumIdAt(int row) const;
    // The row showing the forum, or -1.
    int RowOfForum(int32_t forumId) const;
    QString CellText(int row, int column) const;

private:
    void RebuildRowIndex();
    // The Result cell's text colour for a finished result.
    QVariant ResultColor(int row) const;
    // Sort keys for every row: computed once per sort instead of once per comparison.
    std::vector<int> SortedRows(int column, Qt::SortOrder order,
                                const std::unordered_set<int32_t>& selected) const;

    const SubmitManager& manager_;
    std::vector<int32_t> forum_ids_;
    std::unordered_map<int32_t, int> row_of_forum_;
};

}  // namespace twk::gui
