#include "store/KeptChanges.h"

#include "store/BulkWriteCache.h"
#include "store/RawDatabase.h"
#include "store/SafeFiles.h"
#include "store/Schema.h"
#include "store/Statement.h"
#include "store/sql/AccessSql.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QSettings>
#include <QUuid>
#include <cerrno>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

const char *kindName(ChangeKind kind)
{
    switch (kind) {
    case ChangeKind::DeletedRows: return "deleted rows";
    case ChangeKind::AddedRows: return "added rows";
    case ChangeKind::ReplacedFile: return "replaced file";
    case ChangeKind::ReplacedDamagedFile: return "replaced damaged file";
    }
    return "";
}

ChangeKind kindNamed(const QString &name)
{
    for (ChangeKind kind : {ChangeKind::AddedRows, ChangeKind::ReplacedFile, ChangeKind::ReplacedDamagedFile}) {
        if (name == QLatin1String(kindName(kind)))
            return kind;
    }
    return ChangeKind::DeletedRows;
}

// One value of a statement without parameters of its own; `fallback` when it
// gives no row.
qint64 single(sqlite3 *db, const QString &sql, qint64 fallback = 0, const QVariantList &params = {})
{
    Statement st(db, sql);
    st.bindAll(params);
    return st.step() && st.value(0).isValid() ? st.int64(0) : fallback;
}

// A savepoint inside the caller's transaction, so that a change that kept
// nothing leaves no trace, not even the side tables.
class Savepoint
{
public:
    explicit Savepoint(sqlite3 *db) : m_db(db)
    {
        m_open = execSql(db, QStringLiteral("SAVEPOINT kept_change"), &m_error);
    }
    ~Savepoint()
    {
        if (m_open)
            rollback();
    }
    bool isOpen(EngineError *error) const
    {
        if (!m_open && error)
            *error = m_error;
        return m_open;
    }
    bool release(EngineError *error)
    {
        m_open = false;
        return execSql(m_db, QStringLiteral("RELEASE kept_change"), error);
    }
    void rollback()
    {
        m_open = false;
        execSql(m_db, QStringLiteral("ROLLBACK TO kept_change"), nullptr);
        execSql(m_db, QStringLiteral("RELEASE kept_change"), nullptr);
    }

private:
    sqlite3 *m_db;
    bool m_open = false;
    EngineError m_error;
};

QStringList columnsOf(sqlite3 *db, const QString &table)
{
    QStringList names;
    Statement st(db, QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"));
    st.bind(1, table);
    while (st.step())
        names << st.value(0).toString();
    return names;
}

QString quotedList(const QStringList &names, const QString &prefix = QString())
{
    QStringList quoted;
    for (const QString &n : names)
        quoted << prefix + quoteIdentifier(n);
    return quoted.join(QStringLiteral(", "));
}

// Every field of the table's row the same as its kept copy, byte for byte
// (case included, whatever the column's collation).
QString sameAsKept(const QStringList &columns)
{
    QStringList terms;
    for (const QString &c : columns)
        terms << QStringLiteral("t.%1 IS k.%1 COLLATE BINARY").arg(quoteIdentifier(c));
    return terms.isEmpty() ? QStringLiteral("1") : terms.join(QStringLiteral(" AND "));
}

} // namespace

