#pragma once

#include "reports/formula/RowValues.h"
#include "store/Schema.h"
#include "store/sql/Dates.h"
#include "store/sql/LikePattern.h"

#include <QVariantList>
#include <vector>

namespace reports::formula {

// A record selection formula compiled against one table: field references
// resolved to column indexes, constant texts folded and patterns compiled
// once, so that evaluating a row allocates nothing.
//
// A null field makes its comparison unknown rather than false; "not" keeps
// unknown, "and"/"or" follow the three-valued rules, and a row is selected
// only when the whole formula is true. That is how the database treats the
// same condition, so both select the same rows.
class SelectionFormula
{
public:
    enum class Truth : std::uint8_t { False, True, Unknown };

    // An empty formula selects every row. On failure `error` says what is
    // wrong and where.
    static bool compile(const QString &formula, const store::TableDef &table, SelectionFormula *out, QString *error);

    bool selectsAll() const { return m_root < 0; }

    // `row` holds the table's fields in table order, as Recordset::rowAt
    // gives them; missing trailing values count as null.
    Truth evaluate(const QVariant *row, qsizetype count) const;
    bool selects(const QVariantList &row) const { return evaluate(row.constData(), row.size()) == Truth::True; }

private:
    friend class FormulaCompiler;

    enum class Kind : std::uint8_t { And, Or, Not, Compare, Like, StartsWith, IsNull, Test };
    enum class Op : std::uint8_t { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

    struct Arg {
        ValueType type = ValueType::Text;
        int field = -1;        // the column, or -1 for a constant
        bool datePart = false; // the field's date part instead of the field
        store::dates::DatePart part = store::dates::DatePart::Month;
        Cell constant; // a constant's number, date or yes/no
        QString text;  // a constant's text, folded
    };
    struct Step {
        Kind kind = Kind::Test;
        Op op = Op::Equal;
        int firstChild = 0; // And, Or, Not: children in m_children
        int childCount = 0;
        Arg a;
        Arg b;
        int pattern = -1; // Like: index into m_patterns
    };

    Truth evaluateNode(int index, const QVariant *row, qsizetype count) const;
    void readArg(const Arg &arg, const QVariant *row, qsizetype count, Cell *cell) const;

    std::vector<Step> m_steps;
    std::vector<int> m_children;
    std::vector<store::LikePattern> m_patterns;
    int m_root = -1;
};

} // namespace reports::formula
