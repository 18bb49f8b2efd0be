#pragma once

#include "platform/MessageBox.h"

namespace filter {

// The boxes of applying, counting and deleting, with their exact texts.
// Two-part prompts are joined by two carriage returns.
namespace FilterMessages {
platform::MessageBoxRequest confirmDeleteCounted(qint64 n);   // M1
platform::MessageBoxRequest nothingToDelete();                // M2
platform::MessageBoxRequest confirmDeleteByCriteria();        // M3
platform::MessageBoxRequest confirmDeleteAll();               // M4
platform::MessageBoxRequest finishedDeleting();               // M5
platform::MessageBoxRequest duplicated();                     // M6
platform::MessageBoxRequest engineError(const QString &engineText, const QString &statement); // M7
platform::MessageBoxRequest noMatch();                        // M8
platform::MessageBoxRequest foundCount(qint64 n, const QString &statement); // M9 or M10
platform::MessageBoxRequest noActiveFilter();                 // M11
} // namespace FilterMessages

} // namespace filter