KeepLimits KeepLimits::fromSettings()
{
    KeepLimits limits;
    const QSettings s(QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"));
    bool ok = false;
    const int days = s.value(QStringLiteral("KeptChanges/Days")).toInt(&ok);
    if (ok && days >= 0)
        limits.days = days;
    const int percent = s.value(QStringLiteral("KeptChanges/PercentOfFile")).toInt(&ok);
    if (ok && percent >= 0)
        limits.percentOfFile = percent;
    return limits;
}

KeptChanges::KeptChanges(sqlite3 *db, KeepLimits limits, const QString &databasePath)
    : m_db(db), m_limits(limits), m_databasePath(databasePath)
{
    if (m_databasePath.isEmpty() && db) {
        const char *name = sqlite3_db_filename(db, "main");
        if (name && *name)
            m_databasePath = QString::fromUtf8(name);
    }
}

QString KeptChanges::changesTable()
{
    return QStringLiteral("VantrelChanges");
}

QString KeptChanges::keptTableFor(const QString &table)
{
    return QStringLiteral("VantrelKept_") + table;
}

QString KeptChanges::describe(const QString &what, qint64 rows, const QDateTime &time)
{
    const QString count = QLocale(QLocale::English, QLocale::UnitedStates).toString(rows);
    return QStringLiteral("%1: %2 %3, %4")
        .arg(what, count, rows == 1 ? QStringLiteral("customer") : QStringLiteral("customers"),
             time.toLocalTime().toString(QStringLiteral("MM/dd/yyyy HH:mm")));
}

QString KeptChanges::describeReplaced(const QString &what, qint64 rows, const QDateTime &time)
{
    return QStringLiteral("%1: replaced a database of %2")
        .arg(what, describe(QString(), rows, time).mid(2)); // without the empty name's ": "
}

QString KeptChanges::describeReplacedDamaged(const QString &what, const QDateTime &time)
{
    return QStringLiteral("%1: replaced a damaged database, %2")
        .arg(what, time.toLocalTime().toString(QStringLiteral("MM/dd/yyyy HH:mm")));
}

bool KeptChanges::hasChangesTable() const
{
    return single(m_db, QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = ?"), 0,
                  {changesTable()})
        > 0;
}

qint64 KeptChanges::usedBytes() const
{
    return (single(m_db, QStringLiteral("PRAGMA page_count")) - single(m_db, QStringLiteral("PRAGMA freelist_count")))
        * single(m_db, QStringLiteral("PRAGMA page_size"));
}

bool KeptChanges::keptColumns(const QString &table, QStringList *columns, EngineError *error) const
{
    // Fields the table and its kept copies both have: a field added to the
    // table since stays empty in a row put back.
    const QStringList kept = columnsOf(m_db, keptTableFor(table));
    if (kept.isEmpty())
        return fail(error, Err::ItemNotFound, QStringLiteral("The kept rows of table '%1' are missing.").arg(table));
    columns->clear();
    for (const QString &c : columnsOf(m_db, table)) {
        if (kept.contains(c, Qt::CaseInsensitive))
            columns->append(c);
    }
    return true;
}

bool KeptChanges::ensureChangesTable(EngineError *error)
{
    return execSql(m_db,
                   QStringLiteral("CREATE TABLE IF NOT EXISTS %1 (Number INTEGER PRIMARY KEY, Time TEXT NOT NULL, "
                                  "Description TEXT NOT NULL, Kind TEXT NOT NULL, TableName TEXT NOT NULL, "
                                  "Rows INTEGER NOT NULL, FirstKept INTEGER NOT NULL, LastKept INTEGER NOT NULL, "
                                  "Bytes INTEGER NOT NULL, KeptFile TEXT)")
                       .arg(changesTable()),
                   error);
}

bool KeptChanges::ensureTables(const QString &table, QStringList *columns, EngineError *error)
{
    *columns = columnsOf(m_db, table);
    if (columns->isEmpty())
        return fail(error, Err::ItemNotFound, QStringLiteral("Table '%1' does not exist.").arg(table));
    if (!ensureChangesTable(error))
        return false;
    const QString kept = keptTableFor(table);
    const QStringList have = columnsOf(m_db, kept);
    if (have.isEmpty()) {
        // Columns without a declared type store every value as it comes.
        return execSql(m_db,
                       QStringLiteral("CREATE TABLE %1 (KeptChange INTEGER NOT NULL, KeptRowId INTEGER NOT NULL, %2)")
                           .arg(quoteIdentifier(kept), quotedList(*columns)),
                       error);
    }
    for (const QString &c : std::as_const(*columns)) {
        if (!have.contains(c, Qt::CaseInsensitive)
            && !execSql(m_db,
                        QStringLiteral("ALTER TABLE %1 ADD COLUMN %2").arg(quoteIdentifier(kept), quoteIdentifier(c)),
                        error))
            return false;
    }
    return true;
}

bool KeptChanges::recordChange(qint64 number, const QDateTime &time, const QString &description, ChangeKind kind,
                               const QString &table, qint64 rows, qint64 firstKept, qint64 lastKept, qint64 bytes,
                               EngineError *error, const QString &keptFile)
{
    return execSql(m_db,
                   QStringLiteral("INSERT INTO %1 (Number, Time, Description, Kind, TableName, Rows, FirstKept, "
                                  "LastKept, Bytes, KeptFile) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")
                       .arg(changesTable()),
                   error,
                   {number, time.toUTC().toString(Qt::ISODate), description, QString::fromLatin1(kindName(kind)), table,
                    rows, firstKept, lastKept, bytes, keptFile.isEmpty() ? QVariant() : QVariant(keptFile)});
}

bool KeptChanges::keepRows(const QString &table, const QString &condition, const QVariantList &params,
                           const QString &what, ChangeKind kind, KeptRange *range, EngineError *error)
{
    *range = KeptRange();
    QStringList columns;
    if (!ensureTables(table, &columns, error))
        return false;
    const QString kept = quoteIdentifier(keptTableFor(table));
    const qint64 number = single(m_db, QStringLiteral("SELECT max(Number) FROM %1").arg(changesTable())) + 1;
    const qint64 first = single(m_db, QStringLiteral("SELECT max(rowid) FROM %1").arg(kept)) + 1;
    const qint64 before = usedBytes();
    // The number is ours, not the operator's: it goes into the text, so that
    // the condition's own numbered parameters stay as they are.
    if (!execSql(m_db,
                 QStringLiteral("INSERT INTO %1 (KeptChange, KeptRowId, %2) SELECT %3, rowid, %2 FROM %4%5")
                     .arg(kept, quotedList(columns))
                     .arg(number)
                     .arg(quoteIdentifier(table), condition),
                 error, params))
        return false;
    range->rows = sqlite3_changes64(m_db);
    if (range->rows == 0)
        return true;
    const qint64 bytes = qMax<qint64>(usedBytes() - before, 0);
    range->first = first;
    range->last = single(m_db, QStringLiteral("SELECT max(rowid) FROM %1").arg(kept));
    const QDateTime now = QDateTime::currentDateTimeUtc();
    return recordChange(number, now, describe(what, range->rows, now), kind, table, range->rows, range->first,
                        range->last, bytes, error);
}

bool KeptChanges::deleteKeeping(const TranslatedStatement &deletion, const QString &what, qint64 *deleted,
                                EngineError *error)
{
    *deleted = 0;
    const QString prefix = QStringLiteral("DELETE FROM ") + quoteIdentifier(deletion.table);
    if (!deletion.sql.startsWith(prefix))
        return fail(error, Err::InvalidOperation, QStringLiteral("Only a delete statement can be kept."));
    Savepoint savepoint(m_db);
    KeptRange range;
    if (!savepoint.isOpen(error)
        || !keepRows(deletion.table, deletion.sql.mid(prefix.size()), deletion.params, what, ChangeKind::DeletedRows,
                     &range, error))
        return false;
    if (range.rows == 0) {
        savepoint.rollback();
        return true;
    }
    // Something is kept: the savepoint has done its work. Left open, it would
    // copy every page the delete changes a second time; should the delete
    // fail, the caller's transaction takes the kept rows back with it.
    if (!savepoint.release(error))
        return false;
    // Exactly the rows kept go, whatever the condition would say now.
    if (!execSql(m_db,
                 QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT KeptRowId FROM %2 WHERE rowid BETWEEN ? AND ?)")
                     .arg(quoteIdentifier(deletion.table), quoteIdentifier(keptTableFor(deletion.table))),
                 error, {range.first, range.last}))
        return false;
    *deleted = sqlite3_changes64(m_db);
    return true;
}

