#include "customers/frmInformation.h"

#include "customers/CustomerFields.h"
#include "customers/RenewalTerm.h"
#include "customers/frmListWindow.h"
#include "platform/Services.h"
#include "reports/ui/CrystalReport.h"
#include "store/DatabaseChoice.h"
#include "store/ProgramFolder.h"
#include "widgets/BoundCheckBox.h"
#include "widgets/BoundLineEdit.h"
#include "widgets/BoundTextEdit.h"
#include "widgets/DataErrorReporter.h"
#include "widgets/DateEdit.h"
#include "widgets/MaskedEdit.h"
#include "widgets/ReadOnlyEntry.h"
#include "widgets/RecordNavigator.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace customers {

namespace {
frmInformation::FilterWindowLauncher &filterWindowLauncher()
{
    static frmInformation::FilterWindowLauncher launcher;
    return launcher;
}

frmInformation::ReportFilterSource &reportFilterSource()
{
    static frmInformation::ReportFilterSource source;
    return source;
}

// Wide enough for the mask's empty form and a little more.
int maskedWidth(const QWidget *field, int characters)
{
    return field->fontMetrics().horizontalAdvance(QString(characters + 2, QLatin1Char('0'))) + 12;
}

QString spokenName(const CustomerField &f)
{
    if (!f.accessibleName.isEmpty())
        return f.accessibleName;
    QString name = f.caption;
    if (name.endsWith(QLatin1Char(':')))
        name.chop(1);
    return name;
}
} // namespace

void frmInformation::setFilterWindowLauncher(FilterWindowLauncher launcher)
{
    filterWindowLauncher() = std::move(launcher);
}

void frmInformation::setReportFilterSource(ReportFilterSource source)
{
    reportFilterSource() = std::move(source);
}

frmInformation::frmInformation(QWidget *parent) : QMainWindow(parent)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmInformation"));
    setWindowTitle(QStringLiteral("Information"));

    Data1 = new store::DataControl(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setConnect(QStringLiteral("Access"));
    Data1->setRecordSource(QStringLiteral("information"));
    widgets::reportDataErrors(Data1);

    buildFields();
    buildMenus();
    buildLayout();
    setTabOrder();

    // After a delete or a new record set the window may be left without a
    // row; it is checked once the data control has finished its step.
    connect(Data1, &store::DataControl::currentChanged, this, &frmInformation::ensureRowToEdit, Qt::QueuedConnection);
    connect(Data1, &store::DataControl::recordsetChanged, this, &frmInformation::ensureRowToEdit, Qt::QueuedConnection);

    Form_Load();
}

frmInformation::~frmInformation()
{
    // The list window shows this window's rows; it goes with it.
    delete m_listWindow;
}

