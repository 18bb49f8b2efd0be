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

} // namespace store
