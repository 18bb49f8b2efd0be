#pragma once

#include "filter/FilterFlows.h"

#include <QPointer>
#include <QWidget>

namespace store {
class DataControl;
}

namespace filter {

// What the filter window reads and writes in the customer record window: its
// data control Data1, the indicator FilterLabel and the "&Print" and "&Sort"
// menus, found by their names. Holds the window weakly: once it is closed,
// every call does nothing.
class CustomerWindowLink : public FilteredWindow
{
public:
    CustomerWindowLink() = default;
    explicit CustomerWindowLink(QWidget *customerWindow);

    bool isValid() const { return !m_window.isNull(); }
    QWidget *window() const { return m_window; }
    store::DataControl *data() const override;

    bool filterLabelShown() const override;
    void setFilterLabelShown(bool shown) override;
    void setPrintEnabled(bool enabled) override;
    void setSortEnabled(bool enabled) override;

private:
    void setMenuEnabled(const QString &name, bool enabled);

    QPointer<QWidget> m_window;
};

} // namespace filter
