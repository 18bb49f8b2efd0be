#include "store/AccessSql.h"

namespace store {

bool translateAccessSql(const QString &statement, const TableLookup &, TranslatedStatement *, EngineError *error)
{
    return fail(error, Err::SyntaxError,
                QStringLiteral("Statements are not understood by this engine yet: '%1'.").arg(statement));
}

} // namespace store
