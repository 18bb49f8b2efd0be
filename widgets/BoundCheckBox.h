#pragma once

#include "store/BoundField.h"

#include <QCheckBox>

namespace widgets {

// A check box bound to one yes/no field (chkFields).
class BoundCheckBox : public QCheckBox, public store::BoundField
{
    Q_OBJECT
public:
    BoundCheckBox(const QString &dataField, const QString &caption, QWidget *parent = nullptr);

    QString dataField() const override { return m_dataField; }
    QVariant boundValue() const override { return QVariant(isChecked()); }
    void setBoundValue(const QVariant &value) override;
    bool isBoundModified() const override { return m_modified; }
    void setBoundModified(bool modified) override { m_modified = modified; }

private:
    QString m_dataField;
    bool m_modified = false;
    bool m_loading = false; // the data control is showing the record's value
};

} // namespace widgets
