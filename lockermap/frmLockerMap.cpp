#include "lockermap/frmLockerMap.h"

#include "customers/frmInformation.h"
#include "lockermap/CellStyle.h"
#include "lockermap/Legend.h"
#include "lockermap/LockerGrid.h"
#include "lockermap/MapPrint.h"
#include "platform/Services.h"
#include "printing/PrintChoice.h"
#include "store/DatabaseChoice.h"
#include "store/ProgramFolder.h"
#include "store/Recordset.h"
#include "store/ServerChanges.h"
#include "store/WriteNotifier.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QVBoxLayout>
#include <limits>

namespace lockermap {

// A sample cell of one state beside its count in the legend.
class LegendSwatch : public QWidget
{
public:
    LegendSwatch(LockerState state, QWidget *parent) : QWidget(parent), m_state(state) { setFixedSize(36, 20); }
    void setCellStyle(const CellStyle &style)
    {
        m_style = style;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        m_style.paintSwatch(painter, rect(), m_state);
    }

private:
    LockerState m_state;
    CellStyle m_style;
};

namespace {
QString legendObjectName(LockerState state)
{
    switch (state) {
    case LockerState::Vacant: return QStringLiteral("lblVacant");
    case LockerState::Rented: return QStringLiteral("lblRented");
    case LockerState::Expiring: return QStringLiteral("lblExpiring");
    case LockerState::Expired: return QStringLiteral("lblExpired");
    case LockerState::NoDate: return QStringLiteral("lblNoDate");
    case LockerState::Double: return QStringLiteral("lblDouble");
    }
    return QString();
}

// A dark window colour means a dark or high-contrast theme: the map then
// starts in its high-contrast form.
bool paletteIsDark(const QPalette &palette)
{
    return palette.color(QPalette::Window).lightness() < 128;
}

QSpinBox *numberBox(QWidget *parent, const QString &name, int low, int high)
{
    auto *box = new QSpinBox(parent);
    box->setObjectName(name);
    box->setRange(low, high);
    box->setGroupSeparatorShown(false);
    box->setKeyboardTracking(false);
    return box;
}
} // namespace

frmLockerMap::frmLockerMap(QWidget *parent) : QMainWindow(parent), m_clock([] { return QDate::currentDate(); })
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmLockerMap"));
    setWindowTitle(QStringLiteral("Locker Map"));

    m_settings = MapSettings::load(paletteIsDark(palette()));
    m_choosePrinter = [this](QPrinter &printer, int pages) {
        return printing::askPrinter(printer, pages, QStringLiteral("Print Locker Map"), this);
    };

    buildControls();
    buildLayout();
    showSettings();

    connect(store::WriteNotifier::instance(), &store::WriteNotifier::committed, this, [this] { refresh(); });
    connect(store::ServerChanges::instance(), &store::ServerChanges::changedElsewhere, this, [this] { refresh(); });
    refresh();
    // A whole row in view where the screen allows it.
    const QRect screen = this->screen()->availableGeometry();
    const int width = std::max(sizeHint().width(), m_grid->sizeHint().width() + 24);
    resize(std::min(width, screen.width() - 40), std::min(680, screen.height() - 60));
    m_grid->setFocus(Qt::OtherFocusReason);
}

frmLockerMap::~frmLockerMap()
{
    // The record window the map opened for itself runs its closing steps.
    if (m_ownRecordWindow)
        m_ownRecordWindow->close();
}

void frmLockerMap::setClock(std::function<QDate()> clock)
{
    m_clock = std::move(clock);
    refresh();
}

