#include "submit/SubmitListModel.h"

#include <QColor>
#include <QTextDocument>

#include <algorithm>
#include <numeric>
#include <string>

#include "app/QtText.h"
#include "submit/ResultText.h"
#include "submit/SubmitManager.h"
#include "text/StringTable.h"

namespace twk::gui {
namespace {

constexpr int kHeaderIds[kColumnCount] = {
    kIdsColumnForum,  kIdsColumnSection,  kIdsColumnUsername, kIdsColumnSubmitDate,
    kIdsColumnResult, kIdsColumnTopicUrl, kIdsColumnReplies};

// Names compare ordinally with only the letters A to Z folded, so that the order does not
// depend on the user's locale.
std::wstring FoldAsciiLetters(std::wstring text) {
    for (wchar_t& c : text) {
        if (c >= L'A' && c <= L'Z') {
            c = static_cast<wchar_t>(c - L'A' + L'a');
        }
    }
    return text;
}

// Sorts rows by one key per row. less says which key goes first in ascending order;
// descending order reverses it. Equal keys keep their rows' order.
template <typename Key, typename Less>
void SortByKeys(std::vector<int>& rows, const std::vector<Key>& keys, Qt::SortOrder order,
                Less less) {
    if (order == Qt::AscendingOrder) {
        std::stable_sort(rows.begin(), rows.end(),
                         [&](int a, int b) { return less(keys[a], keys[b]); });
    } else {
        std::stable_sort(rows.begin(), rows.end(),
                         [&](int a, int b) { return less(keys[b], keys[a]); });
    }
}

}  // namespace

SubmitListModel::SubmitListModel(const SubmitManager& manager, QObject* parent)
    : QAbstractTableModel(parent), manager_(manager) {}

int SubmitListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(forum_ids_.size());
}

int SubmitListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant SubmitListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid()) {
        return {};
    }
    // Narrow columns cut long texts (failure messages, addresses): the tool tip shows
    // them whole.
    if (role == Qt::DisplayRole) {
        return CellText(index.row(), index.column());
    }
    if (role == Qt::ToolTipRole) {
        // Tool tips guess their format, and these texts come from users and boards: one
        // that looks like markup is handed over escaped, so that it shows as typed.
        QString text = CellText(index.row(), index.column());
        // A log that could not be written is told once per run, on the result it belongs to.
        if (index.column() == kColumnResult && !manager_.log_failure().empty() &&
            manager_.log_failure_forum() == ForumIdAt(index.row())) {
            text += QLatin1Char('\n') + ToQString(manager_.log_failure());
        }
        return Qt::mightBeRichText(text) ? Qt::convertFromPlainText(text, Qt::WhiteSpaceNormal)
                                         : text;
    }
    if (role == Qt::ForegroundRole && index.column() == kColumnResult) {
        return ResultColor(index.row());
    }
    return {};
}

QVariant SubmitListModel::ResultColor(int row) const {
    // Finished results are coloured so that a long list shows at a glance what went
    // wrong: green for a confirmed topic, amber for one to check, red for failures.
    const SubmitRecord* result = manager_.FindResult(ForumIdAt(row));
    if (manager_.FindInterrupted(ForumIdAt(row)) != nullptr) {
        return QColor(0xa8, 0x5c, 0x00);
    }
    if (result == nullptr || result->result == kPending) {
        return {};
    }
    if (result->result == kOk) {
        return QColor(0x1b, 0x7a, 0x2e);
    }
    if (result->result == kCheckResult) {
        return QColor(0xa8, 0x5c, 0x00);
    }
    return QColor(0xb3, 0x1b, 0x1b);
}

QVariant SubmitListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || section < 0 || section >= kColumnCount) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return Text(kHeaderIds[section]);
    }
    if (role == Qt::InitialSortOrderRole) {
        // The first click on a column sorts it ascending, the next one descending.
        return static_cast<int>(Qt::AscendingOrder);
    }
    return {};
}

