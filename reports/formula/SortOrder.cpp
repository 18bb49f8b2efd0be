#include "reports/formula/SortOrder.h"

#include "reports/formula/FormulaLexer.h"

namespace reports::formula {

bool SortOrder::parse(const QStringList &keys, const store::TableDef &table, SortOrder *out, QString *error)
{
    SortOrder order;
    for (const QString &text : keys) {
        auto refuse = [&](const QString &why) {
            if (error)
                *error = QStringLiteral("Sort field %1: %2").arg(formulaPiece(text, 0, int(text.size())), why);
            return false;
        };
        std::vector<Token> tokens;
        QString lexError;
        if (!FormulaLexer::tokenize(text, &tokens, &lexError))
            return refuse(lexError);
        if (tokens.size() != 3 || (tokens[0].kind != Token::Kind::Plus && tokens[0].kind != Token::Kind::Minus)
            || tokens[1].kind != Token::Kind::Field)
            return refuse(QStringLiteral("write +{Table.Field} or -{Table.Field}."));
        const Token &field = tokens[1];
        if (field.table.compare(table.name, Qt::CaseInsensitive) != 0)
            return refuse(QStringLiteral("this report reads the table '%1', not '%2'.").arg(table.name, field.table));
        Key key;
        key.field = table.fieldIndex(field.field);
        if (key.field < 0)
            return refuse(QStringLiteral("this field name is not known."));
        key.type = valueTypeOf(table.fields.at(key.field).kind);
        key.descending = tokens[0].kind == Token::Kind::Minus;
        order.m_keys.push_back(key);
    }
    *out = std::move(order);
    return true;
}

int SortOrder::compare(const QVariant *a, qsizetype countA, const QVariant *b, qsizetype countB) const
{
    static const QVariant kNull;
    for (const Key &key : m_keys) {
        Cell x;
        Cell y;
        x.read(key.field < countA ? a[key.field] : kNull, key.type);
        y.read(key.field < countB ? b[key.field] : kNull, key.type);
        int c = 0;
        if (x.null || y.null)
            c = int(!x.null) - int(!y.null); // null first
        else
            c = compareCells(x, y, key.type);
        if (c != 0)
            return key.descending ? -c : c;
    }
    return 0;
}

} // namespace reports::formula