bool KeptChanges::beginAdding(const QString &table, EngineError *error)
{
    if (columnsOf(m_db, table).isEmpty())
        return fail(error, Err::ItemNotFound, QStringLiteral("Table '%1' does not exist.").arg(table));
    m_addingTable = table;
    m_addingAfter = single(m_db, QStringLiteral("SELECT max(rowid) FROM %1").arg(quoteIdentifier(table)));
    return true;
}

bool KeptChanges::keepAdded(const QString &what, qint64 *keptRows, EngineError *error)
{
    *keptRows = 0;
    if (m_addingTable.isEmpty())
        return fail(error, Err::InvalidOperation, QStringLiteral("Adding rows was not begun."));
    Savepoint savepoint(m_db);
    KeptRange range;
    // New rows take ids above every row there was.
    if (!savepoint.isOpen(error)
        || !keepRows(m_addingTable, QStringLiteral(" WHERE rowid > %1").arg(m_addingAfter), {}, what,
                     ChangeKind::AddedRows, &range, error))
        return false;
    if (range.rows == 0) {
        savepoint.rollback();
        return true;
    }
    *keptRows = range.rows;
    return savepoint.release(error);
}

QString KeptChanges::keptFolderFor(const QString &databasePath)
{
    // The database's name changes case when it is compacted ("Vantrel.mdb"
    // becomes "VANTREL.MDB"); its kept files stay in one folder.
    const QFileInfo database(databasePath);
    return QDir(database.absolutePath()).filePath(database.fileName().toUpper() + QStringLiteral(".kept"));
}

