#include "store/sql/SqlFunctions.h"

#include "store/sql/Dates.h"
#include "store/sql/LikePattern.h"
#include "store/sql/TextCompare.h"

#include <QString>
#include <sqlite3.h>

namespace store {

namespace {
// The functions give the same result for the same arguments and touch
// nothing else, so SQLite may call them as seldom as it likes and may use
// them in any statement.
constexpr int kPureUtf8 = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;

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

int textCollation(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    return text::compareUtf8(static_cast<const char *>(a), lengthA, static_cast<const char *>(b), lengthB);
}

void deletePattern(void *pattern)
{
    delete static_cast<LikePattern *>(pattern);
}

// vt_like(text, pattern). The compiled pattern is kept with the statement
// for as long as the pattern argument stays the same, so it is compiled once
// per run rather than once per row.
void likeFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    auto *pattern = static_cast<LikePattern *>(sqlite3_get_auxdata(context, 1));
    const bool fresh = pattern == nullptr;
    if (fresh) {
        const auto *p = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
        pattern = new LikePattern(QString::fromUtf8(p, sqlite3_value_bytes(argv[1])));
        if (!pattern->isValid()) {
            const QByteArray message = ("invalid LIKE pattern: " + pattern->error()).toUtf8();
            delete pattern;
            sqlite3_result_error(context, message.constData(), int(message.size()));
            return;
        }
    }
    const auto *text = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const bool matched = pattern->matchesUtf8(text, sqlite3_value_bytes(argv[0]));
    sqlite3_result_int(context, matched ? 1 : 0);
    // Handed over last: SQLite may free it at once.
    if (fresh)
        sqlite3_set_auxdata(context, 1, pattern, deletePattern);
}

// vt_datepart(interval, date).
void datePartFunction(sqlite3_context *context, int, sqlite3_value **argv)
{
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto *interval = reinterpret_cast<const char *>(sqlite3_value_text(argv[0]));
    const auto part = dates::datePartFromInterval(QString::fromUtf8(interval, sqlite3_value_bytes(argv[0])));
    const auto *stored = reinterpret_cast<const char *>(sqlite3_value_text(argv[1]));
    const auto date = dates::parseStoredDate(stored, sqlite3_value_bytes(argv[1]));
    if (!part || !date) {
        sqlite3_result_null(context);
        return;
    }
    sqlite3_result_int(context, dates::datePart(*part, *date));
}
} // namespace

bool registerVantrelFunctions(sqlite3 *db)
{
    return sqlite3_create_function_v2(db, "vt_fold", 1, kPureUtf8, nullptr, foldFunction, nullptr, nullptr, nullptr)
        == SQLITE_OK
        && sqlite3_create_collation_v2(db, "vt_text", SQLITE_UTF8, nullptr, textCollation, nullptr) == SQLITE_OK
        && sqlite3_create_function_v2(db, "vt_like", 2, kPureUtf8, nullptr, likeFunction, nullptr, nullptr, nullptr)
        == SQLITE_OK
        && sqlite3_create_function_v2(db, "vt_datepart", 2, kPureUtf8, nullptr, datePartFunction, nullptr, nullptr,
                                      nullptr)
        == SQLITE_OK;
}

} // namespace store
