#pragma once

#include <QString>
#include <QVariant>

namespace store {

class DataControl;

// A control bound to one field of a data control's current row. The data
// control fills it when the row changes and writes its value when the row is
// left while it is modified.
//
// The binding holds whichever of the two goes first: a control that goes
// leaves its data control, and a data control that goes lets its controls
// know, so a window may create and destroy them in any order. A control is
// bound to at most one data control at a time.
class BoundField
{
public:
    BoundField() = default;
    BoundField(const BoundField &) = delete;
    BoundField &operator=(const BoundField &) = delete;
    virtual ~BoundField();

    // The data control this control is bound to, if any.
    DataControl *dataSource() const { return m_dataSource; }

    virtual QString dataField() const = 0;
    virtual QVariant boundValue() const = 0;
    virtual void setBoundValue(const QVariant &value) = 0;
    virtual bool isBoundModified() const = 0;
    virtual void setBoundModified(bool modified) = 0;

    // Whether the control holds something the operator entered since it was
    // last filled from the row. A value the window put in by itself (a
    // default such as 0), an unticked box or an entry typed and erased again
    // does not count: a new row is added only when one of its controls holds
    // an entry, so that nobody's blank record reaches the table.
    virtual bool holdsOperatorEntry() const
    {
        if (!isBoundModified())
            return false;
        const QVariant value = boundValue();
        if (value.isNull())
            return false;
        if (value.metaType().id() == QMetaType::Bool)
            return value.toBool();
        if (value.metaType().id() == QMetaType::QString)
            return !value.toString().isEmpty();
        return true;
    }

private:
    friend class DataControl;
    DataControl *m_dataSource = nullptr;
};

} // namespace store
