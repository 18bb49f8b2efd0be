#pragma once

#include "store/BoundField.h"
#include "widgets/StoredValueMark.h"

#include <QLineEdit>

namespace widgets {

// A plain text box bound to one field of a data control (txtFields).
// An empty box stands for an empty field.
class BoundLineEdit : public QLineEdit, public store::BoundField
{
    Q_OBJECT
public:
    explicit BoundLineEdit(const QString &dataField, QWidget *parent = nullptr);

    QString dataField() const override { return m_dataField; }
    QVariant boundValue() const override;
    void setBoundValue(const QVariant &value) override;
    bool isBoundModified() const override { return m_modified; }
    void setBoundModified(bool modified) override { m_modified = modified; }

    // The entry limit for what is typed; a longer stored value is shown whole, marked.
    void setEntryLimit(int characters);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void startNewValue();

    QString m_dataField;
    bool m_modified = false;
    int m_limit = 32767; // QLineEdit's own
    StoredValueMark m_mark;
};

} // namespace widgets
