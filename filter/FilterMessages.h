#pragma once

#include "platform/MessageBox.h"

namespace filter {

// The boxes of applying, counting and deleting, with their exact texts.
// Two-part prompts are joined by two carriage returns.
namespace FilterMessages {
platform::MessageBoxRequest confirmDeleteCounted(qint64 n);
platform::MessageBoxRequest nothingToDelete();
platform::MessageBoxRequest confirmDeleteByCriteria();
platform::MessageBoxRequest confirmDeleteAll();
platform::MessageBoxRequest finishedDeleting();
platform::MessageBoxRequest duplicated();
platform::MessageBoxRequest engineError(const QString &engineText, const QString &statement);
platform::MessageBoxRequest noMatch();
// sorted: the filter has sort keys.
platform::MessageBoxRequest foundCount(qint64 n, bool sorted);
platform::MessageBoxRequest noActiveFilter();
} // namespace FilterMessages

} // namespace filter
