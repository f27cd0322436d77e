#pragma once

#include <QAbstractTableModel>

#include "uZelvanApi.h"

// The rows of the request list: one per request, in nine columns.
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

    void SetRequests(TCertRequestList ARequests);

    int rowCount(const QModelIndex& AParent = {}) const override;
    int columnCount(const QModelIndex& AParent = {}) const override;
    QVariant data(const QModelIndex& AIndex, int ARole) const override;
    QVariant headerData(int ASection, Qt::Orientation AOrientation, int ARole) const override;

private:
    TCertRequestList FRequests;
};
