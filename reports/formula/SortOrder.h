#pragma once

#include "reports/formula/RowValues.h"
#include "store/Schema.h"

#include <QStringList>
#include <QVariantList>
#include <vector>

namespace reports::formula {

// The report's sort fields, "+{T.F}" ascending and "-{T.F}" descending, in
// the order the database sorts the same statement's ORDER BY: texts without
// regard to case, nulls first when ascending and last when descending. Rows
// equal on every key keep their order when sorted with a stable sort, as the
// database keeps the table's order.
class SortOrder
{
public:
    // The keys in order; an empty list sorts nothing.
    static bool parse(const QStringList &keys, const store::TableDef &table, SortOrder *out, QString *error);

    bool isEmpty() const { return m_keys.empty(); }
    int compare(const QVariant *a, qsizetype countA, const QVariant *b, qsizetype countB) const;
    bool lessThan(const QVariantList &a, const QVariantList &b) const
    {
        return compare(a.constData(), a.size(), b.constData(), b.size()) < 0;
    }

private:
    struct Key {
        int field = 0;
        ValueType type = ValueType::Text;
        bool descending = false;
    };
    std::vector<Key> m_keys;
};

} // namespace reports::formula