bool KeptChanges::prepareKeptFolder(const QString &databasePath, QString *folder, EngineError *error)
{
    *folder = keptFolderFor(databasePath);
    const QByteArray name = QFile::encodeName(*folder);
    struct stat info {
    };
    // It holds whole databases: social security numbers.
    if (::lstat(name.constData(), &info) != 0) {
        if (errno != ENOENT || (::mkdir(name.constData(), 0700) != 0 && errno != EEXIST)
            || ::lstat(name.constData(), &info) != 0)
            return fail(error, Err::CannotOpen,
                        QStringLiteral("Could not make the folder '%1': %2.").arg(*folder, systemErrorText(errno)));
    }
    if (S_ISLNK(info.st_mode))
        return fail(error, Err::CannotOpen,
                    QStringLiteral("The folder '%1' is a link; databases are kept only in a folder of their own.")
                        .arg(*folder));
    if (!S_ISDIR(info.st_mode))
        return fail(error, Err::CannotOpen, QStringLiteral("'%1' is not a folder.").arg(*folder));
    if (info.st_uid != ::geteuid())
        return fail(error, Err::CannotOpen, QStringLiteral("The folder '%1' belongs to another account.").arg(*folder));
    struct stat database {
    };
    if (::stat(QFile::encodeName(QFileInfo(databasePath).absolutePath()).constData(), &database) != 0
        || database.st_dev != info.st_dev)
        return fail(error, Err::CannotOpen,
                    QStringLiteral("The folder '%1' is on another disk than the database.").arg(*folder));
    if (::access(name.constData(), W_OK | X_OK) != 0)
        return fail(error, Err::CannotOpen, QStringLiteral("The folder '%1' cannot be written.").arg(*folder));
    if ((info.st_mode & 07777) != 0700 && ::chmod(name.constData(), 0700) != 0)
        return fail(error, Err::CannotOpen,
                    QStringLiteral("Could not keep the folder '%1' for its owner only: %2.")
                        .arg(*folder, systemErrorText(errno)));
    return true;
}

bool KeptChanges::isOwnKeptFile(const QString &keptFile, const QString &databasePath, QString *why)
{
    const QString folder = keptFolderFor(databasePath);
    auto refuse = [&](const QString &text) {
        if (why)
            *why = text;
        return false;
    };
    static const QRegularExpression keptName(QStringLiteral(
        "^replaced-[0-9]{8}-[0-9]{6}-[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}\\.mdb$"));
    const QFileInfo file(keptFile);
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    const bool inside = QDir::isAbsolutePath(keptFile) && keptName.match(file.fileName()).hasMatch()
        && !canonicalFolder.isEmpty() && QFileInfo(file.absolutePath()).canonicalFilePath() == canonicalFolder;
    // A link there would lead elsewhere; a missing file is nobody's.
    struct stat info {
    };
    if (!inside || (::lstat(QFile::encodeName(keptFile).constData(), &info) == 0 && !S_ISREG(info.st_mode)))
        return refuse(QStringLiteral("The file '%1' that it names is not one this program kept: only a file named "
                                     "as the program names them, inside the folder '%2', can be put back. It has "
                                     "been left as it is.")
                          .arg(keptFile, folder));
    // A link in the folder's place, or another account's folder, is no kept folder.
    if (::lstat(QFile::encodeName(folder).constData(), &info) != 0 || !S_ISDIR(info.st_mode)
        || info.st_uid != ::geteuid())
        return refuse(QStringLiteral("The folder '%1' that holds the file '%2' is not a folder of this account's "
                                     "own. The file has been left as it is.")
                          .arg(folder, keptFile));
    return true;
}

