#pragma once

#include "store/sql/Dates.h"

#include <QDate>
#include <QString>
#include <memory>
#include <vector>

namespace reports::formula {

// One side of a comparison.
struct Operand {
    enum class Kind { Field, Text, Number, Date, Boolean, DatePart };
    Kind kind = Kind::Text;
    QString table; // Field, DatePart: the names as written
    QString field;
    QString text; // Text
    double number = 0;
    QDate date;
    bool boolean = false;
    store::dates::DatePart part = store::dates::DatePart::Month;
    int position = 0;
    int length = 0;
};

enum class CompareOp { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

// A condition of a record selection formula, as written.
struct Node {
    enum class Kind {
        And,
        Or,
        Not,        // children
        Compare,    // left op right
        Like,       // left like right (a pattern)
        StartsWith, // left starts with right
        IsNull,     // IsNull (left)
        Test,       // left alone, a yes/no value
    };
    Kind kind = Kind::Test;
    std::vector<std::unique_ptr<Node>> children;
    Operand left;
    Operand right;
    CompareOp op = CompareOp::Equal;
    int position = 0;
    int length = 0;
};

} // namespace reports::formula
