#pragma once

#include "store/Schema.h"

#include <QStringView>
#include <QVariant>

namespace reports::formula {

// The four kinds of value a formula works with.
enum class ValueType : std::uint8_t { Text, Number, Date, Boolean };

ValueType valueTypeOf(store::FieldKind kind);
QString valueTypeName(ValueType type);

// One value read from a row without copying texts: the field values come
// as the record set gives them (Long as qint64, Date as QDate, yes/no as
// bool, text and memo as QString, null as an invalid QVariant).
struct Cell {
    bool null = true;
    QStringView text;
    double number = 0;
    qint64 julianDay = 0;
    bool boolean = false;
    QString converted; // holds a text that had to be converted first

    void read(const QVariant &value, ValueType type);
};

// <0, 0 or >0 for two non-null cells of the same type; texts in the same
// order as the database's (every letter without regard to case, trailing
// blanks ignored).
int compareCells(const Cell &a, const Cell &b, ValueType type);

} // namespace reports::formula
