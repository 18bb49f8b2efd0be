#pragma once

#include "store/Schema.h"

#include <QString>
#include <QVariant>

namespace reports {

// How a field's value is written on a page. The format is the text after
// the colon of a field reference ("{Information.KeyDeposit:$#,##0.00}"):
//   dates: a date pattern of Qt's (MM/dd/yyyy, MMMM d, yyyy, ...);
//   whole numbers: 0 digits, # optional digits, "," grouping, ".00" decimals,
//     any other characters before or after kept as written ($#,##0.00);
//   yes/no: the two texts for yes and no, separated by ";" (Yes;No);
//   texts: "upper" or "lower".
// Without a format dates read MM/dd/yyyy, yes/no Yes or No, the rest as stored.
class ValueFormat
{
public:
    // False with a reason when the format does not suit the field's kind.
    static bool check(store::FieldKind kind, const QString &format, QString *error);

    static QString apply(const QVariant &value, store::FieldKind kind, const QString &format);

    static QString number(double value, const QString &format);
};

} // namespace reports
