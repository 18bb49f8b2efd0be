#include "reports/formula/SelectionFormula.h"

#include "reports/formula/FormulaLexer.h"
#include "reports/formula/FormulaParser.h"
#include "store/sql/TextCompare.h"

namespace reports::formula {

// Turns the parsed tree into the flat program of a SelectionFormula,
// checking every name and type on the way.
class FormulaCompiler
{
public:
    FormulaCompiler(const QString &formula, const store::TableDef &table, SelectionFormula *out, QString *error)
        : m_formula(formula), m_table(table), m_out(out), m_error(error)
    {
    }

    int compile(const Node &node)
    {
        SelectionFormula::Step compiled;
        switch (node.kind) {
        case Node::Kind::And:
        case Node::Kind::Or:
        case Node::Kind::Not: {
            compiled.kind = node.kind == Node::Kind::And ? SelectionFormula::Kind::And
                : node.kind == Node::Kind::Or            ? SelectionFormula::Kind::Or
                                                         : SelectionFormula::Kind::Not;
            std::vector<int> children;
            for (const auto &child : node.children) {
                const int index = compile(*child);
                if (index < 0)
                    return -1;
                children.push_back(index);
            }
            compiled.firstChild = int(m_out->m_children.size());
            compiled.childCount = int(children.size());
            m_out->m_children.insert(m_out->m_children.end(), children.begin(), children.end());
            break;
        }
        case Node::Kind::Compare:
            compiled.kind = SelectionFormula::Kind::Compare;
            compiled.op = SelectionFormula::Op(int(node.op));
            if (!operand(node.left, &compiled.a) || !operand(node.right, &compiled.b))
                return -1;
            if (compiled.a.type != compiled.b.type)
                return fail(node.right, QStringLiteral("%1 is required here.").arg(valueTypeName(compiled.a.type)));
            if (compiled.a.type == ValueType::Boolean && node.op != CompareOp::Equal && node.op != CompareOp::NotEqual)
                return fail(node.left, QStringLiteral("yes/no values can only be compared with = or <>."));
            break;
        case Node::Kind::Like:
        case Node::Kind::StartsWith:
            compiled.kind =
                node.kind == Node::Kind::Like ? SelectionFormula::Kind::Like : SelectionFormula::Kind::StartsWith;
            if (!operand(node.left, &compiled.a) || !operand(node.right, &compiled.b))
                return -1;
            if (compiled.a.type != ValueType::Text)
                return fail(node.left, QStringLiteral("a text is required here."));
            if (node.right.kind != Operand::Kind::Text)
                return fail(node.right, QStringLiteral("a text in quotes is required here."));
            if (node.kind == Node::Kind::Like) {
                store::LikePattern pattern(node.right.text);
                if (!pattern.isValid())
                    return fail(node.right, pattern.error() + QLatin1Char('.'));
                compiled.pattern = int(m_out->m_patterns.size());
                m_out->m_patterns.push_back(std::move(pattern));
            }
            break;
        case Node::Kind::IsNull:
            compiled.kind = SelectionFormula::Kind::IsNull;
            if (!operand(node.left, &compiled.a))
                return -1;
            break;
        case Node::Kind::Test:
            compiled.kind = SelectionFormula::Kind::Test;
            if (!operand(node.left, &compiled.a))
                return -1;
            if (compiled.a.type != ValueType::Boolean)
                return fail(node.left,
                            QStringLiteral("a condition is required here, such as a yes/no field or "
                                           "a comparison."));
            break;
        }
        m_out->m_steps.push_back(std::move(compiled));
        return int(m_out->m_steps.size()) - 1;
    }

private:
    int fail(const Operand &at, const QString &text)
    {
        if (m_error)
            *m_error = QStringLiteral("Formula error at character %1: %2 %3")
                           .arg(at.position + 1)
                           .arg(formulaPiece(m_formula, at.position, at.length), text);
        return -1;
    }

    bool operand(const Operand &in, SelectionFormula::Arg *out)
    {
        switch (in.kind) {
        case Operand::Kind::Field:
        case Operand::Kind::DatePart: {
            if (in.table.compare(m_table.name, Qt::CaseInsensitive) != 0) {
                fail(in, QStringLiteral("this report reads the table '%1', not '%2'.").arg(m_table.name, in.table));
                return false;
            }
            out->field = m_table.fieldIndex(in.field);
            if (out->field < 0) {
                fail(in, QStringLiteral("this field name is not known."));
                return false;
            }
            out->type = valueTypeOf(m_table.fields.at(out->field).kind);
            if (in.kind == Operand::Kind::DatePart) {
                if (out->type != ValueType::Date) {
                    fail(in, QStringLiteral("DatePart needs a date field."));
                    return false;
                }
                out->datePart = true;
                out->part = in.part;
                out->type = ValueType::Number;
            }
            return true;
        }
        case Operand::Kind::Text:
            out->type = ValueType::Text;
            out->text = store::text::folded(in.text);
            break;
        case Operand::Kind::Number:
            out->type = ValueType::Number;
            out->constant.number = in.number;
            break;
        case Operand::Kind::Date:
            out->type = ValueType::Date;
            out->constant.julianDay = in.date.toJulianDay();
            break;
        case Operand::Kind::Boolean:
            out->type = ValueType::Boolean;
            out->constant.boolean = in.boolean;
            break;
        }
        out->constant.null = false;
        return true;
    }

