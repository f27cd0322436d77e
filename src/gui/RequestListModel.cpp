#include "RequestListModel.h"

#include <array>

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

QString StatusText(const QString& AStatus) {
    return AStatus == u"completed" ? QStringLiteral("منجزة") : QStringLiteral("في الانتظار");
}

}  // namespace

QString TRequestListModel::Header(int AColumn) {
    return QString::fromUtf8(Columns.at(std::size_t(AColumn)).Header);
}

int TRequestListModel::Width(int AColumn) {
    return Columns.at(std::size_t(AColumn)).Width;
}

void TRequestListModel::SetRequests(TCertRequestList ARequests) {
    beginResetModel();
    FRequests = std::move(ARequests);
    endResetModel();
}

int TRequestListModel::rowCount(const QModelIndex& AParent) const {
    return AParent.isValid() ? 0 : static_cast<int>(FRequests.size());
}

int TRequestListModel::columnCount(const QModelIndex& AParent) const {
    return AParent.isValid() ? 0 : ColumnCount;
}

QVariant TRequestListModel::data(const QModelIndex& AIndex, int ARole) const {
    if (!AIndex.isValid() || AIndex.row() >= rowCount()) return {};
    if (ARole == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignAbsolute | Qt::AlignVCenter);
    if (ARole != Qt::DisplayRole) return {};
    const TCertRequestItem& r = FRequests[std::size_t(AIndex.row())];
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
            return StatusText(r.Status);
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
