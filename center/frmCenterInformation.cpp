#include "center/frmCenterInformation.h"

#include "store/DataControl.h"
#include "store/DatabaseChoice.h"
#include "store/ProgramFolder.h"
#include "widgets/BoundLineEdit.h"
#include "widgets/DataErrorReporter.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace center {

namespace {

struct CenterField {
    const char *field;
    int limit;
    const char *caption; // nullptr: a further line of the field above
    const char *tooltip;
    const char *unit;
    const char *accessibleName;
};

// In tab order; the index is the txtFields index.
constexpr CenterField kFields[] = {
    {"YearlyRate", 6, "Rental Rate:", "Enter the rate here", "Dollars", "Rental Rate"},
    {"Period", 3, "Rental Time Period:", "Enter how many days for the rate above", "Days", "Rental Time Period"},
    {"CenterName", 50, "Center Name:", "Enter your center name", nullptr, "Center Name"},
    {"CenterAddress1", 50, "Center Address:", "Enter your center address", nullptr, "Center Address"},
    {"CenterAddress2", 50, nullptr, nullptr, nullptr, "Center Address, line 2"},
    {"CenterAddress3", 50, nullptr, nullptr, nullptr, "Center Address, line 3"},
    {"CenterAddress4", 50, nullptr, nullptr, nullptr, "Center Address, line 4"},
    {"CenterAddress5", 50, nullptr, nullptr, nullptr, "Center Address, line 5"},
    {"CenterPhone", 14, "Center Phone #:", "Your phone number", nullptr, "Center Phone #"},
    {"CenterFax", 14, "Center Fax #:", "Your fax number", nullptr, "Center Fax #"},
    {"ManagerName", 50, "Manager Name:", "Managers name ", nullptr, "Manager Name"},
};

constexpr int kFirstNameField = 2;
constexpr int kFirstNumberField = 8;

// Short fields get a box that fits what they hold, not the whole row.
constexpr int kShortField = 14;

} // namespace

frmCenterInformation::frmCenterInformation(QWidget *mainMenu) : QWidget(nullptr, Qt::Window), m_mainMenu(mainMenu)
{
    setObjectName(QStringLiteral("frmCenterInformation"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Bowling Center Information"));
    createControls();
    Form_Load();
}

frmCenterInformation::~frmCenterInformation()
{
    // The window may go without closing (the program ending): what was typed
    // is still written, with no one left to tell of a failure.
    Data1->setErrorsSilenced(true);
    Data1->UpdateRecord();
    enableMainMenu();
}

void frmCenterInformation::createControls()
{
    Data1 = new store::DataControl(this);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setConnect(QStringLiteral("Access"));
    widgets::reportDataErrors(Data1);

    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);
    const int charWidth = fontMetrics().horizontalAdvance(QLatin1Char('0'));

    int row = 0;
    for (const CenterField &f : kFields) {
        const int index = int(txtFields.size());
        // The rate, the center's name and address, its numbers and manager:
        // a little air between the groups.
        if (index == kFirstNameField || index == kFirstNumberField)
            grid->setRowMinimumHeight(row++, 6);
        auto *box = new widgets::BoundLineEdit(QString::fromLatin1(f.field), this);
        box->setObjectName(QStringLiteral("txtFields_%1").arg(index));
        box->setEntryLimit(f.limit);
        box->setAccessibleName(QString::fromLatin1(f.accessibleName));
        if (f.tooltip)
            box->setToolTip(QString::fromLatin1(f.tooltip));
        Data1->bind(box);
        txtFields << box;

        if (f.caption) {
            auto *label = new QLabel(QString::fromLatin1(f.caption), this);
            label->setObjectName(QStringLiteral("lblFields_%1").arg(index));
            label->setBuddy(box);
            grid->addWidget(label, row, 0, Qt::AlignRight | Qt::AlignVCenter);
        }
        if (f.limit <= kShortField) {
            box->setFixedWidth(charWidth * (f.limit + 2) + 12);
            auto *line = new QHBoxLayout;
            line->setSpacing(6);
            line->addWidget(box);
            if (f.unit) {
                box->setAccessibleDescription(QString::fromLatin1(f.unit));
                auto *unit = new QLabel(QString::fromLatin1(f.unit), this);
                unit->setObjectName(QStringLiteral("lblUnit_%1").arg(index));
                line->addWidget(unit);
            }
            line->addStretch();
            grid->addLayout(line, row, 1);
        } else {
            box->setMinimumWidth(charWidth * 36);
            grid->addWidget(box, row, 1);
        }
        ++row;
    }

    Command1 = new QPushButton(QStringLiteral("E&xit"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    connect(Command1, &QPushButton::clicked, this, &frmCenterInformation::Command1_Click);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(Command1);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addStretch();
    layout->addLayout(buttons);
}

void frmCenterInformation::Form_Load()
{
    Data1->setDatabaseName(store::DatabaseChoice::databaseName());
    Data1->setRecordSource(QStringLiteral("CenterInformation"));
    if (!Data1->Refresh()) {
        // The data control has said why. With nowhere to write, nothing may
        // be typed that would then be lost.
        for (widgets::BoundLineEdit *box : std::as_const(txtFields))
            box->setReadOnly(true);
        return;
    }
    if (Data1->isReadOnly()) {
        for (widgets::BoundLineEdit *box : std::as_const(txtFields))
            box->setReadOnly(true);
        return;
    }
    // A table without its row: what is typed becomes the row.
    if (Data1->recordset()->RecordCount() == 0)
        Data1->addNew();
}

void frmCenterInformation::Command1_Click()
{
    close();
}

bool frmCenterInformation::Form_Unload()
{
    if (!Data1->UpdateRecord())
        return false;
    enableMainMenu();
    return true;
}

void frmCenterInformation::enableMainMenu()
{
    if (m_mainMenu)
        m_mainMenu->setEnabled(true);
}

void frmCenterInformation::closeEvent(QCloseEvent *event)
{
    if (!Form_Unload()) {
        event->ignore();
        return;
    }
    event->accept();
}

void frmCenterInformation::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

} // namespace center