QString SubmitListModel::CellText(int row, int column) const {
    if (row < 0 || row >= rowCount()) {
        return {};
    }
    const int32_t forum_id = forum_ids_[static_cast<size_t>(row)];
    const ForumRecord* forum = manager_.FindForum(forum_id);
    if (forum == nullptr) {
        return {};
    }
    switch (column) {
        case kColumnForum:
            return ToQString(forum->title);
        case kColumnSection:
            return ToQString(forum->forum_title);
        case kColumnUsername:
            return ToQString(forum->login);
        default:
            break;
    }
    const SubmitRecord* result = manager_.FindResult(forum_id);
    // A post that went out in a run that died has no result yet: it shows when it went out.
    const SendingRecord* interrupted = manager_.FindInterrupted(forum_id);
    if (result == nullptr && interrupted == nullptr) {
        // A forum of the run that waits for its account's other job says so.
        return column == kColumnResult ? ToQString(manager_.ResultCellText(forum_id)) : QString();
    }
    switch (column) {
        case kColumnSubmitDate:
            return ToQString(FormatSubmitDate(interrupted ? interrupted->stime : result->stime));
        case kColumnResult:
            return ToQString(manager_.ResultCellText(forum_id));
        case kColumnTopicUrl:
            return interrupted ? QString() : ToQString(result->thread);
        case kColumnReplies:
            return ToQString(manager_.RepliesCellText(forum_id));
        default:
            return {};
    }
}

int32_t SubmitListModel::ForumIdAt(int row) const {
    return row >= 0 && row < rowCount() ? forum_ids_[static_cast<size_t>(row)] : -1;
}

int SubmitListModel::RowOfForum(int32_t forumId) const {
    auto it = row_of_forum_.find(forumId);
    return it == row_of_forum_.end() ? -1 : it->second;
}

void SubmitListModel::RebuildRowIndex() {
    row_of_forum_.clear();
    row_of_forum_.reserve(forum_ids_.size());
    for (size_t row = 0; row < forum_ids_.size(); ++row) {
        row_of_forum_.emplace(forum_ids_[row], static_cast<int>(row));
    }
}

void SubmitListModel::Reload() {
    beginResetModel();
    forum_ids_.clear();
    forum_ids_.reserve(manager_.forums().size());
    for (const ForumRecord& forum : manager_.forums()) {
        forum_ids_.push_back(forum.forum_id);
    }
    RebuildRowIndex();
    endResetModel();
}

void SubmitListModel::ForumChanged(int32_t forumId) {
    const int row = RowOfForum(forumId);
    if (row >= 0) {
        emit dataChanged(index(row, 0), index(row, kColumnCount - 1),
                         {Qt::DisplayRole, Qt::ToolTipRole, Qt::ForegroundRole});
        return;
    }
    if (manager_.FindForum(forumId) == nullptr) {
        return;
    }
    const int last = rowCount();
    beginInsertRows({}, last, last);
    forum_ids_.push_back(forumId);
    row_of_forum_.emplace(forumId, last);
    endInsertRows();
}

void SubmitListModel::RemoveForums(const std::unordered_set<int32_t>& forumIds) {
    std::vector<int> rows;
    for (int32_t forum_id : forumIds) {
        if (int row = RowOfForum(forum_id); row >= 0) {
            rows.push_back(row);
        }
    }
    if (rows.empty()) {
        return;
    }
    std::sort(rows.begin(), rows.end());
    // Runs of neighbouring rows go in one step each, from the bottom up so that the rows
    // still to remove keep their numbers. Many scattered runs are cheaper as a reset.
    std::vector<std::pair<int, int>> runs;
    for (int row : rows) {
        if (!runs.empty() && runs.back().second + 1 == row) {
            runs.back().second = row;
        } else {
            runs.emplace_back(row, row);
        }
    }
    constexpr size_t kMostRuns = 64;
    if (runs.size() > kMostRuns) {
        beginResetModel();
        std::erase_if(forum_ids_, [&](int32_t id) { return forumIds.count(id) != 0; });
        RebuildRowIndex();
        endResetModel();
        return;
    }
    for (auto run = runs.rbegin(); run != runs.rend(); ++run) {
        beginRemoveRows({}, run->first, run->second);
        forum_ids_.erase(forum_ids_.begin() + run->first, forum_ids_.begin() + run->second + 1);
        endRemoveRows();
    }
    RebuildRowIndex();
}

