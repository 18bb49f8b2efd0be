#pragma once

#include "store/Schema.h"

#include <QDate>
#include <QList>
#include <QString>
#include <QVariant>
#include <optional>

namespace csv {

// How a field takes a value from a file: the checks of the control the
// record window enters it with, and the engine's kind and length.
enum class Entry {
    Long,     // whole number within -2147483648 to 2147483647
    Date,     // a date
    TextDate, // a date kept in a text field as mm/dd/yyyy (the birthdate)
    YesNo,    // Yes/No, True/False, 1/0 (and -1, the old engine's Yes)
    Masked,   // text that fits an entry mask such as "(999)999-9999"
    Text,     // one line, within the field's length
    Memo,     // several lines, no limit
};

struct FieldRule {
    QString field; // the name the table holds it under
    Entry entry = Entry::Text;
    int maxLength = 0; // texts; 0 for no limit
    QString mask;      // masked fields
};

// The rules of every field of a table as the file holds it, in table order.
// Customer fields take the record window's masks and date entry; the
// center's settings are plain texts within their lengths.
QList<FieldRule> fieldRules(const store::TableDef &table);

// Checks one value of a file. On success *stored is what the column takes,
// typed as the engine's record sets hand values out (a date a QDate, yes/no
// a bool, which is never null; null for an empty value); otherwise
// *reason tells the operator what is wrong, in a sentence.
bool checkValue(const FieldRule &rule, const QString &value, QVariant *stored, QString *reason);

// The dates a file may hold: mm/dd/yyyy, m/d/yy (years by the window
// 1930-2029), yyyy-mm-dd, and a date followed by a time
// ("01/15/24 00:00:00", as the old file's exporter writes them).
std::optional<QDate> readFileDate(const QString &text);

// A value poured into an entry mask as the masked field takes a paste:
// literals skipped, each typed character into the next place that admits
// it. The stored form, or nothing when the value does not fit.
std::optional<QString> fitToMask(const QString &mask, const QString &value);

} // namespace csv
