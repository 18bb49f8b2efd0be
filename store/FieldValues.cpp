#include "store/FieldValues.h"

#include "store/sql/Dates.h"

#include <QDate>
#include <QDateTime>
#include <cmath>
#include <limits>

namespace store {

QVariant fromStored(FieldKind kind, const QVariant &stored)
{
    if (stored.isNull())
        return QVariant();
    switch (kind) {
    case FieldKind::YesNo: return QVariant(stored.toLongLong() != 0);
    case FieldKind::Long: return stored.typeId() == QMetaType::LongLong ? stored : QVariant(stored.toLongLong());
    case FieldKind::Date: {
        if (stored.typeId() == QMetaType::QDate)
            return stored;
        if (const auto d = dates::parseStoredDate(stored.toString()))
            return QVariant(*d);
        const QDate d = QDate::fromString(stored.toString().left(10), Qt::ISODate);
        return d.isValid() ? QVariant(d) : stored;
    }
    case FieldKind::Text:
    case FieldKind::Memo: return stored.typeId() == QMetaType::QString ? stored : QVariant(stored.toString());
    }
    return stored;
}

QVariant toStored(FieldKind kind, const QVariant &value)
{
    if (value.isNull())
        return QVariant();
    switch (kind) {
    case FieldKind::YesNo: return QVariant(qint64(value.toBool() ? 1 : 0));
    case FieldKind::Long: return value.typeId() == QMetaType::LongLong ? value : QVariant(value.toLongLong());
    case FieldKind::Date: {
        // Written by hand: every date of every row written passes here.
        const QDate date = value.toDate();
        char text[10];
        return dates::storedDateText(date, text) ? QVariant(QString::fromLatin1(text, 10))
                                                 : QVariant(date.toString(Qt::ISODate));
    }
    default: return value.typeId() == QMetaType::QString ? value : QVariant(value.toString());
    }
}

bool normalizeFieldValue(const FieldDef &field, const QVariant &in, QVariant *out, EngineError *error)
{
    if (!in.isValid() || in.isNull() || (in.metaType().id() == QMetaType::QString && in.toString().isEmpty())) {
        *out = field.kind == FieldKind::YesNo ? QVariant(false) : QVariant();
        return true;
    }
    switch (field.kind) {
    case FieldKind::Long: {
        bool ok = false;
        qint64 v = 0;
        const int id = in.metaType().id();
        if (id == QMetaType::Double || id == QMetaType::Float) {
            const double d = in.toDouble();
            ok = std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e18;
            v = ok ? qint64(d) : 0;
        } else if (id == QMetaType::Bool) {
            ok = true;
            v = in.toBool() ? -1 : 0;
        } else {
            const QString text = in.toString().trimmed();
            v = text.toLongLong(&ok);
            if (!ok) {
                // Ten or more digits that do not even fit 64 bits still overflow the field.
                bool digits = !text.isEmpty();
                for (int i = 0; i < text.size(); ++i)
                    digits = digits
                        && (text.at(i).isDigit()
                            || (i == 0 && (text.at(i) == QLatin1Char('-') || text.at(i) == QLatin1Char('+'))));
                if (digits && text.size() > 1)
                    return fail(error, Err::NumericOverflow,
                                QStringLiteral("Numeric field overflow: %1 does not fit in the field '%2', which holds "
                                               "whole numbers from -2147483648 to 2147483647.")
                                    .arg(text, field.name));
            }
        }
        if (!ok)
            return fail(error, Err::TypeConversion,
                        QStringLiteral("Data type conversion error: '%1' is not a whole number for the field '%2'.")
                            .arg(in.toString(), field.name));
        if (v < std::numeric_limits<qint32>::min() || v > std::numeric_limits<qint32>::max())
            return fail(error, Err::NumericOverflow,
                        QStringLiteral("Numeric field overflow: %1 does not fit in the field '%2', which holds whole "
                                       "numbers from -2147483648 to 2147483647.")
                            .arg(v)
                            .arg(field.name));
        *out = QVariant(v);
        return true;
    }
    case FieldKind::YesNo: {
        const int id = in.metaType().id();
        if (id == QMetaType::Bool) {
            *out = in;
            return true;
        }
        if (id == QMetaType::QString) {
            const QString t = in.toString().trimmed().toLower();
            if (t == QLatin1String("yes") || t == QLatin1String("true") || t == QLatin1String("on")) {
                *out = true;
                return true;
            }
            if (t == QLatin1String("no") || t == QLatin1String("false") || t == QLatin1String("off")) {
                *out = false;
                return true;
            }
            bool ok = false;
            const double d = t.toDouble(&ok);
            if (!ok)
                return fail(error, Err::TypeConversion,
                            QStringLiteral("Data type conversion error: '%1' is not yes or no for the field '%2'.")
                                .arg(in.toString(), field.name));
            *out = d != 0;
            return true;
        }
        *out = QVariant(in.toDouble() != 0);
        return true;
    }
    case FieldKind::Date: {
        QDate d;
        if (in.metaType().id() == QMetaType::QDate)
            d = in.toDate();
        else if (in.metaType().id() == QMetaType::QDateTime)
            d = in.toDateTime().date();
        else {
            const QString t = in.toString().trimmed();
            d = QDate::fromString(t, Qt::ISODate);
            if (!d.isValid())
                d = QDate::fromString(t, QStringLiteral("MM/dd/yyyy"));
        }
        if (!d.isValid())
            return fail(error, Err::TypeConversion,
                        QStringLiteral("Data type conversion error: '%1' is not a date for the field '%2'.")
                            .arg(in.toString(), field.name));
        *out = d;
        return true;
    }
    case FieldKind::Text:
    case FieldKind::Memo: {
        const QString t = in.toString();
        if (field.kind == FieldKind::Text && field.maxLength > 0 && t.size() > field.maxLength)
            return fail(error, Err::FieldTooSmall,
                        QStringLiteral("The field '%1' is too small to accept the amount of data you attempted to "
                                       "add: %2 characters, and it holds %3.")
                            .arg(field.name)
                            .arg(t.size())
                            .arg(field.maxLength));
        *out = t;
        return true;
    }
    }
    *out = in;
    return true;
}

} // namespace store