bool KeptChanges::recordReplacement(const QString &databasePath, const QString &copy, const QString &what,
                                    QString *keptPath, EngineError *error, ChangeKind kind, CopyFiles copyFiles)
{
    QString folder;
    if (!prepareKeptFolder(databasePath, &folder, error))
        return false;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const bool damaged = kind == ChangeKind::ReplacedDamagedFile;
    qint64 customers = 0;
    if (!damaged) {
        RawDatabase old;
        EngineError ignored;
        if (old.open(databasePath, RawDatabase::ReadOnly, &ignored))
            customers = single(old.handle(), QStringLiteral("SELECT count(*) FROM Information"));
    }
    // Never a name used before: a database put back and replaced again may
    // still name a file that was kept under it.
    *keptPath = QDir(folder).filePath(
        QStringLiteral("replaced-%1-%2.mdb")
            .arg(now.toString(QStringLiteral("yyyyMMdd-HHmmss")), QUuid::createUuid().toString(QUuid::WithoutBraces)));

    RawDatabase db;
    if (!db.open(copy, RawDatabase::ReadWrite, error))
        return false;
    // Trimmed, from now on, as a database of this place.
    KeptChanges changes(db.handle(), KeepLimits::fromSettings(), databasePath);
    const bool recorded = execSql(db.handle(), QStringLiteral("BEGIN IMMEDIATE"), error)
        && changes.ensureChangesTable(error) && (copyFiles == CopyFiles::Keep || changes.forgetKeptFiles(error))
        && changes.recordChange(
            single(db.handle(), QStringLiteral("SELECT max(Number) FROM %1").arg(changesTable())) + 1, now,
            damaged ? describeReplacedDamaged(what, now) : describeReplaced(what, customers, now),
            damaged ? ChangeKind::ReplacedDamagedFile : ChangeKind::ReplacedFile, QString(), customers, 0, 0,
            QFileInfo(databasePath).size(), error, *keptPath)
        && execSql(db.handle(), QStringLiteral("COMMIT"), error);
    if (!recorded) {
        execSql(db.handle(), QStringLiteral("ROLLBACK"), nullptr);
        return false;
    }
    changes.trim(nullptr);
    return db.close(error);
}

bool KeptChanges::keepReplacedFile(const QString &replaced, const QString &keptPath, EngineError *error)
{
    // A restore stopped after giving the database its second name, before
    // the copy took the first, left that name, which no change names: it is
    // the database in place, which is about to get its second name now.
    struct stat database {
    };
    const QDir folder(QFileInfo(keptPath).absolutePath());
    if (::stat(QFile::encodeName(replaced).constData(), &database) == 0) {
        for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
            const QByteArray entry = QFile::encodeName(folder.filePath(name));
            struct stat info {
            };
            if (::lstat(entry.constData(), &info) == 0 && info.st_dev == database.st_dev
                && info.st_ino == database.st_ino && isOwnKeptFile(folder.filePath(name), replaced))
                ::unlink(entry.constData());
        }
    }
    // A second name: the database stays under its own until the copy takes it.
    if (::link(QFile::encodeName(replaced).constData(), QFile::encodeName(keptPath).constData()) != 0)
        return fail(error, Err::CannotOpen,
                    QStringLiteral("Could not keep the database as '%1': %2.").arg(keptPath, systemErrorText(errno)));
    if (syncFolder(QFileInfo(keptPath).absolutePath(), error))
        return true;
    ::unlink(QFile::encodeName(keptPath).constData());
    return false;
}

