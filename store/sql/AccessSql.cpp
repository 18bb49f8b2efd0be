#include "store/sql/AccessSql.h"

#include "store/sql/AccessParser.h"
#include "store/sql/PostgresEmitter.h"
#include "store/sql/SqliteEmitter.h"

namespace store {

bool translateAccessSql(const QString &statement, const TableLookup &tables, TranslatedStatement *out,
                        EngineError *error, SqlDialect dialect)
{
    sql::Query query;
    QString syntaxError;
    if (!sql::AccessParser::parse(statement, &query, &syntaxError))
        return fail(error, Err::SyntaxError, syntaxError);
    TranslatedStatement translated;
    const bool translatedOk = dialect == SqlDialect::Postgres
        ? sql::PostgresEmitter::translate(statement, query, tables, &translated, error)
        : sql::SqliteEmitter::translate(statement, query, tables, &translated, error);
    if (!translatedOk)
        return false;
    if (out)
        *out = std::move(translated);
    return true;
}

} // namespace store
