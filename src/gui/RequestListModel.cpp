#include "RequestListModel.h"

#include <algorithm>
#include <array>
#include <numeric>

#include <QColor>
#include <QStringMatcher>

#include "TextRules.h"
#include "WindowColours.h"

namespace {

struct TColumnInfo {
    const char* Header;
    int Width;
};

const std::array<TColumnInfo, TRequestListModel::ColumnCount> Columns = {{
    {"#", 55},
    {"اسم ولقب التلميذ", 190},
    {"القسم", 90},
    {"تاريخ الميلاد", 100},
    {"تاريخ الطلب", 135},
    {"صاحب الطلب", 100},
    {"الحالة", 90},
    {"تاريخ الإنجاز", 125},
    {"ملاحظات", 95},
}};

// A noncharacter: no text a person types holds it, so it can part the search texts.
constexpr QChar KeySeparator(0xFFFF);

}  // namespace

QString TRequestListModel::Header(int AColumn) {
    return QString::fromUtf8(Columns.at(std::size_t(AColumn)).Header);
}

int TRequestListModel::Width(int AColumn) {
    return Columns.at(std::size_t(AColumn)).Width;
}

QString TRequestListModel::StatusWord(const QString& AStatus) {
    return AStatus == u"completed" ? QStringLiteral("منجزة") : PendingWord();
}

QString TRequestListModel::PendingWord() {
    return QStringLiteral("في الانتظار");
}

TRequestListModel::TRebuild::TRebuild(TRequestListModel& AModel) : FModel(AModel) {
    FModel.beginResetModel();
}

TRequestListModel::TRebuild::~TRebuild() {
    FModel.endResetModel();
}

void TRequestListModel::TRebuild::SetRequests(const TCertRequestList& ARecords) {
    FModel.FRequests = &ARecords;
    QString& keys = FModel.FKeys;
    keys.clear();
    FModel.FKeysEnd.clear();
    FModel.FKeysEnd.reserve(ARecords.size());
    for (const TCertRequestItem& r : ARecords) {
        for (const QString* text : {&r.StudentName, &r.ClassName, &r.Requester}) {
            keys += *text;
            keys += KeySeparator;
        }
        keys += QString::number(r.ID);
        keys += KeySeparator;
        FModel.FKeysEnd.push_back(keys.size());
    }
    keys = LowerLatin(std::move(keys));
    FModel.FRows.clear();
    FModel.FSearchValid = false;
}

void TRequestListModel::TRebuild::ApplySearch(const QString& ASearch) {
    TRequestListModel& m = FModel;
    // A search that holds the last one can only keep rows it kept: typing one more letter looks
    // at those alone, while they are few.
    const bool narrowing =
        m.FSearchValid && ASearch.contains(m.FSearch) && m.FRows.size() * 8 < m.FKeysEnd.size();
    m.FSearch = ASearch;
    m.FSearchValid = !ASearch.contains(KeySeparator);
    if (!m.FSearchValid) {
        m.FRows.clear();
    } else if (ASearch.isEmpty()) {
        m.FRows.resize(m.FKeysEnd.size());
        std::iota(m.FRows.begin(), m.FRows.end(), 0);
    } else if (narrowing) {
        std::erase_if(m.FRows, [&](int ARecord) { return !m.KeysOf(ARecord).contains(ASearch); });
    } else {
        m.FindAll(ASearch);
    }
}

QStringView TRequestListModel::KeysOf(int ARecord) const {
    const qsizetype start = ARecord == 0 ? 0 : FKeysEnd[std::size_t(ARecord) - 1];
    return QStringView(FKeys).sliced(start, FKeysEnd[std::size_t(ARecord)] - start);
}

// One pass over all the texts, led by the first character of the search (a vectorised scan);
// after a hit the pass goes on at the next record.
void TRequestListModel::FindAll(QStringView ASearch) {
    FRows.clear();
    const QStringView keys(FKeys);
    const QChar first = ASearch.front();
    const QStringView rest = ASearch.sliced(1);
    std::size_t record = 0;
    qsizetype at = 0;
    while ((at = keys.indexOf(first, at)) >= 0) {
        if (!keys.sliced(at + 1).startsWith(rest)) {
            ++at;
            continue;
        }
        while (FKeysEnd[record] <= at) ++record;
        FRows.push_back(int(record));
        at = FKeysEnd[record];
    }
}

const TCertRequestItem& TRequestListModel::Request(int ARow) const {
    return (*FRequests)[std::size_t(FRows.at(std::size_t(ARow)))];
}

int TRequestListModel::RowOfRequest(std::int32_t AID) const {
    for (std::size_t row = 0; row < FRows.size(); ++row)
        if ((*FRequests)[std::size_t(FRows[row])].ID == AID) return int(row);
    return -1;
}

int TRequestListModel::rowCount(const QModelIndex& AParent) const {
    return AParent.isValid() ? 0 : static_cast<int>(FRows.size());
}

int TRequestListModel::columnCount(const QModelIndex& AParent) const {
    return AParent.isValid() ? 0 : ColumnCount;
}

QVariant TRequestListModel::data(const QModelIndex& AIndex, int ARole) const {
    if (!AIndex.isValid() || AIndex.row() >= rowCount()) return {};
    const TCertRequestItem& r = Request(AIndex.row());
    switch (ARole) {
        case Qt::TextAlignmentRole:
            return QVariant::fromValue(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
        case Qt::ForegroundRole:
            // Selected rows take the highlight-text colour from the view instead.
            return r.Status != u"completed" ? QVariant(TWindowColours::Current().PendingRow)
                                            : QVariant();
        case Qt::DisplayRole:
            break;
        default:
            return {};
    }
    switch (AIndex.column()) {
        case ColId:
            return QString::number(r.ID);
        case ColStudentName:
            return r.StudentName;
        case ColClassName:
            return r.ClassName;
        case ColBirthDate:
            return r.BirthDate;
        case ColRequestDate:
            return r.RequestDate;
        case ColRequester:
            return r.Requester;
        case ColStatus:
            return StatusWord(r.Status);
        case ColCompletedDate:
            return r.CompletedDate;
        case ColNotes:
            return r.Notes;
        default:
            return {};
    }
}

QVariant TRequestListModel::headerData(int ASection, Qt::Orientation AOrientation,
                                       int ARole) const {
    if (AOrientation != Qt::Horizontal || ASection < 0 || ASection >= ColumnCount) return {};
    if (ARole == Qt::DisplayRole) return Header(ASection);
    return {};
}
