#include "customers/frmListWindow.h"

#include "widgets/DataErrorReporter.h"
#include "widgets/DataGrid.h"
#include "widgets/RecordNavigator.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace customers {

namespace {
frmListWindow::ExportLauncher &exportLauncher()
{
    static frmListWindow::ExportLauncher launcher;
    return launcher;
}
} // namespace

void frmListWindow::setExportLauncher(ExportLauncher launcher)
{
    exportLauncher() = std::move(launcher);
}

QList<widgets::GridColumn> frmListWindow::gridColumns()
{
    using K = store::FieldKind;
    QList<widgets::GridColumn> columns;
    auto add = [&columns](const char *field, K kind = K::Text) {
        columns.append({QString::fromLatin1(field), QString::fromLatin1(field), kind});
    };
    add("LockerNumber", K::Long);
    add("FirstName");
    add("LastName");
    add("DateRented", K::Date);
    add("DatetoRenew", K::Date);
    add("City");
    add("State");
    add("Zip");
    add("KeyDeposit", K::Long);
    add("VIBNumber", K::Long);
    add("Combo1");
    add("Combo2");
    add("Combo3");
    add("Address1");
    add("Address2");
    add("Address3");
    add("EMail");
    add("KeyNumber", K::Long);
    add("Phone1");
    add("Phone2");
    add("Fax");
    add("WorkName");
    add("WorkAddress1");
    add("WorkAddress2");
    add("WorkCity");
    add("WorkState");
    add("WorkZip");
    add("WorkPhone");
    add("WorkFax");
    add("Age");
    add("Birthdate");
    add("SSNumber");
    add("Gender");
    add("Notes"); // long text, shown as text
    return columns;
}

frmListWindow::frmListWindow(store::DataControl *recordWindowData, QWidget *parent)
    : QWidget(parent, Qt::Window), m_recordWindowData(recordWindowData)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmListWindow"));
    setWindowTitle(QStringLiteral("Customer Database"));

    Data1 = new store::DataControl(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    widgets::reportDataErrors(Data1);

    SSDBGrid1 = new widgets::DataGrid(gridColumns(), this);
    SSDBGrid1->setObjectName(QStringLiteral("SSDBGrid1"));
    SSDBGrid1->setCaption(QStringLiteral("Customers Information"));
    SSDBGrid1->setDataControl(Data1);

    SSDBData1 = new widgets::RecordNavigator(this);
    SSDBData1->setObjectName(QStringLiteral("SSDBData1"));
    SSDBData1->setEditingEnabled(false);
    SSDBData1->setDataControl(Data1);

    cmdExport = new QPushButton(QStringLiteral("E&xport..."), this);
    cmdExport->setObjectName(QStringLiteral("cmdExport"));
    cmdExport->setToolTip(QStringLiteral("Click here to write these customers to a CSV file"));
    cmdExport->setVisible(bool(exportLauncher()));
    connect(cmdExport, &QPushButton::clicked, this, [this] {
        if (exportLauncher())
            exportLauncher()(*this);
    });

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(SSDBData1);
    bottom->addStretch(1);
    bottom->addWidget(cmdExport);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(SSDBGrid1, 1);
    layout->addLayout(bottom);
    resize(960, 540);

    if (m_recordWindowData)
        connect(m_recordWindowData, &store::DataControl::recordsetChanged, this, &frmListWindow::followRecordWindow);
    Form_Load();
}

void frmListWindow::Form_Load()
{
    followRecordWindow();
}

void frmListWindow::followRecordWindow()
{
    Data1->setRecordset(m_recordWindowData ? m_recordWindowData->recordset() : nullptr);
    const auto rs = Data1->recordset();
    if (!rs || !rs->isOpen() || rs->RecordCount() == 0)
        return;
    // Open on the record window's customer; without one, on the first row.
    if (!rs->hasCurrent() || !SSDBGrid1->setBookmark(rs->Bookmark()))
        Data1->moveFirst();
}

} // namespace customers
