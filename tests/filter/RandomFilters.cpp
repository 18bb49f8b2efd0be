#include "RandomFilters.h"

namespace testing_support {

using namespace filter;

namespace {
const QStringList kTexts = {"Smith",      "SMITH", "smith ", "Smithers",   "O'Neil",     "o'neil", "Müller", "MÜLLER",
                            "Straße",     "A*B",   "(A)",    "Apt #5",     "a[b]c",      "50%",    "x_y",    "Ann",
                            "ann",        "Zed",   "zed's",  "Émile",      "  lead",     "",       "   ",    "'",
                            "say \"hi\"", "Ab?d",  "12",     "\u017Fmith", "\u212Aelvin"};
const QStringList kAsciiTexts = {"Smith",      "SMITH", "smith", "Smithers", "O'Neil", "o'neil", "Kelvin",
                                 "kelvin",     "A*B",   "(A)",   "Apt #5",   "a[b]c",  "50%",    "x_y",
                                 "Ann",        "ann",   "Zed",   "zed's",    "  lead", "",       "'",
                                 "say \"hi\"", "Ab?d",  "12",    "Miller"};
} // namespace

const QList<RandomFilters::Field> &RandomFilters::fields()
{
    static const QList<Field> fields = {{"LastName", 10},    {"FirstName", 10}, {"City", 10},     {"Notes", 12},
                                        {"LockerNumber", 4}, {"KeyDeposit", 4}, {"VIBNumber", 4}, {"DateRented", 8},
                                        {"DateToRenew", 8},  {"Adult", 1},      {"Senior", 1},    {"Winter", 1}};
    return fields;
}

RandomFilters::RandomFilters(quint32 seed, bool asciiOnly) : m_texts(asciiOnly ? kAsciiTexts : kTexts), m_rng(seed)
{
}

QString RandomFilters::randomCase(const QString &s)
{
    QString out;
    for (QChar c : s)
        out += chance(50) ? c.toUpper() : c.toLower();
    return out;
}

QVariantList RandomFilters::randomCustomer()
{
    QVariantList values;
    for (const Field &f : fields()) {
        switch (f.type) {
        case 10:
        case 12: values << (chance(12) ? QVariant() : QVariant(pick(m_texts))); break;
        case 4: values << (chance(10) ? QVariant() : QVariant(between(-5, 60))); break;
        case 8: values << (chance(10) ? QVariant() : QVariant(randomDate().toString(Qt::ISODate))); break;
        default: values << between(0, 1); break;
        }
    }
    return values;
}

QString RandomFilters::dateCriteria()
{
    const QDate d = randomDate();
    switch (between(0, 2)) {
    case 0: return d.toString("MM/dd/yy");
    case 1: return d.toString("M/d/yyyy");
    default: return d.toString("MM/dd/yyyy");
    }
}

FilterRow RandomFilters::randomRow()
{
    const Field &f = fields().at(between(0, int(fields().size()) - 1));
    FilterRow row;
    row.exists = true;
    row.field = chance(20) ? QString::fromLatin1(f.name).toLower() : QString::fromLatin1(f.name);
    row.typeCode = f.type;
    const QString kind = listKindOf(f.type);
    QStringList ops = Operators::forKind(kind);
    if (kind == "Date")
        ops += Operators::datePartOperators();
    const int position = between(0, int(ops.size()) - 1);
    row.op = ops.at(position);
    switch (classOf(f.type)) {
    case FieldClass::Text:
        if (chance(15))
            row.criteria = chance(50) ? "empty" : "EMPTY";
        else if (chance(30))
            row.criteria = randomCase(pick(m_texts).left(between(1, 4)));
        else
            row.criteria = randomCase(pick(m_texts));
        if (row.criteria.trimmed().isEmpty())
            row.criteria = "x";
        break;
    case FieldClass::Number:
        row.criteria = chance(20) ? QStringLiteral("%1.5").arg(between(-5, 60)) : QString::number(between(-5, 60));
        break;
    case FieldClass::Boolean: row.criteria = randomCase(pick(QStringList{"yes", "no", "true", "false"})); break;
    case FieldClass::Date:
        switch (position) {
        case 6: row.criteria = QString::number(between(1, 12)); break;
        case 7: row.criteria = QString::number(between(1, 31)); break;
        case 8: row.criteria = QString::number(between(1985, 2028)); break;
        case 9: row.criteria = QString::number(between(1, 366)); break;
        case 10: row.criteria = QString::number(between(1, 52)); break;
        default: row.criteria = dateCriteria(); break;
        }
        break;
    case FieldClass::None: break;
    }
    return row;
}

FilterRows RandomFilters::randomFilter()
{
    FilterRows rows;
    rows.table = "Information";
    const int count = between(1, 5);
    for (int i = 0; i < count; ++i) {
        FilterRow row = randomRow();
        if (i + 1 < count)
            row.condition = chance(50) ? "And" : "Or";
        rows.rows.append(row);
    }
    const int sorts = between(0, 3);
    for (int k = 0; k < sorts; ++k) {
        const Field *f;
        do {
            f = &fields().at(between(0, int(fields().size()) - 1));
        } while (f->type == 12);
        rows.sorts.append({true, QString::fromLatin1(f->name), chance(50) ? "Ascending" : "Descending"});
    }
    if (sorts == 0)
        rows.sorts.append({true, DoNotSort, ""});
    return rows;
}

} // namespace testing_support
