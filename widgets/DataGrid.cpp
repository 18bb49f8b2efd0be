#include "widgets/DataGrid.h"

#include "store/DataControl.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>

namespace widgets {

namespace {
int widthFor(const QFontMetrics &fm, const GridColumn &column)
{
    int chars = 14;
    switch (column.kind) {
    case store::FieldKind::Long: chars = 10; break;
    case store::FieldKind::Date: chars = 10; break;
    case store::FieldKind::Memo: chars = 30; break;
    default: break;
    }
    const int content = fm.horizontalAdvance(QLatin1Char('0')) * chars;
    const int caption = fm.horizontalAdvance(column.caption);
    return qMax(content, caption) + 16;
}
} // namespace

DataGrid::DataGrid(QList<GridColumn> columns, QWidget *parent) : QWidget(parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_caption = new QLabel(this);
    m_caption->setObjectName(QStringLiteral("Caption"));
    m_caption->setAlignment(Qt::AlignCenter);
    m_caption->setAutoFillBackground(true);
    m_caption->setBackgroundRole(QPalette::Dark);
    m_caption->setForegroundRole(QPalette::BrightText);
    m_caption->setMargin(3);
    QFont bold = m_caption->font();
    bold.setBold(true);
    m_caption->setFont(bold);
    layout->addWidget(m_caption);

    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("Table"));
    m_model = new RecordsetModel(std::move(columns), this);
    m_view->setModel(m_model);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setWordWrap(false);
    m_view->setAlternatingRowColors(true);
    // Fixed heights and widths: nothing is measured over the rows.
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 6);
    m_view->horizontalHeader()->setHighlightSections(false);
    const QFontMetrics fm = m_view->fontMetrics();
    for (int c = 0; c < m_model->columnCount(); ++c)
        m_view->setColumnWidth(c, widthFor(fm, m_model->columns().at(c)));
    layout->addWidget(m_view);

    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) {
                if (!m_syncing && current.isValid())
                    rowChosen(current.row());
            });
    connect(m_model, &QAbstractItemModel::modelReset, this, &DataGrid::showCurrentRow);
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &DataGrid::showCurrentRow);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &DataGrid::showCurrentRow);
}

void DataGrid::setCaption(const QString &caption)
{
    m_caption->setText(caption);
    m_view->setAccessibleName(caption);
}

QString DataGrid::caption() const
{
    return m_caption->text();
}

void DataGrid::setDataControl(store::DataControl *data)
{
    if (m_data)
        disconnect(m_data, nullptr, this, nullptr);
    m_data = data;
    if (m_data) {
        connect(m_data, &store::DataControl::recordsetChanged, this, &DataGrid::followRecordset);
        connect(m_data, &store::DataControl::currentChanged, this, &DataGrid::showCurrentRow);
    }
    followRecordset();
}

void DataGrid::followRecordset()
{
    m_model->setRecordset(m_data ? m_data->recordset().get() : nullptr);
    showCurrentRow();
}

int DataGrid::currentRow() const
{
    const QModelIndex current = m_view->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void DataGrid::showCurrentRow()
{
    store::Recordset *rs = m_model->recordset();
    const int row = rs && rs->isOpen() && rs->hasCurrent() ? rs->AbsolutePosition() : -1;
    if (row == currentRow() && (row < 0 || m_view->selectionModel()->isRowSelected(row, QModelIndex())))
        return;
    m_syncing = true;
    if (row < 0) {
        m_view->selectionModel()->clear();
    } else {
        const int column = qMax(0, m_view->currentIndex().column());
        const QModelIndex index = m_model->index(row, column);
        m_view->selectionModel()->setCurrentIndex(index,
                                                  QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        m_view->scrollTo(index);
    }
    m_syncing = false;
}

void DataGrid::rowChosen(int row)
{
    store::Recordset *rs = m_model->recordset();
    if (!m_data || !rs || row == rs->AbsolutePosition())
        return;
    // A refused move (a pending edit the engine would not take) keeps the
    // record set where it was; the grid goes back there.
    if (!m_data->moveTo(row))
        showCurrentRow();
}

bool DataGrid::setBookmark(qint64 bookmark)
{
    store::Recordset *rs = m_model->recordset();
    if (!m_data || !rs)
        return false;
    const int row = rs->positionOf(bookmark);
    if (row < 0)
        return false;
    if (row != rs->AbsolutePosition() && !m_data->moveTo(row))
        return false;
    showCurrentRow();
    return true;
}

} // namespace widgets
