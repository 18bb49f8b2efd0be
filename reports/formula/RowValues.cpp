#include "reports/formula/RowValues.h"

#include "store/sql/TextCompare.h"

#include <QDate>
#include <QDateTime>

namespace reports::formula {

ValueType valueTypeOf(store::FieldKind kind)
{
    switch (kind) {
    case store::FieldKind::YesNo: return ValueType::Boolean;
    case store::FieldKind::Long: return ValueType::Number;
    case store::FieldKind::Date: return ValueType::Date;
    case store::FieldKind::Text:
    case store::FieldKind::Memo: return ValueType::Text;
    }
    return ValueType::Text;
}

QString valueTypeName(ValueType type)
{
    switch (type) {
    case ValueType::Text: return QStringLiteral("a text");
    case ValueType::Number: return QStringLiteral("a number");
    case ValueType::Date: return QStringLiteral("a date");
    case ValueType::Boolean: return QStringLiteral("a yes/no value");
    }
    return QString();
}

void Cell::read(const QVariant &value, ValueType type)
{
    null = !value.isValid() || value.isNull();
    if (null)
        return;
    const int id = value.metaType().id();
    switch (type) {
    case ValueType::Text:
        if (id == QMetaType::QString) {
            text = *static_cast<const QString *>(value.constData());
        } else {
            converted = value.toString();
            text = converted;
        }
        return;
    case ValueType::Number:
        switch (id) {
        case QMetaType::LongLong: number = double(*static_cast<const qlonglong *>(value.constData())); return;
        case QMetaType::Int: number = *static_cast<const int *>(value.constData()); return;
        default: {
            bool ok = false;
            number = value.toDouble(&ok);
            null = !ok;
            return;
        }
        }
    case ValueType::Date:
        if (id == QMetaType::QDate) {
            julianDay = static_cast<const QDate *>(value.constData())->toJulianDay();
            null = !static_cast<const QDate *>(value.constData())->isValid();
        } else if (id == QMetaType::QDateTime) {
            const QDate d = value.toDateTime().date();
            julianDay = d.toJulianDay();
            null = !d.isValid();
        } else {
            const QDate d = QDate::fromString(value.toString().left(10), Qt::ISODate);
            julianDay = d.toJulianDay();
            null = !d.isValid();
        }
        return;
    case ValueType::Boolean:
        boolean = id == QMetaType::Bool ? *static_cast<const bool *>(value.constData()) : value.toLongLong() != 0;
        return;
    }
}

int compareCells(const Cell &a, const Cell &b, ValueType type)
{
    switch (type) {
    case ValueType::Text: return store::text::compare(a.text, b.text);
    case ValueType::Number: return a.number < b.number ? -1 : (a.number > b.number ? 1 : 0);
    case ValueType::Date: return a.julianDay < b.julianDay ? -1 : (a.julianDay > b.julianDay ? 1 : 0);
    case ValueType::Boolean: return int(a.boolean) - int(b.boolean);
    }
    return 0;
}

} // namespace reports::formula
