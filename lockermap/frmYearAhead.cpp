#include "lockermap/frmYearAhead.h"

#include "lockermap/Legend.h"
#include "lockermap/YearChart.h"
#include "platform/Services.h"
#include "store/DatabaseChoice.h"
#include "store/ServerChanges.h"
#include "store/WriteNotifier.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lockermap {

// The chart on the window. What it shows is in the table beside it; its
// accessible description sums it up for a screen reader.
class YearChartView : public QWidget
{
public:
    explicit YearChartView(QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("Chart"));
        setAccessibleName(QStringLiteral("Rentals due by month"));
        setMinimumSize(480, 220);
    }
    void setYear(const YearAhead *year, bool highContrast)
    {
        m_year = year;
        m_highContrast = highContrast;
        qint64 most = -1;
        QString busiest;
        for (const MonthDue &m : year->months) {
            if (m.due > most) {
                most = m.due;
                busiest = monthCaption(m.month);
            }
        }
        setAccessibleDescription(QStringLiteral("A bar a month; %1 rentals fall due in the next 12 months, the most "
                                                "in %2 (%3). The table holds every figure.")
                                     .arg(wholeNumber(year->totalDue()), busiest, wholeNumber(most)));
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        if (!m_year)
            return;
        QPainter painter(this);
        const bool dark = palette().color(QPalette::Window).lightness() < 128;
        YearChart::paint(painter, QRectF(rect()).adjusted(8, 4, -8, -4), *m_year,
                         YearChart::colorsFor(palette(), dark || m_highContrast));
    }

private:
    const YearAhead *m_year = nullptr;
    bool m_highContrast = false;
};

frmYearAhead::frmYearAhead(QWidget *parent, std::function<QDate()> clock)
    : QMainWindow(parent), m_clock(clock ? std::move(clock) : [] { return QDate::currentDate(); })
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("frmYearAhead"));
    setWindowTitle(QStringLiteral("The Year Ahead"));
    m_choosePrinter = [this](QPrinter &printer, int pages) {
        return printing::askPrinter(printer, pages, QStringLiteral("Print The Year Ahead"), this);
    };
    buildControls();
    connect(store::WriteNotifier::instance(), &store::WriteNotifier::committed, this, [this] { refresh(); });
    connect(store::ServerChanges::instance(), &store::ServerChanges::changedElsewhere, this, [this] { refresh(); });
    refresh();
    resize(760, 640);
}

void frmYearAhead::buildControls()
{
    MnuPrint = menuBar()->addAction(QStringLiteral("&Print"));
    MnuPrint->setObjectName(QStringLiteral("MnuPrint"));
    connect(MnuPrint, &QAction::triggered, this, &frmYearAhead::MnuPrint_Click);

    auto *central = new QWidget(this);
    lblVacant = new QLabel(central);
    lblVacant->setObjectName(QStringLiteral("lblVacant"));
    lblVacant->setAccessibleDescription(QStringLiteral("Lockers vacant today"));
    lblRate = new QLabel(central);
    lblRate->setObjectName(QStringLiteral("lblRate"));
    lblRate->setAccessibleDescription(QStringLiteral("The rate the income is counted at"));
    m_chart = new YearChartView(central);

    tblMonths = new QTableWidget(YearAhead::kMonths + 1, 3, central);
    tblMonths->setObjectName(QStringLiteral("tblMonths"));
    tblMonths->setAccessibleName(QStringLiteral("Rentals due and income by month"));
    tblMonths->setHorizontalHeaderLabels({QStringLiteral("Month"), QStringLiteral("Due"), QStringLiteral("Income")});
    tblMonths->verticalHeader()->hide();
    tblMonths->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tblMonths->setSelectionBehavior(QAbstractItemView::SelectRows);
    tblMonths->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    tblMonths->setTabKeyNavigation(false);

    Command1 = new QPushButton(QStringLiteral("E&xit"), central);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setToolTip(QStringLiteral("Click here to exit"));
    connect(Command1, &QPushButton::clicked, this, &frmYearAhead::Command1_Click);

    auto *bottom = new QHBoxLayout;
    bottom->addWidget(lblRate, 1);
    bottom->addWidget(Command1);
    auto *page = new QVBoxLayout(central);
    page->addWidget(lblVacant);
    page->addWidget(m_chart, 3);
    page->addWidget(tblMonths, 2);
    page->addLayout(bottom);
    setCentralWidget(central);
}

void frmYearAhead::setClock(std::function<QDate()> clock)
{
    m_clock = std::move(clock);
    refresh();
}

bool frmYearAhead::refresh()
{
    platform::Hourglass busy;
    YearAhead year;
    store::EngineError e;
    const MapSettings settings = MapSettings::load();
    m_highContrast = settings.highContrast;
    if (!YearAhead::compute(store::DatabaseChoice::databaseName(), settings.range, m_clock(), &year, &e)) {
        platform::msgBox(e.text, platform::Buttons::OKOnly, platform::Icon::Exclamation);
        return false;
    }
    m_year = std::move(year);
    showFigures();
    return true;
}

void frmYearAhead::showFigures()
{
    lblVacant->setText(vacantText(m_year));
    lblRate->setText(rateText(m_year));
    const auto put = [this](int row, int column, const QString &text, bool bold = false) {
        auto *item = new QTableWidgetItem(text);
        item->setTextAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
        if (bold) {
            QFont font = item->font();
            font.setBold(true);
            item->setFont(font);
        }
        tblMonths->setItem(row, column, item);
    };
    for (int i = 0; i < m_year.months.size(); ++i) {
        const MonthDue &m = m_year.months.at(i);
        put(i, 0, monthCaption(m.month));
        put(i, 1, wholeNumber(m.due));
        put(i, 2, incomeCaption(m.income));
    }
    const int total = int(m_year.months.size());
    put(total, 0, QStringLiteral("Next 12 months"), true);
    put(total, 1, wholeNumber(m_year.totalDue()), true);
    put(total, 2, incomeCaption(m_year.totalIncome()), true);
    m_chart->setYear(&m_year, m_highContrast);
}

bool frmYearAhead::MnuPrint_Click()
{
    const YearAhead year = m_year;
    return printing::printPageSet({QStringLiteral("The Year Ahead"), [](QPagedPaintDevice *) { return 1; },
                                   [&year](QPagedPaintDevice *device, int, int, QString *error) {
                                       return YearChart::print(device, year, error);
                                   }},
                                  m_choosePrinter);
}

void frmYearAhead::Command1_Click()
{
    close();
}

} // namespace lockermap
