#pragma once

#include "store/BoundField.h"

#include <QPlainTextEdit>

namespace widgets {

// A text box of several lines with a vertical scroll bar, bound to one
// long-text field (txtFields for notes). Tab moves on to the next control.
class BoundTextEdit : public QPlainTextEdit, public store::BoundField
{
    Q_OBJECT
public:
    explicit BoundTextEdit(const QString &dataField, QWidget *parent = nullptr);

    QString dataField() const override { return m_dataField; }
    QVariant boundValue() const override;
    void setBoundValue(const QVariant &value) override;
    bool isBoundModified() const override { return m_modified; }
    void setBoundModified(bool modified) override { m_modified = modified; }

private:
    QString m_dataField;
    bool m_modified = false;
    bool m_filling = false;
};

} // namespace widgets
