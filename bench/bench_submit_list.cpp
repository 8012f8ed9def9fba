// The Submit page with a profile of thousands of forums: loading the list, sorting it by
// each kind of column, and the row updates a run makes. None of it may freeze the window.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <memory>
#include <string>

#include "editing/TabHost.h"
#include "storage/Database.h"
#include "storage/Tables.h"
#include "submit/SubmitListCtrl.h"
#include "submit/SubmitListModel.h"
#include "submit/TabSubmit.h"
#include "support/TestDatabase.h"

namespace {

using twk::gui::kColumnForum;

// A profile of `forums` forums and a message with a result for every other forum.
class BenchProfile : public twk::gui::CTabHost {
public:
    explicit BenchProfile(int forums) {
        twk::InsertProfile(twk::ProfileRecord{-1, L"Bench"});
        profile_id_ = twk::LastInsertId();
        std::vector<twk::ForumRecord> list;
        for (int i = 0; i < forums; ++i) {
            twk::ForumRecord forum;
            forum.profile_id = profile_id_;
            forum.engine = L"phpBB";
            forum.main_url = L"http://forum" + std::to_wstring(i) + L".test/";
            // Titles out of order, in mixed case, so that the sort has work to do.
            forum.title = (i % 3 ? L"Board " : L"board ") + std::to_wstring((i * 7919) % forums);
            forum.forum_title = L"Section " + std::to_wstring(i % 17);
            forum.forum_key = forum.main_url + L"viewforum.php?f=1";
            forum.login = L"user" + std::to_wstring(i % 101);
            forum.pass = L"secret";
            list.push_back(forum);
        }
        twk::SaveForums(list, false);
        message_ = twk::MessageRecord{-1, profile_id_, L"Subject", L"Body"};
        twk::SaveMessage(message_);
        message_.message_id = twk::LastInsertId();
        twk::BeginTransaction();
        for (size_t i = 0; i < list.size(); i += 2) {
            twk::InsertSubmit(twk::SubmitRecord{
                -1, list[i].forum_id, message_.message_id,
                static_cast<int64_t>(1'700'000'000 + i * 37 % 9973), static_cast<int32_t>(i % 12),
                L"http://forum.test/viewtopic.php?t=" + std::to_wstring(i), L""});
        }
        twk::RunStatement(L"COMMIT");
        page_ = std::make_unique<twk::gui::CTabSubmit>(*this);
        page_->resize(1200, 800);
        page_->show();
        page_->Refresh(0);
        QApplication::processEvents();
    }

    int GetCurrentProfile(std::wstring& name) override {
        name = L"Bench";
        return profile_id_;
    }
    const twk::MessageRecord& CurrentMessage() override { return message_; }
    void ShowNextPage() override {}
    void RefreshPages(int) override {}

    twk::gui::CTabSubmit& page() { return *page_; }

private:
    int32_t profile_id_ = -1;
    twk::MessageRecord message_;
    std::unique_ptr<twk::gui::CTabSubmit> page_;
};

// One database and profile per size, made on first use and kept for the whole run.
BenchProfile& Profile(int forums) {
    static twk::test::TestDatabase database("bench.db");
    static std::map<int, std::unique_ptr<BenchProfile>> profiles;
    auto& profile = profiles[forums];
    if (!profile) {
        profile = std::make_unique<BenchProfile>(forums);
    }
    return *profile;
}

// Reading the forums and results from the database and showing the rows.
void BM_LoadRows(benchmark::State& state) {
    BenchProfile& profile = Profile(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        profile.page().Refresh(0);
        QApplication::processEvents();
    }
    state.counters["rows"] = static_cast<double>(profile.page().model().rowCount());
}
BENCHMARK(BM_LoadRows)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A header click: one sort of every row, then the view redrawn.
void BM_SortColumn(benchmark::State& state) {
    BenchProfile& profile = Profile(10000);
    const int column = static_cast<int>(state.range(0));
    bool ascending = true;
    for (auto _ : state) {
        profile.page().list().SortByColumn(column,
                                           ascending ? Qt::AscendingOrder : Qt::DescendingOrder);
        ascending = !ascending;
        QApplication::processEvents();
    }
}
BENCHMARK(BM_SortColumn)
    ->ArgName("column")
    ->DenseRange(0, 5)
    ->Arg(twk::gui::kSortBySelection)
    ->Unit(benchmark::kMillisecond);

// What a run does to the list: one row's cells change per status text or result.
void BM_UpdateRow(benchmark::State& state) {
    BenchProfile& profile = Profile(10000);
    const twk::ForumList& forums = profile.page().manager().forums();
    auto& model = const_cast<twk::gui::SubmitListModel&>(profile.page().model());
    size_t next = 0;
    for (auto _ : state) {
        model.ForumChanged(forums[next].forum_id);
        next = (next + 1) % forums.size();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_UpdateRow)->Unit(benchmark::kMicrosecond);

// Find's work after the dialog: select every matching row, then move them to the top.
void BM_SelectAndSortBySelection(benchmark::State& state) {
    BenchProfile& profile = Profile(10000);
    twk::gui::SubmitListCtrl& list = profile.page().list();
    const twk::gui::SubmitListModel& model = profile.page().model();
    for (auto _ : state) {
        std::vector<int> rows;
        for (int row = 0; row < model.rowCount(); ++row) {
            if (model.CellText(row, kColumnForum).toLower().contains(QStringLiteral("board 1"))) {
                rows.push_back(row);
            }
        }
        list.SelectRows(rows);
        list.SortByColumn(twk::gui::kSortBySelection, Qt::AscendingOrder);
        QApplication::processEvents();
    }
}
BENCHMARK(BM_SelectAndSortBySelection)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