bool KeptChanges::forgetKeptFiles(EngineError *error)
{
    QList<qint64> numbers;
    {
        Statement st(
            m_db,
            QStringLiteral("SELECT Number FROM %1 WHERE KeptFile IS NOT NULL OR Kind IN (?, ?)").arg(changesTable()));
        st.bindAll({QString::fromLatin1(kindName(ChangeKind::ReplacedFile)),
                    QString::fromLatin1(kindName(ChangeKind::ReplacedDamagedFile))});
        while (st.step())
            numbers << st.int64(0);
        if (st.error().isError()) {
            if (error)
                *error = st.error();
            return false;
        }
    }
    QStringList otherPlaces; // never removed
    for (qint64 number : std::as_const(numbers)) {
        if (!drop(number, &otherPlaces, error))
            return false;
    }
    return true;
}

void KeptChanges::removeKeptFiles(const QStringList &files) const
{
    for (const QString &file : files) {
        QString why;
        if (isOwnKeptFile(file, m_databasePath, &why))
            ::unlink(QFile::encodeName(file).constData());
        else
            qWarning("A dropped change named a file that is not the program's: %s", qPrintable(why));
    }
}

bool KeptChanges::forget(const KeptChange &change, EngineError *error)
{
    return execSql(m_db, QStringLiteral("DELETE FROM %1 WHERE Number = ?").arg(changesTable()), error, {change.number});
}

bool KeptChanges::remember(const KeptChange &change, EngineError *error)
{
    return ensureChangesTable(error)
        && recordChange(change.number, change.time, change.description, change.kind, change.table, change.rows, 0, 0,
                        change.bytes, error, change.keptFile);
}

QList<KeptChange> KeptChanges::list(EngineError *error) const
{
    QList<KeptChange> changes;
    if (!hasChangesTable())
        return changes;
    Statement st(m_db,
                 QStringLiteral("SELECT Number, Time, Description, Kind, TableName, Rows, Bytes, KeptFile FROM %1 "
                                "ORDER BY Number DESC")
                     .arg(changesTable()));
    while (st.step()) {
        KeptChange c;
        c.number = st.int64(0);
        c.time = QDateTime::fromString(st.value(1).toString(), Qt::ISODate);
        c.description = st.value(2).toString();
        c.kind = kindNamed(st.value(3).toString());
        c.table = st.value(4).toString();
        c.rows = st.int64(5);
        c.bytes = st.int64(6);
        c.keptFile = st.value(7).toString();
        changes << c;
    }
    if (st.error().isError() && error)
        *error = st.error();
    return changes;
}

bool KeptChanges::drop(qint64 number, QStringList *files, EngineError *error)
{
    Statement find(
        m_db,
        QStringLiteral("SELECT TableName, FirstKept, LastKept, KeptFile FROM %1 WHERE Number = ?").arg(changesTable()));
    find.bindInt64(1, number);
    if (!find.step())
        return fail(error, Err::NoCurrentRecord, QStringLiteral("Change %1 is not kept.").arg(number));
    const QString table = find.value(0).toString();
    const qint64 first = find.int64(1);
    const qint64 last = find.int64(2);
    const QString file = find.value(3).toString();
    find = Statement();
    if (!file.isEmpty())
        files->append(file);
    const bool rows =
        table.isEmpty()
        || execSql(
            m_db,
            QStringLiteral("DELETE FROM %1 WHERE rowid BETWEEN ? AND ?").arg(quoteIdentifier(keptTableFor(table))),
            error, {first, last});
    return rows
        && execSql(m_db, QStringLiteral("DELETE FROM %1 WHERE Number = ?").arg(changesTable()), error, {number});
}

