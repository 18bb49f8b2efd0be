// Applying, counting, deleting and cancelling filters: what the filter
// window does with its rows on "&OK", "&Cancel Filter" and when
// "&Delete Found Records" is ticked.
#include "filter/CriteriaRules.h"
#include "filter/FilterMessages.h"
#include "filter/frmFindWindow.h"

#include "platform/Services.h"
#include "store/DBEngine.h"
#include "store/DataControl.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

namespace filter {

namespace {

using platform::Button;

// The filter window reports a refused statement itself, with the statement.
class SilencedErrors
{
public:
    explicit SilencedErrors(store::DataControl *data) : m_data(data) { m_data->setErrorsSilenced(true); }
    ~SilencedErrors() { m_data->setErrorsSilenced(false); }
    SilencedErrors(const SilencedErrors &) = delete;
    SilencedErrors &operator=(const SilencedErrors &) = delete;

private:
    store::DataControl *m_data;
};

void hourglass()
{
    platform::services().setPointer(platform::Pointer::Hourglass);
}

void defaultPointer()
{
    platform::services().setPointer(platform::Pointer::Default);
}

Button ask(const platform::MessageBoxRequest &box, bool beepFirst = true)
{
    if (beepFirst)
        platform::services().beep();
    return platform::services().messageBox(box);
}

} // namespace

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
    store::DataControl *data = m_customer.data();
    if (!data) {
        // The customer window has been closed: there is nothing to filter.
        CancelButton_Click();
        return;
    }
    m_customer.setFilterLabelShown(true);
    m_customer.setPrintEnabled(true);
    m_customer.setSortEnabled(false);

    const QString s = checkedStatement();
    if (s.isEmpty())
        return;
    hourglass();
    if (s.left(6).toLower() == QLatin1String("delete")) {
        deleteFlow(s);
        return;
    }
    if (s == data->RecordSource()) {
        defaultPointer();
        const Button answer = ask(FilterMessages::duplicated());
        if (answer == Button::No) {
            hide();
            return;
        }
        if (answer == Button::Cancel)
            return;
        hourglass();
    }
    applyStatement(s);
}

QString frmFindWindow::checkedStatement()
{
    return CheckCriteria() ? CreateSQLStatement() : QString();
}

std::optional<QString> frmFindWindow::putInForce(const QString &s)
{
    store::DataControl *data = m_customer.data();
    const QString saved = data->RecordSource();
    data->setRecordSource(s);
    const SilencedErrors quiet(data);
    if (!data->Refresh()) {
        defaultPointer();
        platform::services().messageBox(FilterMessages::engineError(data->lastError().text, s));
        return std::nullopt;
    }
    return saved;
}

void frmFindWindow::applyStatement(const QString &s)
{
    store::DataControl *data = m_customer.data();
    const std::optional<QString> saved = putInForce(s);
    if (!saved)
        return;
    const int count = data->recordset() ? data->recordset()->RecordCount() : 0;
    if (count == 0) {
        m_customer.setFilterLabelShown(false);
        m_customer.setSortEnabled(true);
        m_customer.setPrintEnabled(false);
        defaultPointer();
        const Button answer = ask(FilterMessages::noMatch());
        restoreSource(*saved);
        if (answer == Button::No)
            CancelButton_Click();
        return;
    }
    if (CountCheck->isChecked())
        reportFoundCount(s);
    defaultPointer();
    CancelButton_Click();
}

void frmFindWindow::restoreSource(const QString &saved)
{
    store::DataControl *data = m_customer.data();
    data->setRecordSource(saved);
    const SilencedErrors quiet(data);
    hourglass();
    // The source may be one the engine refused before: say so rather than
    // leave the record window silently empty.
    if (!data->Refresh()) {
        defaultPointer();
        platform::services().messageBox(FilterMessages::engineError(data->lastError().text, saved));
    }
    defaultPointer();
}

void frmFindWindow::reportFoundCount(const QString &s)
{
    store::DataControl *data = m_customer.data();
    std::shared_ptr<store::Recordset> snapshot = data->recordset()->OpenSnapshot();
    snapshot->MoveLast();
    // The count is not cut to 16 bits: a filter may find more than 32767 customers.
    const qint64 n = snapshot->RecordCount();
    snapshot->Close();
    defaultPointer();
    ask(FilterMessages::foundCount(n, s));
}

void frmFindWindow::deleteFlow(const QString &s)
{
    store::DataControl *data = m_customer.data();
    Button answer = Button::No;
    if (CountCheck->isChecked()) {
        const QString c = QStringLiteral("Select ") + s.mid(7);
        store::EngineError e;
        qint64 n = -1;
        // A second connection counts what the delete would remove.
        if (auto second = store::DBEngine::OpenDatabase(data->DatabaseName(), &e)) {
            if (auto counted = second->OpenRecordset(c, store::Recordset::Dynaset, &e)) {
                counted->MoveLast();
                n = counted->RecordCount();
            }
        }
        if (n < 0) {
            defaultPointer();
            platform::services().messageBox(FilterMessages::engineError(e.text, c));
            return;
        }
        platform::services().beep();
        defaultPointer();
        if (n != 0) {
            answer = ask(FilterMessages::confirmDeleteCounted(n), false);
        } else {
            if (ask(FilterMessages::nothingToDelete(), false) == Button::No)
                CancelButton_Click();
            return;
        }
    } else {
        platform::services().beep();
        defaultPointer();
        answer = ask(s.toLower().contains(QLatin1String("where")) ? FilterMessages::confirmDeleteByCriteria()
                                                                    : FilterMessages::confirmDeleteAll(),
                     false);
    }
    if (answer == Button::No)
        return;

    hourglass();
    store::EngineError e;
    if (!data->database() || !data->database()->Execute(s, &e)) {
        defaultPointer();
        if (!data->database())
            e.text = QStringLiteral("The database is not open.");
        // Nothing was deleted: the delete runs in one transaction.
        platform::services().messageBox(FilterMessages::engineError(e.text, s));
        return;
    }
    platform::services().beep();
    defaultPointer();
    platform::services().messageBox(FilterMessages::finishedDeleting());

    const QString T = CurrentTableName();
    applyStatement(QStringLiteral("Select [") + T + QStringLiteral("].* From ") + T);
}

void frmFindWindow::Command1_Click()
{
    store::DataControl *data = m_customer.data();
    if (!m_customer.filterLabelShown() || !data) {
        ask(FilterMessages::noActiveFilter());
        return;
    }
    m_customer.setSortEnabled(false);
    {
        platform::Hourglass busy;
        SortOrder(0)->hide();
        ResetSortRows();
    }
    select(SortField(0), 0);
    ResetFilterRows();
    select(Field(0), 0);
    Field(0)->setFocus();

    const QString s = checkedStatement();
    if (s.isEmpty())
        return;
    hourglass();
    const std::optional<QString> saved = putInForce(s);
    if (!saved)
        return;
    if (!data->recordset() || data->recordset()->RecordCount() == 0) {
        defaultPointer();
        const Button answer = ask(FilterMessages::noMatch());
        restoreSource(*saved);
        if (answer == Button::No)
            closeAfterCancelFilter();
        return;
    }
    if (CountCheck->isChecked())
        reportFoundCount(s);
    defaultPointer();
    closeAfterCancelFilter();
}

void frmFindWindow::closeAfterCancelFilter()
{
    hideAndResetOptions();
    m_customer.setFilterLabelShown(false);
    m_customer.setSortEnabled(true);
    m_customer.setPrintEnabled(false);
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
