#pragma once

#include "store/BoundField.h"

#include <QVariant>

namespace testing_support {

// A bound control as the windows have them, without a widget: type() is
// the operator typing into it.
class FakeField : public store::BoundField
{
public:
    explicit FakeField(QString field) : m_field(std::move(field)) {}
    QString dataField() const override { return m_field; }
    QVariant boundValue() const override { return m_value; }
    void setBoundValue(const QVariant &value) override { m_value = value; }
    bool isBoundModified() const override { return m_modified; }
    void setBoundModified(bool modified) override { m_modified = modified; }
    void type(const QVariant &value)
    {
        m_value = value;
        m_modified = true;
    }
    QVariant m_value;

private:
    QString m_field;
    bool m_modified = false;
};

} // namespace testing_support