void frmInformation::buildFields()
{
    m_fieldsArea = new QWidget(this);
    for (const CustomerField &f : customerFields()) {
        QWidget *control = nullptr;
        switch (f.entry) {
        case Entry::Masked: {
            auto *edit = new widgets::MaskedEdit(f.field, f.mask, m_fieldsArea);
            edit->setMinimumWidth(maskedWidth(edit, int(f.mask.size())));
            edit->setMaximumWidth(qMax(maskedWidth(edit, int(f.mask.size())), maskedWidth(edit, 12)));
            Data1->bind(edit);
            control = edit;
            break;
        }
        case Entry::Date:
        case Entry::TextDate: {
            auto *edit = new widgets::DateEdit(
                f.field, f.entry == Entry::Date ? widgets::DateEdit::Storage::Date : widgets::DateEdit::Storage::Text,
                m_fieldsArea);
            edit->setMinimumWidth(maskedWidth(edit, 10));
            edit->setMaximumWidth(maskedWidth(edit, 12));
            Data1->bind(edit);
            control = edit;
            break;
        }
        case Entry::Text: {
            auto *edit = new widgets::BoundLineEdit(f.field, m_fieldsArea);
            edit->setEntryLimit(50);
            Data1->bind(edit);
            control = edit;
            break;
        }
        case Entry::Memo: {
            auto *edit = new widgets::BoundTextEdit(f.field, m_fieldsArea);
            edit->setFixedHeight(edit->fontMetrics().lineSpacing() * 3 + 12);
            Data1->bind(edit);
            control = edit;
            break;
        }
        case Entry::Check: {
            auto *box = new widgets::BoundCheckBox(f.field, f.caption, m_fieldsArea);
            // The caption reads before the box, as the other fields' captions do.
            box->setLayoutDirection(Qt::RightToLeft);
            Data1->bind(box);
            control = box;
            break;
        }
        }
        control->setObjectName(f.control);
        control->setToolTip(f.prompt);
        control->setAccessibleName(spokenName(f));
        m_tabOrder.append(control);
    }
    TDBDate1 = m_fieldsArea->findChild<widgets::DateEdit *>(QStringLiteral("TDBDate1"));
    TDBDate2 = m_fieldsArea->findChild<widgets::DateEdit *>(QStringLiteral("TDBDate2"));
    TDBMask12 = m_fieldsArea->findChild<widgets::MaskedEdit *>(QStringLiteral("TDBMask12"));
    TDBMask13 = m_fieldsArea->findChild<widgets::MaskedEdit *>(QStringLiteral("TDBMask13"));
    TDBMask14 = m_fieldsArea->findChild<widgets::MaskedEdit *>(QStringLiteral("TDBMask14"));
    TDBMask15 = m_fieldsArea->findChild<widgets::MaskedEdit *>(QStringLiteral("TDBMask15"));

    connect(TDBDate2, &widgets::DateEdit::entered, this, &frmInformation::TDBDate2_GotFocus);
    connect(TDBMask12, &widgets::MaskedEdit::left, this, &frmInformation::TDBMask12_LostFocus);
    connect(TDBMask15, &widgets::MaskedEdit::left, this, &frmInformation::TDBMask15_LostFocus);

    SSDBData1 = new widgets::RecordNavigator(this);
    SSDBData1->setObjectName(QStringLiteral("SSDBData1"));
    SSDBData1->setDataControl(Data1);
    connect(SSDBData1, &widgets::RecordNavigator::rowAdded, this,
            [this] { TDBMask13->setFocus(Qt::OtherFocusReason); });

    FilterLabel = new QLabel(QStringLiteral("Filter is ON"), this);
    FilterLabel->setObjectName(QStringLiteral("FilterLabel"));
    QFont bold = FilterLabel->font();
    bold.setBold(true);
    FilterLabel->setFont(bold);
    FilterLabel->setStyleSheet(QStringLiteral("color: #b00000;"));
    QSizePolicy keepPlace = FilterLabel->sizePolicy();
    keepPlace.setRetainSizeWhenHidden(true);
    FilterLabel->setSizePolicy(keepPlace);
    FilterLabel->hide();

    Command1 = new QPushButton(QStringLiteral("E&xit"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("Click here to exit"));
    connect(Command1, &QPushButton::clicked, this, &frmInformation::Command1_Click);
}

void frmInformation::buildMenus()
{
    MnuFilter = menuBar()->addMenu(QStringLiteral("&Filter"));
    MnuFilter->setObjectName(QStringLiteral("MnuFilter"));
    MnuFilterCreate = MnuFilter->addAction(QStringLiteral("&Create"));
    MnuFilterCreate->setObjectName(QStringLiteral("MnuFilterCreate"));
    connect(MnuFilterCreate, &QAction::triggered, this, &frmInformation::MnuFilterCreate_Click);

    MnuSort = menuBar()->addMenu(QStringLiteral("&Sort"));
    MnuSort->setObjectName(QStringLiteral("MnuSort"));
    MnuSortLockerNumber = MnuSort->addAction(QStringLiteral("By &Locker Number"));
    MnuSortLockerNumber->setObjectName(QStringLiteral("MnuSortLockerNumber"));
    MnuSortName = MnuSort->addAction(QStringLiteral("By Last &Name"));
    MnuSortName->setObjectName(QStringLiteral("MnuSortName"));
    connect(MnuSortLockerNumber, &QAction::triggered, this, &frmInformation::MnuSortLockerNumber_Click);
    connect(MnuSortName, &QAction::triggered, this, &frmInformation::MnuSortName_Click);

    MnuPrint = menuBar()->addMenu(QStringLiteral("&Print"));
    MnuPrint->setObjectName(QStringLiteral("MnuPrint"));
    MnuPrintLabels = MnuPrint->addAction(QStringLiteral("Labels"));
    MnuPrintLabels->setObjectName(QStringLiteral("MnuPrintLabels"));
    MnuPrintReport = MnuPrint->addAction(QStringLiteral("Report"));
    MnuPrintReport->setObjectName(QStringLiteral("MnuPrintReport"));

    connect(MnuPrintLabels, &QAction::triggered, this, &frmInformation::MnuPrintLabels_Click);
    connect(MnuPrintReport, &QAction::triggered, this, &frmInformation::MnuPrintReport_Click);
    CrystalReport1 = new reports::CrystalReport(this);

    MnuList = menuBar()->addAction(QStringLiteral("&List"));
    MnuList->setObjectName(QStringLiteral("MnuList"));
    connect(MnuList, &QAction::triggered, this, &frmInformation::MnuList_Click);
}

void frmInformation::buildLayout()
{
    QHash<Frame, QGroupBox *> boxes;
    QHash<Frame, QGridLayout *> grids;
    for (const FrameInfo &info : customerFrames()) {
        auto *box = new QGroupBox(info.caption, m_fieldsArea);
        box->setObjectName(info.objectName);
        box->setToolTip(info.tooltip);
        auto *grid = new QGridLayout(box);
        grid->setHorizontalSpacing(8);
        grid->setVerticalSpacing(4);
        boxes.insert(info.frame, box);
        grids.insert(info.frame, grid);
    }

    auto *classes = new QHBoxLayout; // Adult, Junior, Senior under the personal fields
    for (const CustomerField &f : customerFields()) {
        QWidget *control = m_fieldsArea->findChild<QWidget *>(f.control);
        QGridLayout *grid = grids.value(f.frame);
        if (f.entry == Entry::Check) {
            if (f.frame == Frame::Personal)
                classes->addWidget(control);
            else
                grid->addWidget(control, f.row, f.column);
            continue;
        }
        if (!f.caption.isEmpty()) {
            auto *label = new QLabel(f.caption, boxes.value(f.frame));
            label->setBuddy(control);
            grid->addWidget(label, f.row, f.column * 2);
        }
        if (f.entry == Entry::Memo)
            grid->addWidget(control, f.row, f.column * 2 + 1, 1, 3);
        else if (f.entry == Entry::Masked || f.entry == Entry::Date || f.entry == Entry::TextDate)
            grid->addWidget(control, f.row, f.column * 2 + 1, Qt::AlignLeft);
        else
            grid->addWidget(control, f.row, f.column * 2 + 1);
    }
    classes->addStretch(1);
    grids.value(Frame::Personal)->addLayout(classes, 8, 1, 1, 3);
    grids.value(Frame::Personal)->setColumnStretch(1, 1);
    grids.value(Frame::Personal)->setColumnStretch(3, 1);
    grids.value(Frame::Work)->setColumnStretch(1, 1);
    for (Frame f : {Frame::Identification, Frame::Dates, Frame::Locker, Frame::Work})
        grids.value(f)->setRowStretch(grids.value(f)->rowCount(), 1);

    auto *top = new QHBoxLayout;
    top->addWidget(boxes.value(Frame::Identification), 1);
    top->addWidget(boxes.value(Frame::Dates), 1);
    top->addWidget(boxes.value(Frame::Locker), 2);
    auto *middle = new QHBoxLayout;
    middle->addWidget(boxes.value(Frame::Personal), 3);
    middle->addWidget(boxes.value(Frame::Work), 2);
    auto *fields = new QVBoxLayout(m_fieldsArea);
    fields->setContentsMargins(0, 0, 0, 0);
    fields->addLayout(top);
    fields->addLayout(middle, 1);
    fields->addWidget(boxes.value(Frame::Leagues));

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(SSDBData1);
    bottom->addStretch(1);
    bottom->addWidget(FilterLabel);
    bottom->addStretch(1);
    bottom->addWidget(Command1);

    auto *central = new QWidget(this);
    auto *page = new QVBoxLayout(central);
    page->addWidget(m_fieldsArea, 1);
    page->addLayout(bottom);
    setCentralWidget(central);
}

void frmInformation::setTabOrder()
{
    QList<QWidget *> chain = m_tabOrder;
    for (const char *name : {"First", "Previous", "Next", "Last", "Add", "Delete"}) {
        if (QWidget *button = SSDBData1->findChild<QWidget *>(QLatin1String(name)))
            chain.append(button);
    }
    chain.append(Command1);
    for (int i = 1; i < chain.size(); ++i)
        QWidget::setTabOrder(chain.at(i - 1), chain.at(i));
}

void frmInformation::setSortMenuEnabled(bool enabled)
{
    MnuSort->setEnabled(enabled);
    MnuSort->menuAction()->setEnabled(enabled);
}

void frmInformation::setPrintMenuEnabled(bool enabled)
{
    MnuPrint->setEnabled(enabled);
    MnuPrint->menuAction()->setEnabled(enabled);
}

void frmInformation::Form_Load()
{
    setPrintMenuEnabled(false);
    Data1->setDatabaseName(store::DatabaseChoice::databaseName());
    // A file that cannot be opened is reported by the data control; the
    // window stays open without rows.
    Data1->Refresh();
    ensureRowToEdit();
    TDBMask13->setFocus(Qt::OtherFocusReason);
}

void frmInformation::ensureRowToEdit()
{
    const auto rs = Data1->recordset();
    const bool open = rs && rs->isOpen();
    // Without a record set nothing typed could be kept.
    m_fieldsArea->setEnabled(open);
    // A read-only file is shown, never edited.
    widgets::setEntryReadOnly(m_fieldsArea, open && Data1->isReadOnly());
    if (open && !Data1->isReadOnly() && !rs->hasCurrent() && !Data1->isAdding())
        Data1->addNew();
}

bool frmInformation::writePendingEdit()
{
    return Data1->UpdateRecord();
}

bool frmInformation::addNewForLocker(qint64 lockerNumber)
{
    // A read-only file was said to be so once, when it was opened.
    if (Data1->isReadOnly() || !Data1->addNew())
        return false;
    // The map chose the number, not the operator: it goes in with what the
    // operator types, but a row left with nothing else typed is not added.
    TDBMask13->setFilledText(QString::number(lockerNumber));
    TDBMask13->setFocus(Qt::OtherFocusReason);
    return true;
}

void frmInformation::closeEvent(QCloseEvent *event)
{
    // The closing call writes the pending edit; one the engine refuses keeps
    // the window open on the row, with the operator told why.
    if (!writePendingEdit()) {
        event->ignore();
        return;
    }
    event->accept();
}

void frmInformation::Command1_Click()
{
    close();
}

void frmInformation::MnuFilterCreate_Click()
{
    platform::Hourglass busy;
    Data1->setRecordsetType(store::Recordset::Dynaset);
    if (filterWindowLauncher())
        filterWindowLauncher()(*this);
}

void frmInformation::MnuSortLockerNumber_Click()
{
    sortBy(QStringLiteral("LockerNumber"));
}

void frmInformation::MnuSortName_Click()
{
    sortBy(QStringLiteral("LastName"));
}

void frmInformation::sortBy(const QString &indexName)
{
    platform::Hourglass busy;
    // The record set is replaced: what was typed into its row is written first.
    if (!writePendingEdit())
        return;
    Data1->closeRecordset();
    Data1->setRecordsetType(store::Recordset::Table);
    Data1->setDatabaseName(store::DatabaseChoice::databaseName());
    Data1->setRecordSource(QStringLiteral("Information"));
    if (Data1->Refresh()) {
        store::EngineError e;
        const auto rs = Data1->recordset();
        if (!rs->setIndex(indexName, &e))
            platform::msgBox(e.text, platform::Buttons::OKOnly, platform::Icon::Exclamation);
        else if (rs->RecordCount() > 0) // an empty table has no first row to move to
            Data1->moveFirst();
    }
    ensureRowToEdit();
}

void frmInformation::MnuList_Click()
{
    platform::Hourglass busy;
    if (!m_listWindow)
        m_listWindow = new frmListWindow(Data1);
    m_listWindow->show();
    m_listWindow->raise();
    m_listWindow->activateWindow();
}

void frmInformation::MnuPrintLabels_Click()
{
    printFiltered(QStringLiteral("\\Labels.rpt"));
}

void frmInformation::MnuPrintReport_Click()
{
    printFiltered(QStringLiteral("\\Filter.rpt"));
}

void frmInformation::printFiltered(const QString &reportLiteral)
{
    platform::Hourglass busy;
    if (FilterLabel->isHidden()) {
        platform::services().beep();
        platform::msgBox(QStringLiteral("This is for printing 'Filtered' records only"), platform::Buttons::OKOnly,
                         platform::Icon::Exclamation, QStringLiteral("Notice"));
        return;
    }
    setSortMenuEnabled(false);
    const ReportFilter filter = reportFilterSource() ? reportFilterSource()() : ReportFilter();
    CrystalReport1->setSelectionFormula(filter.formula);
    CrystalReport1->setSelectionStatement(filter.selection);
    // Keys of an earlier print must not sort this one: all three are cleared,
    // then set up to the first empty key.
    for (int i = 0; i < 3; ++i)
        CrystalReport1->setSortFields(i, QString());
    for (int i = 0; i < 3 && i < filter.sortKeys.size() && !filter.sortKeys.at(i).isEmpty(); ++i)
        CrystalReport1->setSortFields(i, filter.sortKeys.at(i));
    CrystalReport1->setReportFileName(store::programPath(reportLiteral));
    // A report that cannot run is told, not passed over as if it had printed.
    if (!CrystalReport1->setAction(1))
        platform::msgBox(CrystalReport1->LastErrorString(), platform::Buttons::OKOnly, platform::Icon::Exclamation);
}

void frmInformation::TDBDate2_GotFocus()
{
    if (!TDBDate2->isBlank())
        return;
    const platform::Button answer =
        platform::msgBox(renewalQuestion(), platform::Buttons::YesNo, platform::Icon::None, QString(), 1);
    if (answer != platform::Button::Yes)
        return;
    const QDate expiry = proposedExpiry(TDBDate1->date());
    if (expiry.isValid())
        TDBDate2->setEditedDate(expiry);
    TDBMask14->setFocus(Qt::OtherFocusReason);
}

void frmInformation::TDBMask12_LostFocus()
{
    if (TDBMask12->isBlank())
        TDBMask12->setFilledText(QStringLiteral("0"));
}

void frmInformation::TDBMask15_LostFocus()
{
    if (TDBMask15->isBlank())
        TDBMask15->setFilledText(QStringLiteral("0"));
}

} // namespace customers