bool KeptChanges::undoLast(UndoResult *result, EngineError *error)
{
    *result = UndoResult();
    const QList<KeptChange> changes = list(error);
    if (changes.isEmpty())
        return fail(error, Err::NoCurrentRecord, QStringLiteral("No change is kept that could be undone."));
    const BulkWriteCache cache(m_db);
    if (!execSql(m_db, QStringLiteral("BEGIN IMMEDIATE"), error))
        return false;
    auto rollback = [this] {
        execSql(m_db, QStringLiteral("ROLLBACK"), nullptr);
        return false;
    };
    // Read again inside the transaction: another connection may have undone it meanwhile.
    Statement newest(
        m_db,
        QStringLiteral("SELECT Number, FirstKept, LastKept FROM %1 ORDER BY Number DESC LIMIT 1").arg(changesTable()));
    if (!newest.step() || newest.int64(0) != changes.first().number) {
        newest = Statement();
        rollback();
        return fail(error, Err::Locked, QStringLiteral("The kept changes were changed meanwhile; try again."));
    }
    const qint64 first = newest.int64(1);
    const qint64 last = newest.int64(2);
    newest = Statement();
    const KeptChange &change = changes.first();
    result->change = change;
    if (replacesFile(change.kind)) {
        rollback();
        return fail(error, Err::InvalidOperation,
                    QStringLiteral("A replaced database file is put back by the restore's checked rename."));
    }
    const bool undone = change.kind == ChangeKind::DeletedRows ? undoDeleted(change, first, last, result, error)
                                                               : undoAdded(change, first, last, result, error);
    QStringList noFiles;
    if (!undone || !drop(change.number, &noFiles, error) || !execSql(m_db, QStringLiteral("COMMIT"), error)) {
        const UndoResult nothing;
        *result = nothing;
        return rollback();
    }
    return true;
}

bool KeptChanges::undoDeleted(const KeptChange &change, qint64 first, qint64 last, UndoResult *result,
                              EngineError *error)
{
    QStringList columns;
    if (!keptColumns(change.table, &columns, error))
        return false;
    const QString table = quoteIdentifier(change.table);
    const QString kept = quoteIdentifier(keptTableFor(change.table));

    // A row added since may have taken the id of a deleted one.
    QList<qint64> taken;
    {
        Statement st(m_db,
                     QStringLiteral("SELECT k.rowid FROM %1 k WHERE k.rowid BETWEEN ? AND ? AND EXISTS "
                                    "(SELECT 1 FROM %2 t WHERE t.rowid = k.KeptRowId)")
                         .arg(kept, table));
        st.bindAll({first, last});
        while (st.step())
            taken << st.int64(0);
        if (st.error().isError()) {
            if (error)
                *error = st.error();
            return false;
        }
    }
    const QString freeOnly = taken.isEmpty()
        ? QString()
        : QStringLiteral(" AND NOT EXISTS (SELECT 1 FROM %1 t WHERE t.rowid = k.KeptRowId)").arg(table);
    if (!execSql(m_db,
                 QStringLiteral("INSERT INTO %1 (rowid, %2) SELECT k.KeptRowId, %3 FROM %4 k WHERE k.rowid BETWEEN ? "
                                "AND ?%5")
                     .arg(table, quotedList(columns), quotedList(columns, QStringLiteral("k.")), kept, freeOnly),
                 error, {first, last}))
        return false;
    result->restored = sqlite3_changes64(m_db);
    for (qint64 keptRow : std::as_const(taken)) {
        if (!execSql(m_db,
                     QStringLiteral("INSERT INTO %1 (%2) SELECT %2 FROM %3 WHERE rowid = ?")
                         .arg(table, quotedList(columns), kept),
                     error, {keptRow}))
            return false;
        ++result->restored;
        ++result->renumbered;
    }
    return true;
}

