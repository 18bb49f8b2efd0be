#pragma once

#include "store/sql/Dates.h"

#include <QDate>
#include <QString>
#include <memory>
#include <vector>

namespace store::sql {

// Where a piece sits in the statement, for error texts.
struct Span {
    int position = 0;
    int length = 0;
};

// A field as the statement spells it: [F], F, T.F or [T].[F].
struct FieldName {
    QString table; // empty when not qualified
    QString name;
    Span span;
};

enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

// A constant on the right of a comparison.
struct Value {
    enum class Kind { Text, Number, Boolean, Null, Date };
    Kind kind = Kind::Null;
    QString text;           // Text
    bool isInteger = false; // Number: integer holds it exactly
    qint64 integer = 0;
    double real = 0;      // Number, always set
    bool boolean = false; // Boolean
    QDate date;           // Date
    Span span;
};

// A condition of the WHERE clause.
struct Condition {
    enum class Kind {
        And,      // children, all true
        Or,       // children, one true
        Compare,  // field op value
        Like,     // field [NOT] LIKE pattern (value.text)
        DatePart, // DatePart(interval, field) op value
    };
    Kind kind = Kind::Compare;
    std::vector<std::unique_ptr<Condition>> children;
    FieldName field;
    CompareOp op = CompareOp::Equal;
    Value value;
    bool negated = false;
    dates::DatePart part = dates::DatePart::Month;
    Span span; // the whole term
};

struct OrderKey {
    FieldName field;
    bool descending = false;
};

// One statement of the dialect: Select T.* From T [Where ...] [ORDER BY ...]
// or Delete * From T [Where ...].
struct Query {
    enum class Kind { Select, Delete };
    Kind kind = Kind::Select;
    QString table;
    Span tableSpan;
    std::unique_ptr<Condition> where; // null when there is no WHERE
    std::vector<OrderKey> order;
};

} // namespace store::sql
