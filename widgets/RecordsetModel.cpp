#include "widgets/RecordsetModel.h"

#include "store/Recordset.h"

#include <QDate>

namespace widgets {

RecordsetModel::RecordsetModel(QList<GridColumn> columns, QObject *parent)
    : QAbstractTableModel(parent), m_columns(std::move(columns))
{
    resolveFields();
}

void RecordsetModel::setRecordset(store::Recordset *recordset)
{
    if (recordset == m_recordset)
        return;
    beginResetModel();
    if (m_recordset)
        disconnect(m_recordset, nullptr, this, nullptr);
    m_recordset = recordset;
    resolveFields();
    m_rows = m_recordset && m_recordset->isOpen() ? m_recordset->RecordCount() : 0;
    endResetModel();
    if (!m_recordset)
        return;

    using store::Recordset;
    connect(m_recordset, &Recordset::rowsReset, this, &RecordsetModel::reload);
    connect(m_recordset, &Recordset::closed, this, &RecordsetModel::reload);
    connect(m_recordset, &QObject::destroyed, this, [this] {
        beginResetModel();
        m_rows = 0;
        endResetModel();
    });
    // The record set has already changed when it tells; the model's own count
    // keeps the view's picture consistent between begin and end.
    connect(m_recordset, &Recordset::rowInserted, this, [this](int position) {
        beginInsertRows(QModelIndex(), position, position);
        ++m_rows;
        endInsertRows();
    });
    connect(m_recordset, &Recordset::rowRemoved, this, [this](int position) {
        beginRemoveRows(QModelIndex(), position, position);
        --m_rows;
        endRemoveRows();
    });
    connect(m_recordset, &Recordset::rowChanged, this,
            [this](int position) { emit dataChanged(index(position, 0), index(position, columnCount() - 1)); });
}

void RecordsetModel::reload()
{
    beginResetModel();
    m_rows = m_recordset && m_recordset->isOpen() ? m_recordset->RecordCount() : 0;
    endResetModel();
}

void RecordsetModel::resolveFields()
{
    m_fieldIndexes.clear();
    for (const GridColumn &c : std::as_const(m_columns))
        m_fieldIndexes.append(m_recordset ? m_recordset->fieldIndex(c.field) : -1);
}

int RecordsetModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_rows;
}

int RecordsetModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size());
}

QString RecordsetModel::displayText(store::FieldKind kind, const QVariant &value)
{
    if (value.isNull())
        return QString();
    switch (kind) {
    case store::FieldKind::Date:
        return value.metaType().id() == QMetaType::QDate ? value.toDate().toString(QStringLiteral("MM/dd/yyyy"))
                                                         : value.toString();
    case store::FieldKind::YesNo: return value.toBool() ? QStringLiteral("Yes") : QStringLiteral("No");
    case store::FieldKind::Long: return value.toString();
    case store::FieldKind::Text:
    case store::FieldKind::Memo: {
        // One line per row: the lines of a note run on.
        QString text = value.toString();
        text.replace(QLatin1String("\r\n"), QLatin1String(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' '));
        return text;
    }
    }
    return value.toString();
}

QVariant RecordsetModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !m_recordset || index.row() >= m_rows || index.column() >= m_columns.size())
        return QVariant();
    const GridColumn &column = m_columns.at(index.column());
    if (role == Qt::TextAlignmentRole)
        return column.kind == store::FieldKind::Long ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                                                     : QVariant(Qt::AlignLeft | Qt::AlignVCenter);
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole)
        return QVariant();
    const int field = m_fieldIndexes.at(index.column());
    if (field < 0)
        return QVariant();
    const QVariantList row = m_recordset->rowAt(index.row());
    return displayText(column.kind, row.value(field));
}

QVariant RecordsetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < m_columns.size())
        return m_columns.at(section).caption;
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags RecordsetModel::flags(const QModelIndex &index) const
{
    // Read-only: edits happen in the record window.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

} // namespace widgets
