#pragma once

#include "store/EngineError.h"
#include "store/Schema.h"

#include <QVariant>

namespace store {

// A field's value as the record set hands it out, from the value the file holds.
QVariant fromStored(FieldKind kind, const QVariant &stored);
// The value the file holds for a field's value (dates as ISO text, yes/no as 0/1).
QVariant toStored(FieldKind kind, const QVariant &value);

// The value a field would store, checked against its kind: long integers
// must fit 32 bits, texts their length, dates must be real dates.
bool normalizeFieldValue(const FieldDef &field, const QVariant &in, QVariant *out, EngineError *error);

} // namespace store
