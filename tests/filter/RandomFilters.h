#pragma once

#include "filter/FilterRows.h"

#include <QDate>
#include <QRandomGenerator>
#include <QStringList>
#include <QVariantList>

namespace testing_support {

// Random customers and random filters of the kind the filter window builds,
// for the properties that must hold on any data: the same filter selects
// the same rows in the same order everywhere it runs.
class RandomFilters
{
public:
    struct Field {
        const char *name;
        int type; // the engine's type code
    };
    // The fields the filters use, which randomCustomer() fills.
    static const QList<Field> &fields();

    // asciiOnly: names whose order the file's name index gives as it is;
    // otherwise names with letters from outside ASCII (the long s and the
    // Kelvin sign among them, which fold into ASCII) and trailing blanks.
    RandomFilters(quint32 seed, bool asciiOnly);

    // One customer's values, in the order of fields(): texts, numbers and
    // dates (ISO text) null now and then, yes/no 0 or 1.
    QVariantList randomCustomer();
    filter::FilterRows randomFilter();

private:
    template<typename T>
    const T &pick(const QList<T> &list)
    {
        return list.at(int(m_rng.bounded(qsizetype(list.size()))));
    }
    int between(int lo, int hi) { return lo + int(m_rng.bounded(hi - lo + 1)); }
    bool chance(int percent) { return int(m_rng.bounded(100)) < percent; }
    QString randomCase(const QString &s);
    QDate randomDate() { return QDate(1985, 1, 1).addDays(between(0, 16000)); }
    QString dateCriteria();
    filter::FilterRow randomRow();

    const QStringList &m_texts;
    QRandomGenerator m_rng;
};

} // namespace testing_support
