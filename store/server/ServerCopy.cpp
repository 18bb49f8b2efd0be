#include "store/server/ServerCopy.h"

#include "store/RawDatabase.h"
#include "store/SafeFiles.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/server/ServerConnection.h"
#include "store/server/ServerSchema.h"
#include "store/sql/Dates.h"
#include "store/sql/PostgresEmitter.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <sqlite3.h>

namespace store::ServerCopy {

namespace {
// Lines go to the server in batches of about this many bytes: a message of
// hundreds of kilobytes cost the local socket's send a third of the whole
// copy, small ones keep the server parsing while the next is made.
constexpr qsizetype kBatchBytes = 16 * 1024;

// COPY's text format, escaped exactly as the server writes it, so that the
// lines sent and the lines read back compare byte for byte.
void appendEscaped(QByteArray &line, const char *utf8, qsizetype length)
{
    // Runs without a character to escape (nearly every value) go in whole.
    qsizetype run = 0;
    for (qsizetype i = 0; i < length; ++i) {
        char escaped = 0;
        switch (utf8[i]) {
        case '\\': escaped = '\\'; break;
        case '\b': escaped = 'b'; break;
        case '\f': escaped = 'f'; break;
        case '\n': escaped = 'n'; break;
        case '\r': escaped = 'r'; break;
        case '\t': escaped = 't'; break;
        case '\v': escaped = 'v'; break;
        default: continue;
        }
        line.append(utf8 + run, i - run);
        line += '\\';
        line += escaped;
        run = i + 1;
    }
    line.append(utf8 + run, length - run);
}

void appendNumber(QByteArray &line, qint64 n)
{
    char text[24];
    const auto end = std::to_chars(text, text + sizeof text, n).ptr;
    line.append(text, end - text);
}

QByteArray unescaped(QByteArrayView field)
{
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c == '\\' && i + 1 < field.size()) {
            switch (field[++i]) {
            case 'b': c = '\b'; break;
            case 'f': c = '\f'; break;
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            case 't': c = '\t'; break;
            case 'v': c = '\v'; break;
            default: c = field[i]; break;
            }
        }
        out += c;
    }
    return out;
}

QString serverColumns(const TableDef &t)
{
    QStringList columns{quoteIdentifier(postgres::rowIdColumn())};
    for (const FieldDef &f : t.fields)
        columns << quoteIdentifier(f.name);
    return columns.join(QStringLiteral(", "));
}

QString fileSelect(const TableDef &t)
{
    QStringList columns{QStringLiteral("rowid")};
    for (const FieldDef &f : t.fields)
        columns << quoteIdentifier(f.name);
    return QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid")
        .arg(columns.join(QStringLiteral(", ")), quoteIdentifier(t.name));
}

QString serverCopyOut(const TableDef &t)
{
    return QStringLiteral("COPY (SELECT %1 FROM %2 ORDER BY %3) TO STDOUT")
        .arg(serverColumns(t), quoteIdentifier(t.name), quoteIdentifier(postgres::rowIdColumn()));
}

void appendIsoDate(QByteArray &line, QDate date)
{
    char text[10];
    if (dates::storedDateText(date, text))
        line.append(text, 10);
    else
        line += date.toString(Qt::ISODate).toLatin1();
}

// The file's current row as a line of COPY's text format. A value the
// server would not hold as it is (no date in a date field, a NUL inside a
// text) stops the copy with a text naming it.
bool fileLine(sqlite3_stmt *st, const TableDef &t, QByteArray *line, EngineError *error)
{
    const qint64 rowid = sqlite3_column_int64(st, 0);
    line->resize(0); // keeps its room for the next row
    appendNumber(*line, rowid);
    for (int i = 0; i < t.fields.size(); ++i) {
        const FieldDef &f = t.fields.at(i);
        const int column = i + 1;
        *line += '\t';
        if (sqlite3_column_type(st, column) == SQLITE_NULL) {
            *line += "\\N";
            continue;
        }
        const auto *text = reinterpret_cast<const char *>(sqlite3_column_text(st, column));
        const int length = sqlite3_column_bytes(st, column);
        auto refuse = [&](const QString &what) {
            return fail(error, Err::TypeConversion,
                        QStringLiteral("Row %1 of %2: the field %3 %4; nothing was copied.")
                            .arg(rowid)
                            .arg(t.name, f.name, what));
        };
        switch (f.kind) {
        case FieldKind::YesNo: *line += sqlite3_column_double(st, column) != 0 ? 't' : 'f'; break;
        case FieldKind::Long:
            if (sqlite3_column_type(st, column) == SQLITE_INTEGER)
                appendNumber(*line, sqlite3_column_int64(st, column));
            else
                appendEscaped(*line, text, length);
            break;
        case FieldKind::Date: {
            const auto date = dates::parseStoredDate(text, length);
            if (!date)
                return refuse(QStringLiteral("holds '%1', which is no date").arg(QString::fromUtf8(text, length)));
            appendIsoDate(*line, *date);
            break;
        }
        case FieldKind::Text:
        case FieldKind::Memo:
            if (std::memchr(text, 0, size_t(length)))
                return refuse(QStringLiteral("holds a NUL character, which a server's text cannot"));
            appendEscaped(*line, text, length);
            break;
        }
    }
    *line += '\n';
    return true;
}