void frmLockerMap::buildControls()
{
    MnuPrint = menuBar()->addAction(QStringLiteral("&Print"));
    MnuPrint->setObjectName(QStringLiteral("MnuPrint"));
    connect(MnuPrint, &QAction::triggered, this, &frmLockerMap::MnuPrint_Click);

    constexpr int top = std::numeric_limits<qint32>::max();
    txtFirst = numberBox(this, QStringLiteral("txtFirst"), 1, top);
    txtFirst->setToolTip(QStringLiteral("The first locker number the map shows"));
    txtLast = numberBox(this, QStringLiteral("txtLast"), 0, top);
    txtLast->setSpecialValueText(QStringLiteral("Highest in use"));
    txtLast->setToolTip(QStringLiteral("The last locker number the map shows; 0 for the highest number in use"));
    txtPerRow = numberBox(this, QStringLiteral("txtPerRow"), 1, MapSettings::kMaxPerRow);
    txtPerRow->setToolTip(QStringLiteral("How many lockers make one row of the map"));
    txtExpiringDays = numberBox(this, QStringLiteral("txtExpiringDays"), 0, MapSettings::kMaxExpiringDays);
    txtExpiringDays->setToolTip(QStringLiteral("A rental that ends within this many days shows as expiring"));
    chkHighContrast = new QCheckBox(QStringLiteral("High &contrast"), this);
    chkHighContrast->setObjectName(QStringLiteral("chkHighContrast"));
    chkHighContrast->setToolTip(QStringLiteral("Cells in the theme's own colours, told apart by marks and patterns"));

    connect(txtFirst, &QSpinBox::valueChanged, this, &frmLockerMap::rangeEdited);
    connect(txtLast, &QSpinBox::valueChanged, this, &frmLockerMap::rangeEdited);
    connect(txtExpiringDays, &QSpinBox::valueChanged, this, &frmLockerMap::rangeEdited);
    connect(txtPerRow, &QSpinBox::valueChanged, this, &frmLockerMap::perRowEdited);
    connect(chkHighContrast, &QCheckBox::toggled, this, &frmLockerMap::contrastToggled);

    m_grid = new LockerGrid(this);
    m_grid->setObjectName(QStringLiteral("Map"));
    m_grid->setAccessibleName(QStringLiteral("Locker map"));
    m_grid->setToolTip(QString());
    connect(m_grid, &LockerGrid::cellActivated, this, &frmLockerMap::Map_CellActivated);

    for (int i = 0; i < kStateCount; ++i) {
        const LockerState state = kAllStates[size_t(i)];
        m_swatches[size_t(i)] = new LegendSwatch(state, this);
        auto *count = new QLabel(this);
        count->setObjectName(legendObjectName(state));
        m_counts[size_t(i)] = count;
    }
    lblIncome = new QLabel(this);
    lblIncome->setObjectName(QStringLiteral("lblIncome"));
    lblIncome->setWordWrap(true);
    lblRange = new QLabel(this);
    lblRange->setObjectName(QStringLiteral("lblRange"));

    Command1 = new QPushButton(QStringLiteral("E&xit"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("Click here to exit"));
    connect(Command1, &QPushButton::clicked, this, &frmLockerMap::Command1_Click);
}

void frmLockerMap::buildLayout()
{
    auto *central = new QWidget(this);
    auto *settings = new QHBoxLayout;
    const auto addBox = [&](const QString &caption, QSpinBox *box) {
        auto *label = new QLabel(caption, central);
        label->setBuddy(box);
        QString spoken = caption;
        spoken.remove(QLatin1Char('&'));
        spoken.chop(1); // the colon
        box->setAccessibleName(spoken);
        settings->addWidget(label);
        settings->addWidget(box);
        settings->addSpacing(10);
    };
    addBox(QStringLiteral("&First locker:"), txtFirst);
    addBox(QStringLiteral("&Last locker:"), txtLast);
    addBox(QStringLiteral("Lockers per &row:"), txtPerRow);
    addBox(QStringLiteral("&Expiring within days:"), txtExpiringDays);
    settings->addWidget(chkHighContrast);
    settings->addStretch(1);

    auto *legend = new QGridLayout;
    legend->setHorizontalSpacing(6);
    for (int i = 0; i < kStateCount; ++i) {
        const int row = i / 3;
        const int column = (i % 3) * 2;
        legend->addWidget(m_swatches[size_t(i)], row, column);
        legend->addWidget(m_counts[size_t(i)], row, column + 1);
    }
    legend->setColumnStretch(6, 1);

    auto *bottom = new QHBoxLayout;
    bottom->addLayout(legend, 1);
    bottom->addWidget(Command1, 0, Qt::AlignBottom);

    auto *page = new QVBoxLayout(central);
    page->addLayout(settings);
    page->addWidget(m_grid, 1);
    page->addWidget(lblRange);
    page->addLayout(bottom);
    page->addWidget(lblIncome);
    setCentralWidget(central);
}

void frmLockerMap::showSettings()
{
    const QSignalBlocker a(txtFirst), b(txtLast), c(txtPerRow), d(txtExpiringDays), e(chkHighContrast);
    txtFirst->setValue(int(m_settings.range.first));
    txtLast->setValue(int(m_settings.range.last));
    txtPerRow->setValue(m_settings.perRow);
    txtExpiringDays->setValue(m_settings.range.expiringDays);
    chkHighContrast->setChecked(m_settings.highContrast);
    applyContrast(m_settings.highContrast);
}

bool frmLockerMap::refresh()
{
    platform::Hourglass busy;
    const QString path = store::DatabaseChoice::databaseName();
    auto map = std::make_shared<LockerMap>();
    store::EngineError e;
    CenterRate rate;
    if (!LockerMap::compute(path, m_settings.range, m_clock(), map.get(), &e) || !CenterRate::read(path, &rate, &e)) {
        platform::msgBox(e.text, platform::Buttons::OKOnly, platform::Icon::Exclamation);
        return false;
    }
    m_map = std::move(map);
    m_rate = rate;
    m_grid->setMap(m_map, m_settings.perRow);
    showLegend();
    return true;
}

void frmLockerMap::showLegend()
{
    for (int i = 0; i < kStateCount; ++i) {
        const LockerState state = kAllStates[size_t(i)];
        m_counts[size_t(i)]->setText(countText(state, m_map ? m_map->count(state) : 0));
    }
    lblIncome->setText(m_map ? incomeText(*m_map, m_rate) : QString());
    lblRange->setText(m_map ? rangeText(*m_map) : QString());
}

void frmLockerMap::rangeEdited()
{
    m_settings.range.first = txtFirst->value();
    m_settings.range.last = txtLast->value();
    m_settings.range.expiringDays = txtExpiringDays->value();
    m_settings.save();
    refresh();
}

void frmLockerMap::perRowEdited()
{
    m_settings.perRow = txtPerRow->value();
    m_settings.save();
    m_grid->setMap(m_map, m_settings.perRow);
}

void frmLockerMap::contrastToggled(bool on)
{
    m_settings.highContrast = on;
    m_settings.save();
    applyContrast(on);
}

void frmLockerMap::applyContrast(bool on)
{
    const CellStyle style(on, palette());
    m_grid->setCellStyle(style);
    for (LegendSwatch *swatch : m_swatches)
        swatch->setCellStyle(style);
}

customers::frmInformation *frmLockerMap::recordWindow()
{
    if (m_openRecordWindow)
        return m_openRecordWindow();
    if (!m_ownRecordWindow)
        m_ownRecordWindow = new customers::frmInformation;
    m_ownRecordWindow->show();
    m_ownRecordWindow->raise();
    m_ownRecordWindow->activateWindow();
    return m_ownRecordWindow;
}

void frmLockerMap::Map_CellActivated(qint64 number)
{
    if (!m_map || number < m_map->first() || number > m_map->last())
        return;
    const LockerCell cell = m_map->cell(number);
    customers::frmInformation *record = recordWindow();
    if (!record)
        return;
    if (cell.state == LockerState::Vacant) {
        record->addNewForLocker(number);
        return;
    }
    const auto rows = record->data()->recordset();
    const int position = rows ? rows->positionOf(cell.rowId) : -1;
    if (position < 0) {
        platform::msgBox(QStringLiteral("The customer of locker %1 is not among the rows the Information window "
                                        "shows. Cancel its filter to reach every customer.")
                             .arg(number),
                         platform::Buttons::OKOnly, platform::Icon::Information);
        return;
    }
    // A refused edit of the row that is left is reported by the data control.
    record->data()->moveTo(position);
}

void frmLockerMap::MnuPrint_Click()
{
    if (!m_map)
        return;
    const MapPrint print(*m_map, m_rate, m_settings.perRow, CellStyle(m_settings.highContrast, palette()));
    printing::printPageSet({QStringLiteral("Locker Map"),
                            [&](QPagedPaintDevice *device) { return print.pageCount(device); },
                            [&](QPagedPaintDevice *device, int from, int to, QString *error) {
                                return print.print(device, from, to, error);
                            }},
                           m_choosePrinter);
}

void frmLockerMap::Command1_Click()
{
    close();
}

} // namespace lockermap
