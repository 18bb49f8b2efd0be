#pragma once

#include "filter/StatementBuilder.h"

#include <optional>

namespace store {
class DataControl;
}

namespace filter {

// What the filter changes in the record window it works on: its data
// control and the marks of a filter in force (the indicator, "&Print"
// enabled, "&Sort" disabled).
class FilteredWindow
{
public:
    virtual ~FilteredWindow() = default;
    // Null once the record window has gone.
    virtual store::DataControl *data() const = 0;
    virtual bool filterLabelShown() const = 0;
    virtual void setFilterLabelShown(bool shown) = 0;
    virtual void setPrintEnabled(bool enabled) = 0;
    virtual void setSortEnabled(bool enabled) = 0;
};

// What "&OK" and "&Cancel Filter" do with a generated filter: apply it,
// count what it finds, delete it with its questions, put the previous
// source back when it finds nothing. Every box goes through the platform
// services; the pointer is the hourglass only while the engine works.
class FilterFlows
{
public:
    // What the filter window does when a flow ends.
    enum class Then {
        StayOpen,        // the operator goes on editing the rows
        Hide,            // hidden as it is, options kept
        Exit,            // as "E&xit": hidden with the options reset
        EndCancelFilter, // hidden, options reset, the record window unfiltered
    };

    explicit FilterFlows(FilteredWindow &window) : m_window(window) {}

    // "&OK" before the rows are checked: marks the record window filtered.
    // False when the record window has gone (the window then exits).
    bool startApply();
    // "&OK" with the checked rows.
    Then apply(const GeneratedFilter &filter, bool countFound);

    // "&Cancel Filter" before the rows are reset: false (after telling the
    // operator) when no filter is in force.
    bool startCancelFilter();
    // "&Cancel Filter" with the reset rows (every record).
    Then cancelFilter(const GeneratedFilter &filter, bool countFound);

    // The marks of an unfiltered record window.
    void clearFilterMarks();

private:
    // Makes the statement the record source; nothing when the engine
    // refused it (told with its text and the statement).
    std::optional<QString> putInForce(const QString &statement);
    // Puts a select statement in force. When it finds nothing, the previous
    // source comes back and the operator's "No" ends the flow with done.
    Then applyStatement(const QString &statement, bool sorted, bool countFound, bool unmarkOnNoMatch, Then done);
    Then deleteFound(const GeneratedFilter &filter, bool countFound);
    void restoreSource(const QString &saved);
    void reportFoundCount(const QString &statement, bool sorted);

    FilteredWindow &m_window;
};

} // namespace filter
