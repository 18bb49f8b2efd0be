#pragma once

#include "store/Schema.h"

#include <QDate>
#include <QString>
#include <QVariant>
#include <vector>

namespace reports {

// A field's value as a page prints it from, read straight from the row: a
// listing reads each row into the same values, so that neither a QVariant
// nor, for most texts, a new string is made per row.
struct FieldValue {
    enum class Kind : quint8 { Null, Text, Number, Date, YesNo };
    Kind kind = Kind::Null;
    QString text;
    double number = 0;
    QDate date;
    bool yes = false;

    // The value of a field of `field` kind as a QVariant holds it.
    static FieldValue of(const QVariant &value, store::FieldKind field);
    // Text from UTF-8, in the string's own room when it has enough.
    void setText(const char *utf8, qsizetype length);
};

// A customer's fields in table order; the fields not read are null.
using PrintedRow = std::vector<FieldValue>;

// How a field's value is written on a page. The format is the text after
// the colon of a field reference ("{Information.KeyDeposit:$#,##0.00}"):
//   dates: a date pattern of Qt's (MM/dd/yyyy, MMMM d, yyyy, ...);
//   whole numbers: 0 digits, # optional digits, "," grouping, ".00" decimals,
//     any other characters before or after kept as written ($#,##0.00);
//   yes/no: the two texts for yes and no, separated by ";" (Yes;No);
//   texts: "upper" or "lower".
// Without a format dates read MM/dd/yyyy, yes/no Yes or No, the rest as stored.
// A format is read once, when the report file is read, and applied per row.
class ValueFormat
{
public:
    ValueFormat() = default;

    // False with a reason when the format does not suit the field's kind.
    static bool compile(store::FieldKind kind, const QString &format, ValueFormat *out, QString *error);
    static bool check(store::FieldKind kind, const QString &format, QString *error)
    {
        ValueFormat unused;
        return compile(kind, format, &unused, error);
    }

    QString apply(const QVariant &value) const;
    // Appends the written value to `out`.
    void appendTo(QString &out, const FieldValue &value) const;
    void appendTo(QString &out, const QVariant &value) const { appendTo(out, FieldValue::of(value, m_kind)); }

    // Shorthand for one value (tests, one-off texts).
    static QString apply(const QVariant &value, store::FieldKind kind, const QString &format);

private:
    store::FieldKind m_kind = store::FieldKind::Text;
    QString m_format;
    // Numbers
    QString m_prefix;
    QString m_suffix;
    int m_minIntegerDigits = 1;
    int m_decimals = 0;
    bool m_grouping = false;
    bool m_pattern = false;
    // Yes/no
    QString m_yes = QStringLiteral("Yes");
    QString m_no = QStringLiteral("No");
};

} // namespace reports
