#pragma once

#include "store/DataControl.h"
#include "widgets/RecordsetModel.h"

#include <QPointer>
#include <QWidget>
#include <functional>

class QPushButton;

namespace widgets {
class DataGrid;
class RecordNavigator;
} // namespace widgets

namespace customers {

// The list window ("Customer Database"): the record window's rows as a grid,
// one row per customer. Its data control Data1 takes over the record set of
// the record window's data control, so both windows work on one record set
// and keep their current rows in step; when the record window's data control
// gets a new record set (a sort, a filter), this window takes that one over
// too. Cells are read-only: edits happen in the record window.
class frmListWindow : public QWidget
{
    Q_OBJECT
public:
    explicit frmListWindow(store::DataControl *recordWindowData, QWidget *parent = nullptr);

    // The grid's columns, left to right, with their captions and kinds.
    static QList<widgets::GridColumn> gridColumns();

    store::DataControl *data() const { return Data1; }
    widgets::DataGrid *grid() const { return SSDBGrid1; }

    // Writes the window's rows to a CSV file ("E&xport..."). Set once by the
    // program; without it the window has no export button.
    using ExportLauncher = std::function<void(frmListWindow &)>;
    static void setExportLauncher(ExportLauncher launcher);

private:
    void Form_Load();
    void followRecordWindow();

    store::DataControl *Data1 = nullptr;
    widgets::DataGrid *SSDBGrid1 = nullptr;
    widgets::RecordNavigator *SSDBData1 = nullptr;
    QPushButton *cmdExport = nullptr;
    QPointer<store::DataControl> m_recordWindowData;
};

} // namespace customers
