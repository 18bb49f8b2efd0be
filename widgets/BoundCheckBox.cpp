#include "widgets/BoundCheckBox.h"

#include <QScopedValueRollback>

namespace widgets {

BoundCheckBox::BoundCheckBox(const QString &dataField, const QString &caption, QWidget *parent)
    : QCheckBox(caption, parent), m_dataField(dataField)
{
    // Every change but the data control's own is an edit: a click, a key,
    // or a screen reader's toggle (which does not emit clicked).
    connect(this, &QCheckBox::toggled, this, [this] {
        if (!m_loading)
            m_modified = true;
    });
}

void BoundCheckBox::setBoundValue(const QVariant &value)
{
    const QScopedValueRollback loading(m_loading, true);
    setChecked(!value.isNull() && value.toBool());
}

} // namespace widgets