std::vector<int> SubmitListModel::SortedRows(int column, Qt::SortOrder order,
                                             const std::unordered_set<int32_t>& selected) const {
    const size_t count = forum_ids_.size();
    std::vector<int> rows(count);
    std::iota(rows.begin(), rows.end(), 0);
    auto forum_of = [&](size_t row) { return manager_.FindForum(forum_ids_[row]); };
    auto result_of = [&](size_t row) { return manager_.FindResult(forum_ids_[row]); };

    if (column == kSortBySelection) {
        std::vector<char> keys(count);
        for (size_t row = 0; row < count; ++row) {
            keys[row] = selected.count(forum_ids_[row]) != 0;
        }
        SortByKeys(rows, keys, order, [](char a, char b) { return a > b; });
    } else if (column == kColumnForum || column == kColumnSection || column == kColumnUsername) {
        std::vector<std::wstring> keys(count);
        for (size_t row = 0; row < count; ++row) {
            if (const ForumRecord* forum = forum_of(row)) {
                const std::wstring& field = column == kColumnForum     ? forum->title
                                            : column == kColumnSection ? forum->forum_title
                                                                       : forum->login;
                keys[row] = FoldAsciiLetters(field);
            }
        }
        SortByKeys(rows, keys, order, std::less<std::wstring>());
    } else if (column == kColumnSubmitDate) {
        std::vector<int64_t> keys(count, 0);
        for (size_t row = 0; row < count; ++row) {
            if (const SubmitRecord* result = result_of(row)) {
                keys[row] = result->stime;
            }
        }
        // The newest result comes first.
        SortByKeys(rows, keys, order, std::greater<int64_t>());
    } else if (column == kColumnReplies) {
        // The most replies first; topics never checked (or gone) last.
        std::vector<int> keys(count, -1);
        for (size_t row = 0; row < count; ++row) {
            const TopicRecord* topic = manager_.FindTopic(forum_ids_[row]);
            if (topic != nullptr && topic->rtime != 0 && topic->rresult == kOk) {
                keys[row] = topic->replies;
            }
        }
        SortByKeys(rows, keys, order, std::greater<int>());
    } else if (column == kColumnTopicUrl) {
        std::vector<std::wstring> keys(count);
        for (size_t row = 0; row < count; ++row) {
            if (const SubmitRecord* result = result_of(row)) {
                keys[row] = result->thread;
            }
        }
        SortByKeys(rows, keys, order, std::greater<std::wstring>());
    } else {
        std::vector<std::wstring> keys(count);
        for (size_t row = 0; row < count; ++row) {
            keys[row] = manager_.ResultCellText(forum_ids_[row]);
        }
        SortByKeys(rows, keys, order, std::less<std::wstring>());
    }
    return rows;
}

void SubmitListModel::Sort(int column, Qt::SortOrder order,
                           const std::unordered_set<int32_t>& selected) {
    const std::vector<int> old_rows = SortedRows(column, order, selected);
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int32_t> sorted(old_rows.size());
    for (size_t row = 0; row < old_rows.size(); ++row) {
        sorted[row] = forum_ids_[static_cast<size_t>(old_rows[row])];
    }
    forum_ids_ = std::move(sorted);
    RebuildRowIndex();
    // The view's selection and current row follow their forums to the new rows.
    std::vector<int> new_row_of(old_rows.size());
    for (size_t row = 0; row < old_rows.size(); ++row) {
        new_row_of[static_cast<size_t>(old_rows[row])] = static_cast<int>(row);
    }
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& old_index : before) {
        after.append(index(new_row_of[static_cast<size_t>(old_index.row())], old_index.column()));
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

}  // namespace twk::gui
