#pragma once

#include "store/DataControl.h"
#include "widgets/RecordsetModel.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QTableView;

namespace widgets {

// A grid bound to a data control (SSDBGrid): a caption bar over a read-only
// table of the control's record set. The grid's current row and the record
// set's current row follow each other: clicking a row moves the record set
// through the data control (so pending edits are written first), and a move
// made elsewhere moves the grid. A move that is refused leaves the grid on
// the record set's row.
class DataGrid : public QWidget
{
    Q_OBJECT
public:
    DataGrid(QList<GridColumn> columns, QWidget *parent = nullptr);

    void setCaption(const QString &caption);
    QString caption() const;

    void setDataControl(store::DataControl *data);
    QTableView *view() const { return m_view; }
    RecordsetModel *model() const { return m_model; }

    // Makes the row with this bookmark the current row.
    bool setBookmark(qint64 bookmark);
    // The grid's current row, or -1.
    int currentRow() const;

private:
    void followRecordset();
    void showCurrentRow();
    void rowChosen(int row);

    QLabel *m_caption = nullptr;
    QTableView *m_view = nullptr;
    RecordsetModel *m_model = nullptr;
    QPointer<store::DataControl> m_data;
    bool m_syncing = false;
};

} // namespace widgets
