#include "widgets/BoundCheckBox.h"

namespace widgets {

BoundCheckBox::BoundCheckBox(const QString &dataField, const QString &caption, QWidget *parent)
    : QCheckBox(caption, parent), m_dataField(dataField)
{
    // clicked fires for the operator's clicks and keys, not for setChecked.
    connect(this, &QCheckBox::clicked, this, [this] { m_modified = true; });
}

} // namespace widgets
