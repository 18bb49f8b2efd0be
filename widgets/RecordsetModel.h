#pragma once

#include "store/Recordset.h"
#include "store/Schema.h"

#include <QAbstractTableModel>
#include <QList>
#include <QPointer>

namespace widgets {

// One column of a grid: the field it shows, its caption and the kind it
// is shown as.
struct GridColumn {
    QString field;
    QString caption;
    store::FieldKind kind = store::FieldKind::Text;
};

// A read-only table over a record set: one row per row of the keyset, one
// column per GridColumn. The row count comes from the keyset; a row's values
// are read from the record set only when a view asks for them, so a view
// reads no more than the rows it shows.
class RecordsetModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit RecordsetModel(QList<GridColumn> columns, QObject *parent = nullptr);

    void setRecordset(store::Recordset *recordset);
    store::Recordset *recordset() const { return m_recordset; }
    const QList<GridColumn> &columns() const { return m_columns; }

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;

    static QString displayText(store::FieldKind kind, const QVariant &value);

private:
    void reload();
    void resolveFields();

    QList<GridColumn> m_columns;
    QList<int> m_fieldIndexes; // per column, in the record set's fields; -1 if it has none
    QPointer<store::Recordset> m_recordset;
    int m_rows = 0;
};

} // namespace widgets
