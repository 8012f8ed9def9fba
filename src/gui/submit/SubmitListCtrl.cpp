#include "submit/SubmitListCtrl.h"

#include <QHeaderView>
#include <QSignalBlocker>
#include <algorithm>

#include "storage/Records.h"
#include "storage/Tables.h"
#include "submit/SubmitListModel.h"

namespace twk::gui {

SubmitListCtrl::SubmitListCtrl(SubmitListModel& model, QWidget* parent)
    : QTableView(parent), model_(model) {
    setModel(&model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setShowGrid(false);
    setWordWrap(false);
    setContextMenuPolicy(Qt::CustomContextMenu);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);

    // Fixed row heights let the view place thousands of rows without measuring them.
    QHeaderView* rows = verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 4);

    QHeaderView* columns = horizontalHeader();
    columns->setSectionsMovable(true);
    columns->setSectionsClickable(true);
    columns->setSortIndicatorShown(true);
    columns->setSortIndicator(-1, Qt::AscendingOrder);
    columns->setHighlightSections(false);
    columns->setStretchLastSection(false);
    columns->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The header has already moved its sort mark when it reports the click.
    connect(columns, &QHeaderView::sectionClicked, this, &SubmitListCtrl::OnHeaderClicked);

    ColumnLayout layout;
    ParseColumnLayout(GetOptionText(OptListLayout, 0), layout);
    ApplyLayout(layout);

    save_layout_.setSingleShot(true);
    save_layout_.setInterval(1000);
    connect(&save_layout_, &QTimer::timeout, this,
            [this] { SetOptionText(0, OptListLayout, FormatColumnLayout(CurrentLayout())); });
    connect(columns, &QHeaderView::sectionResized, &save_layout_,
            static_cast<void (QTimer::*)()>(&QTimer::start));
    connect(columns, &QHeaderView::sectionMoved, &save_layout_,
            static_cast<void (QTimer::*)()>(&QTimer::start));
}

SubmitListCtrl::~SubmitListCtrl() {
    SetOptionText(0, OptListLayout, FormatColumnLayout(CurrentLayout()));
}

int SubmitListCtrl::FocusedRow() const {
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}

int SubmitListCtrl::RowOfForum(int32_t forumId) const {
    return model_.RowOfForum(forumId);
}

std::vector<int> SubmitListCtrl::SelectedRows() const {
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int row = range.top(); row <= range.bottom(); ++row) {
            rows.push_back(row);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

std::vector<int32_t> SubmitListCtrl::SelectedForumIds() const {
    std::vector<int32_t> ids;
    for (int row : SelectedRows()) {
        ids.push_back(model_.ForumIdAt(row));
    }
    return ids;
}

void SubmitListCtrl::SelectRows(const std::vector<int>& rows) {
    // One range per run of neighbouring rows: a selection of thousands of single rows
    // would make every later selection query slow.
    QItemSelection selection;
    const int last_column = model_.columnCount() - 1;
    size_t i = 0;
    while (i < rows.size()) {
        size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] == rows[j] + 1) {
            ++j;
        }
        selection.append(
            QItemSelectionRange(model_.index(rows[i], 0), model_.index(rows[j], last_column)));
        i = j + 1;
    }
    selectionModel()->select(selection, QItemSelectionModel::ClearAndSelect);
}

void SubmitListCtrl::SetFocusedRow(int row) {
    if (row >= 0 && row < model_.rowCount()) {
        selectionModel()->setCurrentIndex(model_.index(row, 0), QItemSelectionModel::NoUpdate);
        scrollTo(model_.index(row, 0));
    }
}

void SubmitListCtrl::OnHeaderClicked() {
    const QHeaderView* columns = horizontalHeader();
    model_.Sort(columns->sortIndicatorSection(), columns->sortIndicatorOrder());
}

void SubmitListCtrl::SortByColumn(int column, Qt::SortOrder order) {
    if (column == kSortBySelection) {
        const std::vector<int32_t> ids = SelectedForumIds();
        model_.Sort(column, order, std::unordered_set<int32_t>(ids.begin(), ids.end()));
        ClearSortMark();
        return;
    }
    {
        QSignalBlocker blocker(horizontalHeader());
        horizontalHeader()->setSortIndicator(column, order);
    }
    model_.Sort(column, order);
}

void SubmitListCtrl::ClearSortMark() {
    QSignalBlocker blocker(horizontalHeader());
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    horizontalHeader()->viewport()->update();
}

ColumnLayout SubmitListCtrl::CurrentLayout() const {
    ColumnLayout layout;
    const QHeaderView* columns = horizontalHeader();
    for (int i = 0; i < kColumnCount; ++i) {
        layout.widths[i] = columns->sectionSize(i);
        layout.order[i] = columns->logicalIndex(i);
    }
    return layout;
}

void SubmitListCtrl::ApplyLayout(const ColumnLayout& layout) {
    QHeaderView* columns = horizontalHeader();
    for (int i = 0; i < kColumnCount; ++i) {
        columns->resizeSection(i, layout.widths[i]);
    }
    for (int position = 0; position < kColumnCount; ++position) {
        columns->moveSection(columns->visualIndex(layout.order[position]), position);
    }
}

}  // namespace twk::gui