// What a table's rows came to: how many, and the digest of their lines.
struct Tally {
    qint64 rows = 0;
    // BLAKE2b: as sure as SHA-256 to tell two copies apart, and several
    // times faster over the gigabyte a large center's two sides come to.
    QCryptographicHash hash{QCryptographicHash::Blake2b_256};

    void add(QByteArrayView line)
    {
        ++rows;
        hash.addData(line);
    }
};

// Tallies the file's rows as COPY lines; each line is also handed to `sink`.
bool tallyFile(sqlite3 *db, const TableDef &t, Tally *tally, EngineError *error,
               const std::function<void(const QByteArray &)> &sink = {})
{
    Statement st(db, fileSelect(t));
    if (!st.isValid())
        return fail(error, st.error().number, st.error().text);
    QByteArray line;
    while (st.step()) {
        if (!fileLine(st.handle(), t, &line, error))
            return false;
        tally->add(line);
        if (sink)
            sink(line);
    }
    return !st.error().isError() || fail(error, st.error().number, st.error().text);
}

bool differ(const TableDef &t, const Tally &sent, Tally &received, EngineError *error)
{
    if (received.rows != sent.rows)
        return fail(error, Err::Corrupt,
                    QStringLiteral("The copy of %1 holds %2 rows where %3 were sent; nothing was copied.")
                        .arg(t.name)
                        .arg(received.rows)
                        .arg(sent.rows));
    return fail(error, Err::Corrupt,
                QStringLiteral("The copy of %1 differs from what was sent; nothing was copied.").arg(t.name));
}

bool agree(const TableDef &t, Tally &sent, Tally &received, EngineError *error)
{
    return (received.rows == sent.rows && received.hash.result() == sent.hash.result())
        || differ(t, sent, received, error);
}

bool hasOurTables(sqlite3 *db, const QString &path, EngineError *error)
{
    for (const TableDef *t : {&Schema::information(), &Schema::centerInformation()}) {
        Statement st(db,
                     QStringLiteral("SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1 "
                                    "COLLATE NOCASE"));
        st.bind(1, t->name);
        if (!st.step())
            return fail(error, Err::ItemNotFound, Schema::notOurDatabaseText(path, t->name));
    }
    return true;
}

QString count(qint64 n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n);
}

// The server side before a copy in: the schema made in an empty database
// (its indexes are made after the rows are in: `indexesToMake`), or found
// without customers.
bool prepareTarget(ServerConnection &server, QStringList *indexesToMake, EngineError *error)
{
    ServerResult result;
    if (!server.exec(QStringLiteral("SELECT to_regclass('public.\"Information\"')"), {}, &result, error))
        return false;
    if (result.isNull(0, 0)) {
        if (!ServerSchema::checkCreatable(server, error))
            return false;
        for (const QString &sql : ServerSchema::tableStatements()) {
            if (!server.exec(sql, {}, nullptr, error))
                return false;
        }
        *indexesToMake = ServerSchema::indexStatements();
    } else {
        if (!server.exec(QStringLiteral("SELECT count(*) FROM \"Information\""), {}, &result, error))
            return false;
        const qint64 customers = result.value(0, 0).toLongLong();
        if (customers > 0)
            return fail(error, Err::FileExists,
                        QStringLiteral("The database %1 already holds %2 customers: a file is only copied into a "
                                       "database without customers.")
                            .arg(server.where(), count(customers)));
    }
    return server.exec(QStringLiteral("DELETE FROM \"CenterInformation\""), {}, nullptr, error);
}

