#pragma once

#include "platform/MessageBox.h"

#include <QString>

namespace backup {

// The text and icon of the box for a result code, or an empty text when the
// code shows no box (0 and below, 10, 30, 140). operation is the word the
// callers pass: "adding", "extracting", "listing", "Opening", ...
QString resultMessageText(int code, const QString &operation, bool multidisk);
platform::Icon resultMessageIcon(int code);

} // namespace backup
