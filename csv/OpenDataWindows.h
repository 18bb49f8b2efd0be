#pragma once

#include <QString>

namespace csv {

// The data controls of the open windows that show the database file.
// Before an import they write what was typed, so that nothing typed meets
// the new rows half-done; afterwards they read their rows again, on the row
// they were on, so that the windows show what was added.
bool writeOpenEdits(const QString &databasePath, QString *error);
void showNewRows(const QString &databasePath);

} // namespace csv