// `version`, when not empty, is the row version every copied row gets.
bool copyTableIn(sqlite3 *db, const TableDef &t, ServerConnection &server, const QByteArray &version, qint64 *rows,
                 EngineError *error)
{
    Statement st(db, fileSelect(t));
    if (!st.isValid())
        return fail(error, st.error().number, st.error().text);
    Tally sent;
    bool more = true;
    QString columns = serverColumns(t);
    if (!version.isEmpty())
        columns += QStringLiteral(", ") + quoteIdentifier(postgres::rowVersionColumn());
    const QString copy = QStringLiteral("COPY %1 (%2) FROM STDIN").arg(quoteIdentifier(t.name), columns);
    QByteArray line;
    auto next = [&](QByteArray *data, EngineError *stop) {
        while (more && data->size() < kBatchBytes) {
            more = st.step();
            if (!more) {
                if (st.error().isError())
                    return fail(stop, st.error().number, st.error().text);
                break;
            }
            if (!fileLine(st.handle(), t, &line, stop))
                return false;
            sent.add(line);
            if (version.isEmpty()) {
                *data += line;
            } else {
                data->append(line.constData(), line.size() - 1);
                *data += '\t' + version + '\n';
            }
        }
        return !data->isEmpty();
    };
    if (!server.copyIn(copy, next, error))
        return false;
    Tally received;
    if (!server.copyOut(
            serverCopyOut(t),
            [&](QByteArrayView line, EngineError *) {
                received.add(line);
                return true;
            },
            error))
        return false;
    *rows = sent.rows;
    return agree(t, sent, received, error);
}

bool copyTableOut(ServerConnection &server, const TableDef &t, sqlite3 *db, qint64 *rows, EngineError *error)
{
    QStringList placeholders;
    for (int i = 0; i <= t.fields.size(); ++i)
        placeholders << QStringLiteral("?%1").arg(i + 1);
    QStringList names{QStringLiteral("rowid")};
    for (const FieldDef &f : t.fields)
        names << quoteIdentifier(f.name);
    Statement insert(
        db,
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(quoteIdentifier(t.name), names.join(QStringLiteral(", ")), placeholders.join(QStringLiteral(", "))));
    if (!insert.isValid())
        return fail(error, insert.error().number, insert.error().text);
    Tally received;
    auto keep = [&](QByteArrayView line, EngineError *stop) {
        received.add(line);
        QList<QByteArrayView> fields;
        const QByteArrayView content = line.chopped(1);
        for (qsizetype start = 0;;) {
            const qsizetype tab = content.indexOf('\t', start);
            fields << content.sliced(start, (tab < 0 ? content.size() : tab) - start);
            if (tab < 0)
                break;
            start = tab + 1;
        }
        if (fields.size() != t.fields.size() + 1)
            return fail(stop, Err::Corrupt,
                        QStringLiteral("The server sent a row of %1 that does not fit.").arg(t.name));
        insert.reset();
        insert.bind(1, fields.at(0).toLongLong());
        for (int i = 0; i < t.fields.size(); ++i) {
            const QByteArrayView v = fields.at(i + 1);
            QVariant value;
            if (v != "\\N") {
                switch (t.fields.at(i).kind) {
                case FieldKind::YesNo: value = qint64(v == "t" ? 1 : 0); break;
                case FieldKind::Long: value = v.toLongLong(); break;
                default: value = QString::fromUtf8(unescaped(v)); break;
                }
            }
            insert.bind(i + 2, value);
        }
        if (insert.step() || insert.error().isError())
            return fail(stop, insert.error().number, insert.error().text);
        return true;
    };
    if (!server.copyOut(serverCopyOut(t), keep, error))
        return false;
    Tally written;
    if (!tallyFile(db, t, &written, error))
        return false;
    *rows = received.rows;
    return agree(t, received, written, error);
}

// New rows on the server are numbered after the copied ones, and never
// under a number the server gave before: a desk may still hold a row of
// that number that is gone.
bool numberAfterCopied(ServerConnection &server, EngineError *error)
{
    for (const TableDef *t : {&Schema::information(), &Schema::centerInformation()}) {
        const QString table = quoteIdentifier(t->name);
        const QString sequence =
            QStringLiteral("pg_get_serial_sequence('public.%1', '%2')").arg(table, postgres::rowIdColumn());
        if (!server.exec(QStringLiteral("SELECT setval(%1, greatest(coalesce(max(%2), 0) + 1, nextval(%1)), false) "
                                        "FROM %3")
                             .arg(sequence, quoteIdentifier(postgres::rowIdColumn()), table),
                         {}, nullptr, error))
            return false;
    }
    return true;
}

// The server before its rows are replaced: other desks' writes wait for the
// replace (their reads go on), and every row goes. The rows that come get a
// version no desk can hold for their number: above every version on the
// server, and at least this transaction's number, which a row's version
// (raised by one per saving transaction) never passes.
bool clearForReplace(ServerConnection &server, QByteArray *version, EngineError *error,
                     const std::function<bool(EngineError *)> &whileLocked)
{
    const QString customers = quoteIdentifier(Schema::information().name);
    const QString center = quoteIdentifier(Schema::centerInformation().name);
    const QString column = quoteIdentifier(postgres::rowVersionColumn());
    ServerResult result;
    // A desk whose save hangs does not hold the replace for ever.
    if (!server.exec(QStringLiteral("SET LOCAL lock_timeout = '30s'"), {}, nullptr, error)
        || !server.exec(QStringLiteral("LOCK TABLE %1, %2 IN EXCLUSIVE MODE").arg(customers, center), {}, nullptr,
                        error)
        || (whileLocked && !whileLocked(error))
        || !server.exec(QStringLiteral("SELECT greatest((SELECT max(%1) FROM %2) + 1, (SELECT max(%1) FROM %3) + 1, "
                                       "pg_current_xact_id()::text::bigint)")
                            .arg(column, customers, center),
                        {}, &result, error))
        return false;
    *version = QByteArray::number(result.value(0, 0).toLongLong());
    return server.exec(QStringLiteral("DELETE FROM %1").arg(customers), {}, nullptr, error)
        && server.exec(QStringLiteral("DELETE FROM %1").arg(center), {}, nullptr, error);
}