    const QString &m_formula;
    const store::TableDef &m_table;
    SelectionFormula *m_out;
    QString *m_error;
};

bool SelectionFormula::compile(const QString &formula, const store::TableDef &table, SelectionFormula *out,
                               QString *error)
{
    std::unique_ptr<Node> tree;
    if (!FormulaParser::parse(formula, &tree, error))
        return false;
    SelectionFormula compiled;
    if (tree) {
        FormulaCompiler compiler(formula, table, &compiled, error);
        compiled.m_root = compiler.compile(*tree);
        if (compiled.m_root < 0)
            return false;
    }
    *out = std::move(compiled);
    return true;
}

void SelectionFormula::readArg(const Arg &operand, const QVariant *row, qsizetype count, Cell *cell) const
{
    if (operand.field < 0) {
        cell->null = false;
        cell->text = operand.text;
        cell->number = operand.constant.number;
        cell->julianDay = operand.constant.julianDay;
        cell->boolean = operand.constant.boolean;
        return;
    }
    static const QVariant kNull;
    const QVariant &value = operand.field < count ? row[operand.field] : kNull;
    if (!operand.datePart) {
        cell->read(value, operand.type);
        return;
    }
    cell->read(value, ValueType::Date);
    if (!cell->null)
        cell->number = store::dates::datePart(operand.part, QDate::fromJulianDay(cell->julianDay));
}

SelectionFormula::Truth SelectionFormula::evaluate(const QVariant *row, qsizetype count) const
{
    return m_root < 0 ? Truth::True : evaluateNode(m_root, row, count);
}

SelectionFormula::Truth SelectionFormula::evaluateNode(int index, const QVariant *row, qsizetype count) const
{
    const Step &node = m_steps[size_t(index)];
    switch (node.kind) {
    case Kind::And: {
        Truth result = Truth::True;
        for (int i = 0; i < node.childCount; ++i) {
            const Truth t = evaluateNode(m_children[size_t(node.firstChild + i)], row, count);
            if (t == Truth::False)
                return Truth::False;
            if (t == Truth::Unknown)
                result = Truth::Unknown;
        }
        return result;
    }
    case Kind::Or: {
        Truth result = Truth::False;
        for (int i = 0; i < node.childCount; ++i) {
            const Truth t = evaluateNode(m_children[size_t(node.firstChild + i)], row, count);
            if (t == Truth::True)
                return Truth::True;
            if (t == Truth::Unknown)
                result = Truth::Unknown;
        }
        return result;
    }
    case Kind::Not: {
        const Truth t = evaluateNode(m_children[size_t(node.firstChild)], row, count);
        return t == Truth::Unknown ? t : (t == Truth::True ? Truth::False : Truth::True);
    }
    case Kind::IsNull: {
        Cell cell;
        readArg(node.a, row, count, &cell);
        return cell.null ? Truth::True : Truth::False;
    }
    case Kind::Test: {
        Cell cell;
        readArg(node.a, row, count, &cell);
        if (cell.null)
            return Truth::Unknown;
        return cell.boolean ? Truth::True : Truth::False;
    }
    case Kind::Like:
    case Kind::StartsWith: {
        Cell cell;
        readArg(node.a, row, count, &cell);
        if (cell.null)
            return Truth::Unknown;
        const bool matched = node.kind == Kind::Like ? m_patterns[size_t(node.pattern)].matches(cell.text)
                                                     : store::text::startsWith(cell.text, node.b.text);
        return matched ? Truth::True : Truth::False;
    }
    case Kind::Compare: {
        Cell a;
        Cell b;
        readArg(node.a, row, count, &a);
        readArg(node.b, row, count, &b);
        if (a.null || b.null)
            return Truth::Unknown;
        const int c = compareCells(a, b, node.a.type);
        bool result = false;
        switch (node.op) {
        case Op::Equal: result = c == 0; break;
        case Op::NotEqual: result = c != 0; break;
        case Op::Less: result = c < 0; break;
        case Op::Greater: result = c > 0; break;
        case Op::LessEqual: result = c <= 0; break;
        case Op::GreaterEqual: result = c >= 0; break;
        }
        return result ? Truth::True : Truth::False;
    }
    }
    return Truth::Unknown;
}

} // namespace reports::formula
