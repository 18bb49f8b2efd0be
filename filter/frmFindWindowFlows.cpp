// "&OK", "&Cancel Filter" and the check of the rows: the window reads its
// rows, FilterFlows does the work, the window shows how it ended.
#include "filter/CriteriaRules.h"
#include "filter/FilterFlows.h"
#include "filter/frmFindWindow.h"

#include "platform/Services.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

namespace filter {

bool frmFindWindow::CheckCriteria()
{
    FilterRows rows = readRows();
    const CriteriaCheck check = filter::CheckCriteria(rows);
    // Passing rows take their canonical forms; a rejected box is changed as
    // its message says.
    const int last = check.passed ? 4 : check.row;
    for (int i = 0; i <= last; ++i) {
        if (QLineEdit *box = Criteria(i); box && rows.row(i) && box->text() != rows.rows.at(i).criteria)
            box->setText(rows.rows.at(i).criteria);
    }
    if (check.passed)
        return true;
    platform::services().beep();
    platform::MessageBoxRequest box;
    box.title = check.title;
    box.text = check.prompt;
    box.icon = platform::Icon::Exclamation;
    platform::services().messageBox(box);
    if (QLineEdit *criteria = Criteria(check.row))
        criteria->setFocus();
    return false;
}

void frmFindWindow::OKButton_Click()
{
    FilterFlows flows(m_customer);
    if (!flows.startApply()) {
        // The customer window has been closed: there is nothing to filter.
        CancelButton_Click();
        return;
    }
    if (!CheckCriteria())
        return;
    finishFlow(flows.apply(generateFilter(), CountCheck->isChecked()));
}

void frmFindWindow::Command1_Click()
{
    FilterFlows flows(m_customer);
    if (!flows.startCancelFilter())
        return;
    {
        platform::Hourglass busy;
        SortOrder(0)->hide();
        ResetSortRows();
    }
    select(SortField(0), 0);
    ResetFilterRows();
    select(Field(0), 0);
    Field(0)->setFocus();
    if (!CheckCriteria())
        return;
    finishFlow(flows.cancelFilter(generateFilter(), CountCheck->isChecked()));
}

void frmFindWindow::finishFlow(FilterFlows::Then then)
{
    switch (then) {
    case FilterFlows::Then::StayOpen: break;
    case FilterFlows::Then::Hide: hide(); break;
    case FilterFlows::Then::Exit: CancelButton_Click(); break;
    case FilterFlows::Then::EndCancelFilter:
        hideAndResetOptions();
        FilterFlows(m_customer).clearFilterMarks();
        break;
    }
}

void frmFindWindow::DeleteCheck_Click()
{
    if (DeleteCheck->isChecked()) {
        if (SortField(0)->currentIndex() > 0) {
            {
                platform::Hourglass busy;
                SortOrder(0)->hide();
                ResetSortRows();
            }
            select(SortField(0), 0);
        }
        SortField(0)->setEnabled(false);
    } else {
        SortField(0)->setEnabled(true);
    }
    RefreshStatementPreview();
}

} // namespace filter
