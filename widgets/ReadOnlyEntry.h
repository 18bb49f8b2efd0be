#pragma once

class QWidget;

namespace widgets {

// Makes every entry field inside `area` show its value without letting it
// be changed: text stays selectable and scrollable, check boxes stop taking
// clicks. For windows over a database that may only be read.
void setEntryReadOnly(QWidget *area, bool readOnly);

} // namespace widgets
