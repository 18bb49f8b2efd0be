// Any bytes as a record selection formula (first line) and sort fields (the
// lines after it). A formula either compiles or is refused with an error
// text; a compiled one evaluates every row and sorts without failing.
#include "reports/formula/SelectionFormula.h"
#include "reports/formula/SortOrder.h"
#include "store/Schema.h"

#include <QDate>
#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

std::vector<QVariantList> fixtureRows()
{
    const store::TableDef &table = store::Schema::information();
    auto index = [&table](const char *name) { return table.fieldIndex(QString::fromLatin1(name)); };
    std::vector<QVariantList> rows;
    const char *names[] = {"Smith", "SMITH  ", "\xC5\xBFmith", "M\xC3\xBCller", "", "a*b", "O'Neil"};
    int i = 0;
    for (const char *name : names) {
        QVariantList r(table.fields.size());
        r[index("LockerNumber")] = qint64(i);
        r[index("LastName")] = QString::fromUtf8(name);
        r[index("KeyDeposit")] = qint64(i * 7 - 10);
        r[index("DateRented")] = QDate(1990 + i, i + 1, i + 20);
        r[index("Adult")] = (i % 2) == 0;
        r[index("Notes")] = i % 3 ? QVariant(QString::fromUtf8(name)) : QVariant();
        rows.push_back(r);
        ++i;
    }
    QVariantList lone(table.fields.size());
    lone[index("LastName")] = QString(QChar(0xD800)) + QLatin1Char('x') + QChar(0xDC00); // lone surrogates
    rows.push_back(lone);
    rows.push_back(QVariantList(table.fields.size())); // every field null
    rows.push_back(QVariantList());                    // a short row
    return rows;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const std::vector<QVariantList> rows = fixtureRows();
    const store::TableDef &table = store::Schema::information();

    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    QStringList lines = text.split(QLatin1Char('\n'));
    const QString formula = lines.takeFirst();

    reports::formula::SelectionFormula selection;
    QString error;
    if (reports::formula::SelectionFormula::compile(formula, table, &selection, &error)) {
        for (const QVariantList &r : rows)
            (void)selection.evaluate(r.constData(), r.size());
    } else if (error.isEmpty()) {
        std::abort(); // a refusal must say why
    }

    reports::formula::SortOrder order;
    error.clear();
    if (reports::formula::SortOrder::parse(lines, table, &order, &error)) {
        std::vector<QVariantList> sorted = rows;
        std::stable_sort(sorted.begin(), sorted.end(),
                         [&order](const QVariantList &a, const QVariantList &b) { return order.lessThan(a, b); });
    } else if (error.isEmpty()) {
        std::abort();
    }
    return 0;
}
