#pragma once

#include "customers/frmListWindow.h"
#include "store/DataControl.h"

#include <QMainWindow>
#include <QPointer>
#include <functional>

class QAction;
class QLabel;
class QMenu;
class QPushButton;

namespace reports {
class CrystalReport;
}

namespace widgets {
class DateEdit;
class MaskedEdit;
class RecordNavigator;
} // namespace widgets

namespace customers {

// The filter in force as the report sees it: the record selection formula
// and the three sort keys (empty where not set).
struct ReportFilter {
    QString formula;
    QString selection; // the formula's rows as a statement, when there is one
    QStringList sortKeys;
};

// The customer record window ("Information"): one row of the table
// Information at a time, every field bound to the data control Data1.
// Moving to another row writes the row that is left; closing the window,
// by "E&xit" or by its frame, writes a pending edit first, and a value the
// engine refuses keeps the window open on the row with every edit intact.
//
// A top-level window that deletes itself when closed. An empty table opens
// on a new row, ready for the first customer.
class frmInformation : public QMainWindow
{
    Q_OBJECT
public:
    explicit frmInformation(QWidget *parent = nullptr);
    ~frmInformation() override;

    // Writes the edits of the current row now. On failure the operator has
    // been told, the row and its edits stay, and false is returned.
    bool writePendingEdit();

    // Starts a new row with the locker number filled in (a vacant locker
    // chosen on the locker map). Like any blank new row, it is added only
    // once the operator enters something. False when the file is read-only
    // (said once, when it was opened) or the row that is left could not be
    // written (the operator has been told).
    bool addNewForLocker(qint64 lockerNumber);

    // What the filter builder works on.
    store::DataControl *data() const { return Data1; }
    QLabel *filterLabel() const { return FilterLabel; }
    QMenu *sortMenu() const { return MnuSort; }
    QMenu *printMenu() const { return MnuPrint; }
    void setSortMenuEnabled(bool enabled);
    void setPrintMenuEnabled(bool enabled);

    frmListWindow *listWindow() const { return m_listWindow; }

    // Shows the filter window for this record window ("&Filter" / "&Create"),
    // modally. Set once by the program; without it the command only prepares
    // the data control.
    using FilterWindowLauncher = std::function<void(frmInformation &)>;
    static void setFilterWindowLauncher(FilterWindowLauncher launcher);
    // Where "Labels" and "Report" find the filter's formula and sort keys.
    using ReportFilterSource = std::function<ReportFilter()>;
    static void setReportFilterSource(ReportFilterSource source);

    void MnuPrintLabels_Click();
    void MnuPrintReport_Click();

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void buildFields();
    void buildMenus();
    void buildLayout();
    void setTabOrder();

    void Form_Load();
    void Command1_Click();
    void MnuFilterCreate_Click();
    void MnuSortLockerNumber_Click();
    void MnuSortName_Click();
    void MnuList_Click();
    void TDBDate2_GotFocus();
    void TDBMask12_LostFocus();
    void TDBMask15_LostFocus();

    void sortBy(const QString &indexName);
    void printFiltered(const QString &reportLiteral);
    void ensureRowToEdit();

    store::DataControl *Data1 = nullptr;
    widgets::RecordNavigator *SSDBData1 = nullptr;
    QLabel *FilterLabel = nullptr;
    QPushButton *Command1 = nullptr;
    QMenu *MnuFilter = nullptr;
    QAction *MnuFilterCreate = nullptr;
    QMenu *MnuSort = nullptr;
    QAction *MnuSortLockerNumber = nullptr;
    QAction *MnuSortName = nullptr;
    QMenu *MnuPrint = nullptr;
    QAction *MnuPrintLabels = nullptr;
    QAction *MnuPrintReport = nullptr;
    QAction *MnuList = nullptr;
    reports::CrystalReport *CrystalReport1 = nullptr;

    widgets::DateEdit *TDBDate1 = nullptr;
    widgets::DateEdit *TDBDate2 = nullptr;
    widgets::MaskedEdit *TDBMask12 = nullptr;
    widgets::MaskedEdit *TDBMask13 = nullptr;
    widgets::MaskedEdit *TDBMask14 = nullptr;
    widgets::MaskedEdit *TDBMask15 = nullptr;

    QWidget *m_fieldsArea = nullptr;
    QList<QWidget *> m_tabOrder;
    QPointer<frmListWindow> m_listWindow;
};

} // namespace customers
