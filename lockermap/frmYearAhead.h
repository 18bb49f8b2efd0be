#pragma once

#include "lockermap/MapSettings.h"
#include "lockermap/YearAhead.h"
#include "printing/PrintChoice.h"

#include <QDate>
#include <QMainWindow>
#include <functional>

class QAction;
class QLabel;
class QPushButton;
class QTableWidget;

namespace lockermap {

class YearChartView;

// "The Year Ahead": for this month and the eleven after it, how many rentals
// fall due and the income they stand for at the center's rate, as a chart
// and as a table of the same figures (which a screen reader reads), with the
// lockers of the map's range that stand vacant today. It reads the data
// again after every write the program commits and every change another
// desk makes, as the locker map does, and prints on one page. A top-level
// window that deletes itself when closed.
class frmYearAhead : public QMainWindow
{
    Q_OBJECT
public:
    // `clock` gives today's date (the system's by default; tests and
    // benchmarks set theirs).
    explicit frmYearAhead(QWidget *parent = nullptr, std::function<QDate()> clock = {});

    // Today's date; tests set it.
    void setClock(std::function<QDate()> clock);
    void setPrinterChooser(printing::PrinterChooser chooser) { m_choosePrinter = std::move(chooser); }

    // Reads the figures again. A failure is told to the operator, and the
    // window keeps what it showed.
    bool refresh();
    const YearAhead &figures() const { return m_year; }

    bool MnuPrint_Click();
    void Command1_Click();

private:
    void buildControls();
    void showFigures();

    YearAhead m_year;
    bool m_highContrast = false; // the map's setting: the chart follows it
    std::function<QDate()> m_clock;
    printing::PrinterChooser m_choosePrinter;

    QAction *MnuPrint = nullptr;
    QLabel *lblVacant = nullptr;
    QLabel *lblRate = nullptr;
    YearChartView *m_chart = nullptr;
    QTableWidget *tblMonths = nullptr;
    QPushButton *Command1 = nullptr;
};

} // namespace lockermap
