#pragma once

#include <cstdint>
#include <vector>

#include <QAbstractTableModel>
#include <QString>

#include "uZelvanApi.h"

// The rows of the request list: the records of a list, narrowed by the search text, one row per
// matching record in nine columns. The records stay where they are (the window's list); the model
// keeps the indices of the matching ones and, per list, the texts the search looks in.
class TRequestListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum TColumn {
        ColId,
        ColStudentName,
        ColClassName,
        ColBirthDate,
        ColRequestDate,
        ColRequester,
        ColStatus,
        ColCompletedDate,
        ColNotes,
        ColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    // The header text and width of each column.
    static QString Header(int AColumn);
    static int Width(int AColumn);
    // The status word of the list: "منجزة" for exactly "completed", "في الانتظار" otherwise.
    static QString StatusWord(const QString& AStatus);
    static QString PendingWord();

    // Rows change only inside a bracket, so that the view repaints once per rebuild; the
    // bracket is closed on every way out.
    class TRebuild {
    public:
        explicit TRebuild(TRequestListModel& AModel);
        ~TRebuild();
        TRebuild(const TRebuild&) = delete;
        TRebuild& operator=(const TRebuild&) = delete;

        // Takes ARecords as the list to show (it must outlive its use here) and makes the search
        // texts of its records.
        void SetRequests(const TCertRequestList& ARecords);
        // Shows the records in which ASearch (lower-cased and trimmed by the search rule) is a
        // substring of the name, the class, the requester or the decimal id; all when empty.
        void ApplySearch(const QString& ASearch);

    private:
        TRequestListModel& FModel;
    };

    const TCertRequestItem& Request(int ARow) const;
    // The row that shows the request with AID, or -1.
    int RowOfRequest(std::int32_t AID) const;

    int rowCount(const QModelIndex& AParent = {}) const override;
    int columnCount(const QModelIndex& AParent = {}) const override;
    QVariant data(const QModelIndex& AIndex, int ARole) const override;
    QVariant headerData(int ASection, Qt::Orientation AOrientation, int ARole) const override;

private:
    QStringView KeysOf(int ARecord) const;
    void FindAll(QStringView ASearch);

    const TCertRequestList* FRequests = nullptr;
    // The lower-cased name, class, requester and id of every record, each followed by a
    // separator that no typed search contains, so a hit never spans two texts; one buffer for the
    // whole list, so a search is a single pass over it.
    QString FKeys;
    std::vector<qsizetype> FKeysEnd;  // by record: where its texts end in FKeys
    std::vector<int> FRows;           // by row: the index of its record
    QString FSearch;                  // what FRows matches, while FSearchValid
    bool FSearchValid = false;
};
