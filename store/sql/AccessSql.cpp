#include "store/sql/AccessSql.h"

#include "store/sql/AccessParser.h"
#include "store/sql/SqliteEmitter.h"

namespace store {

bool translateAccessSql(const QString &statement, const TableLookup &tables, TranslatedStatement *out,
                        EngineError *error)
{
    sql::Query query;
    QString syntaxError;
    if (!sql::AccessParser::parse(statement, &query, &syntaxError))
        return fail(error, Err::SyntaxError, syntaxError);
    TranslatedStatement translated;
    if (!sql::SqliteEmitter::translate(statement, query, tables, &translated, error))
        return false;
    if (out)
        *out = std::move(translated);
    return true;
}

} // namespace store
