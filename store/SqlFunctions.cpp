#include "store/SqlFunctions.h"

#include <QString>
#include <sqlite3.h>

namespace store {

namespace {
// vt_fold(text): the text case-folded for every letter, so that comparisons
// of folded texts ignore case the way the operator expects ("müller" = "MÜLLER").
void foldFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const QByteArray folded = QString::fromUtf8(text, sqlite3_value_bytes(argv[0])).toCaseFolded().toUtf8();
    sqlite3_result_text(context, folded.constData(), int(folded.size()), SQLITE_TRANSIENT);
}
} // namespace

bool registerVantrelFunctions(sqlite3 *db)
{
    return sqlite3_create_function_v2(db, "vt_fold", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr, foldFunction,
                                      nullptr, nullptr, nullptr)
        == SQLITE_OK;
}

} // namespace store
