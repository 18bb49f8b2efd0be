#include "csv/CsvExport.h"

#include "csv/SafeOutputFile.h"
#include "store/Database.h"
#include "store/OutputPaths.h"
#include "store/Recordset.h"
#include "store/ServerDatabase.h"
#include "store/Statement.h"

#include <QDate>
#include <sqlite3.h>

namespace csv {

namespace {

constexpr qsizetype kFlushAt = 1 << 20;
constexpr qint64 kProgressEvery = 4096;

// Why the export may not go to `csvPath`: one of the program's files, or the
// database exported from, before that database is even opened.
QString refusedExport(const QString &csvPath, const QString &database)
{
    return store::refusedOutput(csvPath, store::OutputKind::NewFile,
                                store::ServerDatabase::isServerUrl(database) ? QStringList() : QStringList{database});
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

void appendText(QByteArray &out, const char *text, int size)
{
    const QByteArrayView view(text, size);
    if (needsFormulaGuard(view)) {
        appendCsvValue(out,
                       QByteArray("'") + (view.isValidUtf8() ? view.toByteArray() : QString::fromUtf8(view).toUtf8()));
        return;
    }
    if (view.isValidUtf8()) {
        appendCsvValue(out, text, size);
        return;
    }
    // Bytes that are not UTF-8 (written by some other program) go out as
    // replacement characters rather than as a file no reader accepts.
    appendCsvValue(out, QString::fromUtf8(view).toUtf8());
}

void appendField(QByteArray &out, sqlite3_stmt *st, int column, store::FieldKind kind)
{
    const int type = sqlite3_column_type(st, column);
    if (type == SQLITE_NULL)
        return;
    using store::FieldKind;
    if (kind == FieldKind::YesNo && (type == SQLITE_INTEGER || type == SQLITE_FLOAT)) {
        out.append(sqlite3_column_int64(st, column) != 0 ? "Yes" : "No");
        return;
    }
    const char *text = reinterpret_cast<const char *>(sqlite3_column_text(st, column));
    const int size = sqlite3_column_bytes(st, column);
    if (!text)
        return;
    if (kind == FieldKind::Date && size >= 10 && isDigit(text[0]) && isDigit(text[1]) && isDigit(text[2])
        && isDigit(text[3]) && text[4] == '-' && isDigit(text[5]) && isDigit(text[6]) && text[7] == '-'
        && isDigit(text[8]) && isDigit(text[9]) && (size == 10 || text[10] == ' ' || text[10] == 'T')) {
        const char date[10] = {text[5], text[6], '/', text[8], text[9], '/', text[0], text[1], text[2], text[3]};
        out.append(date, 10);
        return;
    }
    // A number is never taken for a formula, whatever its sign.
    if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
        out.append(text, size);
        return;
    }
    appendText(out, text, size);
}

void appendValue(QByteArray &out, const QVariant &value, store::FieldKind kind)
{
    if (value.isNull())
        return;
    using store::FieldKind;
    switch (kind) {
    case FieldKind::YesNo: out.append(value.toBool() ? "Yes" : "No"); return;
    case FieldKind::Long: out.append(QByteArray::number(value.toLongLong())); return;
    case FieldKind::Date:
        if (value.toDate().isValid()) {
            out.append(value.toDate().toString(QStringLiteral("MM/dd/yyyy")).toLatin1());
            return;
        }
        break;
    default: break;
    }
    const QByteArray text = value.toString().toUtf8();
    appendText(out, text.constData(), int(text.size()));
}

// The file being written: its header first, rows flushed as they grow,
// progress told now and then.
class CsvOutput
{
public:
    CsvOutput(const QString &csvPath, const store::TableDef &table, qint64 total, const Progress &progress,
              ExportResult *result)
        : m_file(csvPath), m_table(table), m_total(total), m_progress(progress), m_result(result)
    {
    }

