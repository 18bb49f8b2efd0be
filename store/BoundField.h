#pragma once

#include <QString>
#include <QVariant>

namespace store {

// A control bound to one field of a data control's current row. The data
// control fills it when the row changes and writes its value when the row is
// left while it is modified.
class BoundField
{
public:
    virtual ~BoundField() = default;
    virtual QString dataField() const = 0;
    virtual QVariant boundValue() const = 0;
    virtual void setBoundValue(const QVariant &value) = 0;
    virtual bool isBoundModified() const = 0;
    virtual void setBoundModified(bool modified) = 0;
};

} // namespace store