enum class Target { Empty, Replaced };

bool copyFileIn(const QString &databasePath, ServerConnection &server, Target target, Summary *summary,
                EngineError *error, const std::function<bool(EngineError *)> &whileLocked = {})
{
    RawDatabase file;
    if (!file.open(databasePath, RawDatabase::ReadOnly, error) || !hasOurTables(file.handle(), databasePath, error))
        return false;
    // One read transaction: the copy is of one moment of the file.
    if (!file.exec(QStringLiteral("BEGIN"), error) || !server.exec(QStringLiteral("BEGIN"), {}, nullptr, error))
        return false;
    Summary done;
    QByteArray version;
    QStringList indexes;
    const bool copied = (target == Target::Empty ? prepareTarget(server, &indexes, error)
                                                 : clearForReplace(server, &version, error, whileLocked))
        && copyTableIn(file.handle(), Schema::information(), server, version, &done.customers, error)
        && copyTableIn(file.handle(), Schema::centerInformation(), server, version, &done.centerRows, error)
        && std::all_of(indexes.cbegin(), indexes.cend(),
                       [&](const QString &sql) { return server.exec(sql, {}, nullptr, error); })
        && numberAfterCopied(server, error);
    if (!copied || !server.exec(QStringLiteral("COMMIT"), {}, nullptr, error)) {
        server.exec(QStringLiteral("ROLLBACK"));
        file.exec(QStringLiteral("ROLLBACK"), nullptr);
        return false;
    }
    file.exec(QStringLiteral("ROLLBACK"), nullptr);
    if (summary)
        *summary = done;
    return true;
}

} // namespace

bool toServer(const QString &databasePath, ServerConnection &server, Summary *summary, EngineError *error)
{
    return copyFileIn(databasePath, server, Target::Empty, summary, error);
}

bool replaceOnServer(const QString &databasePath, ServerConnection &server, Summary *summary, EngineError *error,
                     const std::function<bool(EngineError *)> &whileLocked)
{
    return copyFileIn(databasePath, server, Target::Replaced, summary, error, whileLocked);
}

bool fromServer(ServerConnection &server, const QString &databasePath, Summary *summary, EngineError *error)
{
    if (QFileInfo::exists(databasePath))
        return fail(error, Err::FileExists,
                    QStringLiteral("The file '%1' exists already: the server's data is only written into a new file.")
                        .arg(databasePath));
    const QString partial = partialNameFor(databasePath);
    QFile::remove(partial);
    if (!Schema::createDeliveredDatabase(partial, error))
        return false;
    Summary done;
    bool copied = false;
    {
        RawDatabase file;
        copied = file.open(partial, RawDatabase::ReadWrite, error)
            && file.exec(QStringLiteral("BEGIN; DELETE FROM \"CenterInformation\""), error)
            // One snapshot of the server: the copy is of one moment.
            && server.exec(QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY"), {}, nullptr, error)
            && copyTableOut(server, Schema::information(), file.handle(), &done.customers, error)
            && copyTableOut(server, Schema::centerInformation(), file.handle(), &done.centerRows, error)
            && server.exec(QStringLiteral("COMMIT"), {}, nullptr, error) && file.exec(QStringLiteral("COMMIT"), error)
            && file.close(error);
        if (!copied)
            server.exec(QStringLiteral("ROLLBACK"));
    }
    copied = copied && syncFile(partial, error) && renameNoReplace(partial, databasePath, error)
        && syncFolder(QFileInfo(databasePath).absolutePath(), error);
    if (!copied) {
        QFile::remove(partial);
        return false;
    }
    if (summary)
        *summary = done;
    return true;
}

QString copiedToText(const Summary &summary, const ServerConnection &server)
{
    return QStringLiteral("Copied %1 customers and the center's settings into the database %2; every field was "
                          "compared after the copy.")
        .arg(count(summary.customers), server.where());
}

QString copiedFromText(const Summary &summary, const QString &databasePath)
{
    return QStringLiteral("Copied %1 customers and the center's settings into '%2'; every field was compared after "
                          "the copy.")
        .arg(count(summary.customers), databasePath);
}

} // namespace store::ServerCopy
