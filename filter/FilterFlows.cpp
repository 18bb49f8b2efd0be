#include "filter/FilterFlows.h"

#include "filter/FilterMessages.h"
#include "platform/Services.h"
#include "store/DataControl.h"
#include "store/Database.h"
#include "store/SilencedErrors.h"

#include <optional>

namespace filter {

namespace {

using platform::Button;
using Busy = std::optional<platform::Hourglass>;

Button ask(const platform::MessageBoxRequest &box, bool beepFirst = true)
{
    if (beepFirst)
        platform::services().beep();
    return platform::services().messageBox(box);
}

bool count(store::DataControl *data, const QString &statement, qint64 *n, store::EngineError *error)
{
    if (!data->database()) {
        error->text = QStringLiteral("The database is not open.");
        return false;
    }
    return data->database()->count(statement, n, error);
}

} // namespace

bool FilterFlows::startApply()
{
    if (!m_window.data())
        return false;
    m_window.setFilterLabelShown(true);
    m_window.setPrintEnabled(true);
    m_window.setSortEnabled(false);
    return true;
}

FilterFlows::Then FilterFlows::apply(const GeneratedFilter &filter, bool countFound)
{
    store::DataControl *data = m_window.data();
    if (!data)
        return Then::Exit;
    if (filter.findAll)
        m_window.setFilterLabelShown(false);
    if (filter.statement.isEmpty())
        return Then::StayOpen;
    if (filter.deleteMode)
        return deleteFound(filter, countFound);
    if (filter.statement == data->RecordSource()) {
        const Button answer = ask(FilterMessages::duplicated());
        if (answer == Button::No)
            return Then::Hide;
        if (answer == Button::Cancel)
            return Then::StayOpen;
    }
    return applyStatement(filter.statement, filter.isSorted(), countFound, true, Then::Exit);
}

bool FilterFlows::startCancelFilter()
{
    if (!m_window.filterLabelShown() || !m_window.data()) {
        ask(FilterMessages::noActiveFilter());
        return false;
    }
    m_window.setSortEnabled(false);
    return true;
}

FilterFlows::Then FilterFlows::cancelFilter(const GeneratedFilter &filter, bool countFound)
{
    if (!m_window.data())
        return Then::Exit;
    if (filter.findAll)
        m_window.setFilterLabelShown(false);
    if (filter.statement.isEmpty())
        return Then::StayOpen;
    return applyStatement(filter.statement, filter.isSorted(), countFound, false, Then::EndCancelFilter);
}

void FilterFlows::clearFilterMarks()
{
    m_window.setFilterLabelShown(false);
    m_window.setSortEnabled(true);
    m_window.setPrintEnabled(false);
}

std::optional<QString> FilterFlows::putInForce(const QString &statement)
{
    store::DataControl *data = m_window.data();
    const QString saved = data->RecordSource();
    data->setRecordSource(statement);
    // The filter tells a refused statement itself, with the statement.
    const store::SilencedErrors quiet(data);
    bool refreshed = false;
    {
        const platform::Hourglass busy;
        refreshed = data->Refresh();
    }
    if (!refreshed) {
        platform::services().messageBox(FilterMessages::engineError(data->lastError().text, statement));
        return std::nullopt;
    }
    return saved;
}

FilterFlows::Then FilterFlows::applyStatement(const QString &statement, bool sorted, bool countFound,
                                              bool unmarkOnNoMatch, Then done)
{
    store::DataControl *data = m_window.data();
    const std::optional<QString> saved = putInForce(statement);
    if (!saved)
        return Then::StayOpen;
    if (!data->recordset() || data->recordset()->RecordCount() == 0) {
        if (unmarkOnNoMatch)
            clearFilterMarks();
        const Button answer = ask(FilterMessages::noMatch());
        restoreSource(*saved);
        return answer == Button::No ? done : Then::StayOpen;
    }
    if (countFound)
        reportFoundCount(statement, sorted);
    return done;
}

void FilterFlows::restoreSource(const QString &saved)
{
    store::DataControl *data = m_window.data();
    data->setRecordSource(saved);
    // The filter tells a refused statement itself, with the statement.
    const store::SilencedErrors quiet(data);
    bool refreshed = false;
    {
        const platform::Hourglass busy;
        refreshed = data->Refresh();
    }
    // The source may be one the engine refused before: say so rather than
    // leave the record window silently empty.
    if (!refreshed)
        platform::services().messageBox(FilterMessages::engineError(data->lastError().text, saved));
}

void FilterFlows::reportFoundCount(const QString &statement, bool sorted)
{
    store::DataControl *data = m_window.data();
    qint64 n = 0;
    store::EngineError error;
    bool counted = false;
    {
        const platform::Hourglass busy;
        counted = count(data, statement, &n, &error);
    }
    // The count is not cut to 16 bits: a filter may find more than 32767 customers.
    if (!counted)
        platform::services().messageBox(FilterMessages::engineError(error.text, statement));
    else
        ask(FilterMessages::foundCount(n, sorted));
}

FilterFlows::Then FilterFlows::deleteFound(const GeneratedFilter &filter, bool countFound)
{
    store::DataControl *data = m_window.data();
    Button answer = Button::No;
    if (countFound) {
        qint64 n = 0;
        store::EngineError error;
        bool counted = false;
        {
            const platform::Hourglass busy;
            counted = count(data, filter.countStatement, &n, &error);
        }
        if (!counted) {
            platform::services().messageBox(FilterMessages::engineError(error.text, filter.countStatement));
            return Then::StayOpen;
        }
        if (n == 0)
            return ask(FilterMessages::nothingToDelete()) == Button::No ? Then::Exit : Then::StayOpen;
        answer = ask(FilterMessages::confirmDeleteCounted(n));
    } else {
        answer =
            ask(filter.hasCondition ? FilterMessages::confirmDeleteByCriteria() : FilterMessages::confirmDeleteAll());
    }
    if (answer == Button::No)
        return Then::StayOpen;

    store::EngineError error;
    bool deleted = false;
    const QString table = tableNameFromSource(data->RecordSource());
    {
        const platform::Hourglass busy;
        if (!data->database())
            error.text = QStringLiteral("The database is not open.");
        else
            deleted =
                data->database()->Execute(filter.statement, &error, nullptr, QStringLiteral("Delete Found Records"));
    }
    if (!deleted) {
        // Nothing was deleted: the delete runs in one transaction.
        platform::services().messageBox(FilterMessages::engineError(error.text, filter.statement));
        return Then::StayOpen;
    }
    ask(FilterMessages::finishedDeleting());
    return applyStatement(QStringLiteral("Select [") + table + QStringLiteral("].* From ") + table, false, countFound,
                          true, Then::Exit);
}

} // namespace filter
