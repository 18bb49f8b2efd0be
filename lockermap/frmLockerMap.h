#pragma once

#include "lockermap/CenterRate.h"
#include "lockermap/LockerMap.h"
#include "lockermap/MapSettings.h"

#include <QDate>
#include <QMainWindow>
#include <QPointer>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QCheckBox;
class QLabel;
class QPrinter;
class QPushButton;
class QSpinBox;

namespace customers {
class frmInformation;
}

namespace lockermap {

class LockerGrid;
class LegendSwatch;

// "Locker Map": every locker of a range as a cell coloured by its state,
// with a legend of the counts and the yearly income of the rented lockers.
// A click on a held locker shows its customer in the record window; one on
// a vacant locker starts a new row there with the locker number filled in.
// The map reads the file again after every write the program commits, so it
// follows the edits made in the record window. It holds no connection open
// between reads. A top-level window that deletes itself when closed.
class frmLockerMap : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmLockerMap(QWidget *parent = nullptr);
    ~frmLockerMap() override;

    // How the map reaches the record window: the program shows its one
    // record window (opening it when needed). Without one the map keeps a
    // record window of its own.
    using RecordWindowOpener = std::function<customers::frmInformation *()>;
    void setRecordWindowOpener(RecordWindowOpener opener) { m_openRecordWindow = std::move(opener); }

    // Today's date for the states; tests set it.
    void setClock(std::function<QDate()> clock);

    // Sets up the printer for "&Print" (the print dialog in the program) and
    // answers whether to print. pages is the map's page count.
    using PrinterChooser = std::function<bool(QPrinter &printer, int pages)>;
    void setPrinterChooser(PrinterChooser chooser) { m_choosePrinter = std::move(chooser); }

    // Reads the file again and shows the result. A failure is reported to
    // the operator and the map shows what it showed before.
    bool refresh();

    LockerGrid *grid() const { return m_grid; }
    std::shared_ptr<const LockerMap> lockerMap() const { return m_map; }
    const MapSettings &settings() const { return m_settings; }

    void Map_CellActivated(qint64 number);
    void MnuPrint_Click();
    void Command1_Click();

private:
    void buildControls();
    void buildLayout();
    void showSettings();
    void rangeEdited();
    void perRowEdited();
    void contrastToggled(bool on);
    void applyContrast(bool on);
    void showLegend();
    customers::frmInformation *recordWindow();

    MapSettings m_settings;
    std::shared_ptr<const LockerMap> m_map;
    CenterRate m_rate;
    std::function<QDate()> m_clock;
    RecordWindowOpener m_openRecordWindow;
    PrinterChooser m_choosePrinter;
    QPointer<customers::frmInformation> m_ownRecordWindow;

    QAction *MnuPrint = nullptr;
    QSpinBox *txtFirst = nullptr;
    QSpinBox *txtLast = nullptr;
    QSpinBox *txtPerRow = nullptr;
    QSpinBox *txtExpiringDays = nullptr;
    QCheckBox *chkHighContrast = nullptr;
    LockerGrid *m_grid = nullptr;
    std::array<QLabel *, kStateCount> m_counts{};
    std::array<LegendSwatch *, kStateCount> m_swatches{};
    QLabel *lblIncome = nullptr;
    QLabel *lblRange = nullptr;
    QPushButton *Command1 = nullptr;
};

} // namespace lockermap