bool KeptChanges::undoAdded(const KeptChange &change, qint64 first, qint64 last, UndoResult *result, EngineError *error)
{
    QStringList columns;
    if (!keptColumns(change.table, &columns, error))
        return false;
    const QString table = quoteIdentifier(change.table);
    const QString kept = quoteIdentifier(keptTableFor(change.table));
    const QString same = sameAsKept(columns);

    auto has = [&columns](const char *name) { return columns.contains(QLatin1String(name), Qt::CaseInsensitive); };
    const QString labelColumns =
        QStringLiteral("%1, %2, %3")
            .arg(has("LockerNumber") ? QStringLiteral("t.LockerNumber") : QStringLiteral("NULL"),
                 has("FirstName") ? QStringLiteral("t.FirstName") : QStringLiteral("NULL"),
                 has("LastName") ? QStringLiteral("t.LastName") : QStringLiteral("NULL"));
    {
        Statement st(m_db,
                     QStringLiteral("SELECT t.rowid, %1 FROM %2 k JOIN %3 t ON t.rowid = k.KeptRowId "
                                    "WHERE k.rowid BETWEEN ? AND ? AND NOT (%4) ORDER BY t.rowid")
                         .arg(labelColumns, kept, table, same));
        st.bindAll({first, last});
        while (st.step()) {
            EditedRow row;
            row.rowId = st.int64(0);
            const QString name =
                QStringList{st.value(2).toString(), st.value(3).toString()}.join(QLatin1Char(' ')).trimmed();
            QStringList parts;
            if (st.value(1).isValid())
                parts << QStringLiteral("Locker %1").arg(st.value(1).toString());
            if (!name.isEmpty())
                parts << name;
            row.label = parts.join(QStringLiteral(", ")) + QStringLiteral(" (record %1)").arg(row.rowId);
            result->keptEdited << row;
        }
        if (st.error().isError()) {
            if (error)
                *error = st.error();
            return false;
        }
    }
    result->goneSince = single(m_db,
                               QStringLiteral("SELECT count(*) FROM %1 k WHERE k.rowid BETWEEN ? AND ? AND NOT EXISTS "
                                              "(SELECT 1 FROM %2 t WHERE t.rowid = k.KeptRowId)")
                                   .arg(kept, table),
                               0, {first, last});
    if (!execSql(m_db,
                 QStringLiteral("DELETE FROM %1 WHERE rowid IN (SELECT k.KeptRowId FROM %2 k JOIN %1 t ON t.rowid = "
                                "k.KeptRowId WHERE k.rowid BETWEEN ? AND ? AND %3)")
                     .arg(table, kept, same),
                 error, {first, last}))
        return false;
    result->removed = sqlite3_changes64(m_db);
    return true;
}

bool KeptChanges::trim(EngineError *error, const QDateTime &now)
{
    if (sqlite3_db_readonly(m_db, "main") == 1 || !hasChangesTable())
        return true;
    if (!execSql(m_db, QStringLiteral("BEGIN IMMEDIATE"), error))
        return false;
    struct Entry {
        qint64 number;
        QDateTime time;
        qint64 bytes;
    };
    QList<Entry> entries; // oldest first
    {
        Statement st(m_db, QStringLiteral("SELECT Number, Time, Bytes FROM %1 ORDER BY Number").arg(changesTable()));
        while (st.step())
            entries.append({st.int64(0), QDateTime::fromString(st.value(1).toString(), Qt::ISODate), st.int64(2)});
    }
    const QDateTime oldestKept = now.addDays(-m_limits.days);
    qint64 total = 0;
    for (const Entry &e : std::as_const(entries))
        total += e.bytes;
    const qint64 allowed =
        qint64(double(single(m_db, QStringLiteral("PRAGMA page_count")))
               * double(single(m_db, QStringLiteral("PRAGMA page_size"))) * m_limits.percentOfFile / 100.0);
    bool dropped = false;
    QStringList files;
    for (int i = 0; i < entries.size(); ++i) {
        const Entry &e = entries.at(i);
        const bool tooOld = !e.time.isValid() || e.time < oldestKept;
        // The change just made stays whatever its size: it is the one an
        // operator most likely wants back.
        const bool tooBig = total > allowed && i + 1 < entries.size();
        if (!tooOld && !tooBig)
            continue;
        if (!drop(e.number, &files, error)) {
            execSql(m_db, QStringLiteral("ROLLBACK"), nullptr);
            return false;
        }
        total -= e.bytes;
        dropped = true;
    }
    if (!execSql(m_db, QString::fromLatin1(dropped ? "COMMIT" : "ROLLBACK"), error)) {
        execSql(m_db, QStringLiteral("ROLLBACK"), nullptr);
        return false;
    }
    // Only once no row names them any more.
    removeKeptFiles(files);
    return true;
}

} // namespace store
