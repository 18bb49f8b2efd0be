#pragma once

#include "filter/CustomerWindowLink.h"
#include "filter/FilterFlows.h"
#include "filter/FilterRows.h"
#include "widgets/ControlArray.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;

namespace store {
class DataControl;
}

namespace filter {

// "Set Filter": up to five rows of field, operator and criteria joined by
// And/Or, up to three sort rows, and the commands that apply, count, delete
// and cancel filters on the customer record window. One instance lives for
// the whole run; between uses it is only hidden, so its rows survive.
class frmFindWindow : public QDialog
{
    Q_OBJECT
public:
    explicit frmFindWindow(QWidget *parent = nullptr);
    ~frmFindWindow() override;

    // Shows the window for the customer window that opens it (the last one
    // to open it is the one it works on). showFor does not wait; execFor
    // returns when the window hides.
    void showFor(QWidget *customerWindow);
    int execFor(QWidget *customerWindow);

    // Handlers, named after their controls.
    void Field_Click(int i);
    void Operator_Click(int i);
    void Condition_Click(int i);
    void SortField_Click(int k);
    void SQLLabel_Click();
    void ClearButton_Click();
    void ClearSortButton_Click();
    void AdvancedButton_Click();
    void CancelButton_Click();
    void OKButton_Click();
    void Command1_Click();
    void DeleteCheck_Click();
    void Picture1_GotFocus();
    void Picture2_GotFocus();
    void Criteria_KeyUp(int i);

    // Routines of the window.
    void ResetFilterRows();
    void ResetSortRows();
    void FillFieldList(int row);
    void FillSortFieldList(int row);
    void RefreshStatementPreview();
    QString CreateSQLStatement();
    bool CheckCriteria();
    QString CurrentTableName() const;

    // What the window's rows say, as statement generation reads them.
    FilterRows readRows() const;

    // Twips to pixels at this screen's resolution.
    int tw(int twips) const;

    static void DrawRaisedBorder(QPainter &painter, const QSize &size, int depth);

    // The rows of the report filter (Label4) as a statement, generated with
    // it: reports count and read them through it.
    QString reportSelection() const { return m_reportSelection; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Form_Load();
    void createControls();
    QComboBox *newList(QWidget *parent, bool sorted);
    QLineEdit *newCriteriaBox(QWidget *parent);
    void place(QWidget *w, int left, int top, int width, int height);
    void placeBelow(QWidget *element, QWidget *first, int index);
    void select(QComboBox *list, int position);
    void runClickHandler(QComboBox *list);
    // Hides the window and turns the advanced options off and unticked.
    void hideAndResetOptions();
    void addSortedEntry(QComboBox *list, const QString &text, int typeCode);
    QList<std::pair<QString, int>> recordsetFields() const;

    // The filter of the rows as they stand; the statement display shows it.
    GeneratedFilter generateFilter();
    void finishFlow(FilterFlows::Then then);

    CustomerWindowLink m_customer;
    bool m_loaded = false;
    QString m_reportSelection;

    widgets::ControlArray<QComboBox> Field;
    widgets::ControlArray<QComboBox> Operator;
    widgets::ControlArray<QLineEdit> Criteria;
    widgets::ControlArray<QComboBox> Condition;
    widgets::ControlArray<QComboBox> SortField;
    widgets::ControlArray<QComboBox> SortOrder;

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QFrame *Shape3 = nullptr;
    QFrame *Shape4 = nullptr;
    QCheckBox *CountCheck = nullptr;
    QCheckBox *DeleteCheck = nullptr;
    QPushButton *ClearSortButton = nullptr;
    QPushButton *ClearButton = nullptr;
    QPushButton *AdvancedButton = nullptr;
    QPushButton *Command1 = nullptr;
    QPushButton *CancelButton = nullptr;
    QPushButton *OKButton = nullptr;
    QWidget *Picture1 = nullptr;
    QWidget *Picture2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *SQLLabel = nullptr;
    QLabel *Label5 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label6 = nullptr;
    QLabel *Label7 = nullptr;
    QLabel *Label8 = nullptr;
};

} // namespace filter
