#include <benchmark/benchmark.h>

#include <memory>

#include <QApplication>
#include <QTreeWidget>

#include "BenchReport.h"
#include "CachedTextDelegate.h"
#include "ListView.h"
#include "RequestListModel.h"
#include "SampleRequests.h"
#include "Startup.h"
#include "StatusCellDelegate.h"
#include "TextRules.h"

namespace {

constexpr int RecordCount = 100000;

// Realistic records: Arabic names, classes, requesters and notes as the demo server makes them.
const TCertRequestList& Records() {
    static const TCertRequestList records = [] {
        TSampleRequests sample(3);
        TCertRequestList list;
        list.reserve(RecordCount);
        std::int32_t id = 0;
        for (const TStoredRequest& r : sample.History(RecordCount)) {
            TCertRequestItem item;
            item.ID = ++id;
            item.StudentID = QString::fromStdString(r.StudentId);
            item.StudentName = QString::fromStdString(r.StudentName);
            item.ClassName = QString::fromStdString(r.ClassName);
            item.BirthDate = QString::fromStdString(r.BirthDate);
            item.RequestDate = QString::fromStdString(r.RequestDate);
            item.Requester = QString::fromStdString(r.Requester);
            item.Status = QString::fromStdString(r.Status);
            item.CompletedDate = QString::fromStdString(r.CompletedDate.value_or(""));
            item.Notes = QString::fromStdString(r.Notes);
            list.push_back(std::move(item));
        }
        return list;
    }();
    return records;
}

// A search that matches a handful of records, and ones that match most of them (deleting the
// second letter of the last leaves the first).
const QString FewRows = QStringLiteral("99999");
const QString MostRows = QStringLiteral("ا");
const QString MostTwoLetters = QStringLiteral("اx");

// The window's list: the view, its model over the records, its two delegates.
struct TModelList {
    TModelList() : Model(&View), TextDelegate(&View), Delegate(Images, &View) {
        View.setModel(&Model);
        View.setItemDelegateForColumn(TRequestListModel::ColStatus, &Delegate);
        View.setItemDelegate(&TextDelegate);
        View.resize(1000, 420);
        View.show();
        Apply(Records(), {});
    }
    void Apply(const TCertRequestList& ARecords, const QString& ASearch) {
        {
            TRequestListModel::TRebuild rebuild(Model);
            rebuild.SetRequests(ARecords);
            rebuild.ApplySearch(ASearch);
        }
        QApplication::processEvents();
    }
    void Search(const QString& ASearch) {
        {
            TRequestListModel::TRebuild rebuild(Model);
            rebuild.ApplySearch(TrimBlanks(LowerLatin(ASearch)));
        }
        QApplication::processEvents();
    }
    TListView View;
    TRequestListModel Model;
    QList<QPixmap> Images;
    TCachedTextDelegate TextDelegate;
    TStatusCellDelegate Delegate;
};

// The naive way: one widget item per matching row, made afresh on every keystroke.
struct TWidgetList {
    TWidgetList() {
        Tree.setColumnCount(TRequestListModel::ColumnCount);
        Tree.resize(1000, 420);
        Tree.show();
    }
    void Search(const QString& ASearch) {
        const QString search = TrimBlanks(LowerLatin(ASearch));
        Tree.setUpdatesEnabled(false);
        Tree.clear();
        QList<QTreeWidgetItem*> items;
        for (const TCertRequestItem& r : Records()) {
            if (!search.isEmpty() && !LowerLatin(r.StudentName).contains(search) &&
                !LowerLatin(r.ClassName).contains(search) &&
                !LowerLatin(r.Requester).contains(search) &&
                !QString::number(r.ID).contains(search))
                continue;
            items.append(new QTreeWidgetItem(QStringList{
                QString::number(r.ID), r.StudentName, r.ClassName, r.BirthDate, r.RequestDate,
                r.Requester, TRequestListModel::StatusWord(r.Status), r.CompletedDate, r.Notes}));
        }
        Tree.addTopLevelItems(items);
        Tree.setUpdatesEnabled(true);
        QApplication::processEvents();
    }
    QTreeWidget Tree;
};

// One keystroke: the box holds the search without its last letter and the letter is typed, or
// the box holds the whole search and its last letter is deleted. Each iteration times that one
// keystroke, the view's update and repaint included; the box is set back untimed.
template <typename TList>
void Keystroke(benchmark::State& AState, const QString& ASearch, bool ATyped) {
    TList list;
    const QString before = ATyped ? ASearch.chopped(1) : ASearch;
    const QString after = ATyped ? ASearch : ASearch.chopped(1);
    for (auto _ : AState) {
        AState.PauseTiming();
        list.Search(before);
        AState.ResumeTiming();
        list.Search(after);
    }
}

void BM_TypeModelView(benchmark::State& AState, const QString& ASearch) {
    Keystroke<TModelList>(AState, ASearch, true);
}
void BM_TypeWidgetItems(benchmark::State& AState, const QString& ASearch) {
    Keystroke<TWidgetList>(AState, ASearch, true);
}
void BM_DeleteModelView(benchmark::State& AState, const QString& ASearch) {
    Keystroke<TModelList>(AState, ASearch, false);
}
void BM_DeleteWidgetItems(benchmark::State& AState, const QString& ASearch) {
    Keystroke<TWidgetList>(AState, ASearch, false);
}

// The repaint of the rows on screen alone, which every keystroke above includes.
void BM_RepaintModelView(benchmark::State& AState) {
    TModelList list;
    for (auto _ : AState) list.View.viewport()->repaint();
}

// A freshly fetched list: the search texts are made again and the rows rebuilt.
void BM_ApplyFetchedList(benchmark::State& AState) {
    TModelList list;
    const TCertRequestList fresh = Records();
    for (auto _ : AState) list.Apply(fresh, {});
}

void BM_ApplyFetchedListWidgetItems(benchmark::State& AState) {
    TWidgetList list;
    for (auto _ : AState) list.Search({});
}

}  // namespace

BENCHMARK_CAPTURE(BM_TypeModelView, few, FewRows)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TypeWidgetItems, few, FewRows)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TypeModelView, most, MostRows)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_TypeWidgetItems, most, MostRows)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DeleteModelView, few, FewRows)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DeleteWidgetItems, few, FewRows)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DeleteModelView, most, MostTwoLetters)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DeleteWidgetItems, most, MostTwoLetters)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintModelView)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyFetchedList)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyFetchedListWidgetItems)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ChooseApplicationFont();  // the program's font: the Arabic texts are shaped as in the window
    Records();
    return RunWithRatios(argc, argv,
                         {{"BM_TypeModelView/few", "BM_TypeWidgetItems/few"},
                          {"BM_TypeModelView/most", "BM_TypeWidgetItems/most"},
                          {"BM_DeleteModelView/few", "BM_DeleteWidgetItems/few"},
                          {"BM_DeleteModelView/most", "BM_DeleteWidgetItems/most"},
                          {"BM_ApplyFetchedList", "BM_ApplyFetchedListWidgetItems"}});
}
