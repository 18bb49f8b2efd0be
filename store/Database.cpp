#include "store/Database.h"

#include "store/FileDatabase.h"
#include "store/ServerDatabase.h"
#include "store/Statement.h"

namespace store {

std::shared_ptr<Database> Database::open(const QString &name, EngineError *error)
{
    if (ServerDatabase::isServerUrl(name))
        return ServerDatabase::open(name, error);
    return FileDatabase::open(name, error);
}

Database::~Database() = default;

TableLookup Database::tableLookup() const
{
    return [this](const QString &name) { return tableDef(name); };
}

std::shared_ptr<Recordset> Database::OpenRecordset(const QString &source, Recordset::Type type, EngineError *error)
{
    return Recordset::open(shared_from_this(), source, type, error);
}

bool Database::count(const QString &statement, qint64 *result, EngineError *error)
{
    TranslatedStatement translated;
    if (!translate(statement, &translated, error))
        return false;
    if (translated.kind != TranslatedStatement::Kind::Select)
        return fail(error, Err::InvalidOperation, QStringLiteral("Only a select statement can be counted."));
    return countTranslated(translated, result, error);
}

bool Database::Execute(const QString &statement, EngineError *error, int *rowsAffected, const QString &keepAs)
{
    TranslatedStatement translated;
    if (!translate(statement, &translated, error))
        return false;
    if (translated.kind != TranslatedStatement::Kind::Delete)
        return fail(error, Err::InvalidOperation,
                    QStringLiteral("Cannot execute a select query: use a record set for '%1'.").arg(statement));
    return deleteTranslated(translated, error, rowsAffected, keepAs);
}

namespace {
// Kept translations: a filter's few statements, not every statement of a
// long day.
constexpr int kKeptTranslations = 48;
} // namespace

bool Database::translate(const QString &statement, TranslatedStatement *out, EngineError *error)
{
    auto kept = m_translations.constFind(statement);
    if (kept != m_translations.constEnd()) {
        *out = *kept;
        return true;
    }
    if (!translateFresh(statement, out, error))
        return false;
    if (m_translations.size() >= kKeptTranslations)
        m_translations.clear();
    m_translations.insert(statement, *out);
    return true;
}

const QString &Database::rowReadSql(const TableDef &table) const
{
    auto kept = m_rowReads.constFind(table.name);
    if (kept == m_rowReads.constEnd())
        kept = m_rowReads.insert(table.name, makeRowReadSql(table));
    return *kept;
}

bool Database::readTableIds(const TableDef &, int, QVector<qint64> *, EngineError *error)
{
    return fail(error, Err::InvalidOperation, QStringLiteral("This database reads its tables in chunks."));
}

bool Database::readRows(const TableDef &table, const QVector<qint64> &ids, QList<QVariantList> *rows,
                        EngineError *error)
{
    rows->clear();
    rows->reserve(ids.size());
    QVariantList row;
    for (qint64 id : ids) {
        if (!readRow(table, id, &row, nullptr, error))
            return false;
        rows->append(row);
    }
    return true;
}

std::shared_ptr<Statement> Database::prepared(const QString &sql) const
{
    return std::make_shared<Statement>(handle(), sql);
}

bool Database::run(const QString &sql, EngineError *error)
{
    const Statement st(handle(), sql);
    if (error)
        *error = st.error();
    return false;
}

QString Database::rangeCountSql(const TableDef &table, int field, int ranges,
                                const std::function<QString(int)> &placeholder)
{
    // One aggregate a range over the rows within all of them: no grouping,
    // so the read needs no sort, and a value between two ranges (a text
    // the file holds that is not a date) is counted in neither.
    const QString column = quoteIdentifier(table.fields.at(field).name);
    QStringList counts;
    for (int r = 0; r < ranges; ++r)
        counts << QStringLiteral("count(CASE WHEN %1 >= %2 AND %1 <= %3 THEN 1 END)")
                      .arg(column, placeholder(2 * r + 1), placeholder(2 * r + 2));
    return QStringLiteral("SELECT %1 FROM %2 WHERE %3 >= %4 AND %3 <= %5")
        .arg(counts.join(QStringLiteral(", ")), quoteIdentifier(table.name), column, placeholder(2 * ranges + 1),
             placeholder(2 * ranges + 2));
}

QString Database::numberCountSql(const TableDef &table, int field, const std::function<QString(int)> &placeholder,
                                 const QString &whole)
{
    // The different numbers come in the index's order, so they are told
    // apart as they pass: count(DISTINCT) would sort them all again.
    const QString column = quoteIdentifier(table.fields.at(field).name);
    return QStringLiteral(
               "SELECT count(*), max(n) FROM (SELECT DISTINCT %1 AS n FROM %2 WHERE %1 >= %3 AND %1 <= %4%5) "
               "AS held")
        .arg(column, quoteIdentifier(table.name), placeholder(1), placeholder(2),
             whole.isEmpty() ? QString() : QStringLiteral(" AND ") + whole.arg(column));
}

} // namespace store