    bool open()
    {
        if (!m_file.open(&m_result->error))
            return false;
        m_out.reserve(kFlushAt + 64 * 1024);
        m_out.append("\xEF\xBB\xBF");
        for (int i = 0; i < m_table.fields.size(); ++i) {
            if (i > 0)
                m_out.append(',');
            appendCsvValue(m_out, m_table.fields.at(i).name.toUtf8());
        }
        m_out.append("\r\n");
        return true;
    }
    QByteArray &line() { return m_out; }
    // After each row's fields: false when writing failed or the operator cancelled.
    bool endRow()
    {
        m_out.append("\r\n");
        ++m_done;
        if (m_out.size() >= kFlushAt) {
            if (!m_file.write(m_out, &m_result->error))
                return false;
            m_out.resize(0);
        }
        if (m_progress && m_done % kProgressEvery == 0 && !m_progress(m_done, m_total)) {
            m_result->cancelled = true;
            m_result->error = QStringLiteral("The export was cancelled.");
            return false;
        }
        return true;
    }
    void finish()
    {
        if (!m_file.write(m_out, &m_result->error) || !m_file.commit(&m_result->error))
            return;
        if (m_progress)
            m_progress(m_total, m_total);
        m_result->rows = m_done;
        m_result->succeeded = true;
    }

private:
    SafeOutputFile m_file;
    const store::TableDef &m_table;
    qint64 m_total;
    const Progress &m_progress;
    ExportResult *m_result;
    QByteArray m_out;
    qint64 m_done = 0;
};

} // namespace

ExportResult CustomerExport::throughEngine(store::Database &db, const store::TableDef &table,
                                           const QVector<qint64> *ids, const QString &csvPath, const Progress &progress)
{
    ExportResult result;
    store::EngineError e;
    qint64 total = 0;
    if (ids)
        total = ids->size();
    else if (!db.count(QStringLiteral("Select * From ") + table.name, &total, &e))
        return {.error = e.text};
    CsvOutput output(csvPath, table, total, progress, &result);
    if (!output.open())
        return result;
    auto write = [&](const QVariantList &row) {
        for (int i = 0; i < row.size(); ++i) {
            if (i > 0)
                output.line().append(',');
            appendValue(output.line(), row.at(i), table.fields.at(i).kind);
        }
        return output.endRow();
    };
    bool stopped = false;
    if (ids) {
        // Rows by the batch: one read per row would wait on the server for each.
        constexpr qsizetype kBatch = 256;
        QList<QVariantList> rows;
        for (qsizetype start = 0; start < ids->size() && !stopped; start += kBatch) {
            if (!db.readRows(table, ids->mid(start, kBatch), &rows, &e))
                return {.error = e.text};
            for (const QVariantList &row : std::as_const(rows)) {
                // A row deleted meanwhile is not there to export.
                if (!row.isEmpty() && !write(row)) {
                    stopped = true;
                    break;
                }
            }
        }
    } else {
        QList<int> every;
        for (int i = 0; i < table.fields.size(); ++i)
            every << i;
        if (!db.scanRows(
                table, every,
                [&](qint64, const QVariantList &row) {
                    stopped = !write(row);
                    return !stopped;
                },
                &e))
            return {.error = e.text};
    }
    if (!stopped)
        output.finish();
    return result;
}

ExportResult CustomerExport::rows(sqlite3 *db, const store::TableDef &table, const QVector<qint64> *ids,
                                  const QString &csvPath, const Progress &progress)
{
    ExportResult result;
    QStringList columns;
    for (const store::FieldDef &f : table.fields)
        columns << store::quoteIdentifier(f.name);
    const QString select =
        QStringLiteral("SELECT %1 FROM %2").arg(columns.join(QStringLiteral(", ")), store::quoteIdentifier(table.name));

    qint64 total = 0;
    if (ids) {
        total = ids->size();
    } else {
        store::Statement count(db, QStringLiteral("SELECT count(*) FROM %1").arg(store::quoteIdentifier(table.name)));
        if (!count.step()) {
            result.error = count.error().text;
            return result;
        }
        total = count.int64(0);
    }
    store::Statement st(db,
                        ids ? select + QStringLiteral(" WHERE rowid = ?") : select + QStringLiteral(" ORDER BY rowid"));
    if (!st.isValid()) {
        result.error = st.error().text;
        return result;
    }

    CsvOutput output(csvPath, table, total, progress, &result);
    if (!output.open())
        return result;
    QByteArray &out = output.line();

    QVector<store::FieldKind> kinds;
    for (const store::FieldDef &f : table.fields)
        kinds << f.kind;
    const int fieldCount = int(kinds.size());
    sqlite3_stmt *handle = st.handle();
    qint64 next = 0;
    for (;;) {
        if (ids) {
            if (next >= ids->size())
                break;
            sqlite3_reset(handle);
            sqlite3_bind_int64(handle, 1, ids->at(next++));
        }
        const int rc = sqlite3_step(handle);
        if (rc == SQLITE_DONE) {
            if (ids)
                continue; // a row deleted meanwhile is not there to export
            break;
        }
        if (rc != SQLITE_ROW) {
            result.error = store::engineErrorFor(db, rc).text;
            return result;
        }
        for (int i = 0; i < fieldCount; ++i) {
            if (i > 0)
                out.append(',');
            appendField(out, handle, i, kinds.at(i));
        }
        if (!output.endRow())
            return result;
    }
    output.finish();
    return result;
}

ExportResult CustomerExport::allCustomers(const QString &databasePath, const QString &csvPath, const Progress &progress)
{
    ExportResult result;
    result.error = refusedExport(csvPath, databasePath);
    if (!result.error.isEmpty())
        return result;
    store::EngineError e;
    const std::shared_ptr<store::Database> db = store::Database::open(databasePath, &e);
    if (!db) {
        result.error = e.text;
        return result;
    }
    const store::TableDef *table = db->tableDef(QStringLiteral("Information"));
    if (!table) {
        result.error = QStringLiteral("The database '%1' holds no table Information.").arg(databasePath);
        return result;
    }
    if (!db->handle())
        return throughEngine(*db, *table, nullptr, csvPath, progress);
    return rows(db->handle(), *table, nullptr, csvPath, progress);
}

ExportResult CustomerExport::recordset(const store::Recordset &set, const QString &csvPath, const Progress &progress)
{
    ExportResult result;
    const auto db = set.database();
    if (!db || !set.isOpen()) {
        result.error = QStringLiteral("The customers' record set is not open.");
        return result;
    }
    result.error = refusedExport(csvPath, db->name());
    if (!result.error.isEmpty())
        return result;
    QVector<qint64> ids;
    ids.reserve(set.RecordCount());
    for (int i = 0; i < set.RecordCount(); ++i)
        ids.append(set.idAt(i));
    if (!db->handle())
        return throughEngine(*db, set.table(), &ids, csvPath, progress);
    return rows(db->handle(), set.table(), &ids, csvPath, progress);
}

} // namespace csv
