// Compaction: a complete copy of a database without its free pages, written
// beside the destination, checked, and only then given the destination's name.
#include "store/salvage/WholeFile.h"

#include "store/RawDatabase.h"
#include "store/SafeFiles.h"
#include "store/Statement.h"
#include "store/salvage/CopyCheck.h"

#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <thread>

namespace store {

namespace {

bool exists(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

qint64 dataVersion(sqlite3 *db)
{
    Statement st(db, QStringLiteral("PRAGMA data_version"));
    return st.step() ? st.int64(0) : -1;
}

EngineError withContext(const EngineError &e, const QString &source)
{
    return {e.number, QStringLiteral("Could not compact '%1': %2").arg(source, e.text)};
}

// Writes the copy under the partial name; the source stays as it is.
bool writeCopy(const QString &source, const QString &partial, DatabaseSummary *summary, EngineError *error)
{
    RawDatabase db;
    EngineError e;
    // Read-write, so that the engine can roll back a transaction that a crash
    // left unfinished before anything is read; nothing is written here.
    if (!db.open(source, RawDatabase::ReadWrite, &e)) {
        if (error)
            *error = e;
        return false;
    }
    // Any change by another program from here to the end of the copy shows in
    // this number.
    const qint64 versionBefore = dataVersion(db.handle());
    // The schema first, on this connection: reading it rolls back what a
    // crash left unfinished before the other connection below reads.
    if (!summarizeSchema(db.handle(), summary, &e)) {
        if (error)
            *error = withContext(e, source);
        return false;
    }

    // The tables' summaries and the rows each partial index should hold are
    // read on a connection of their own while the engine writes the copy, on
    // the other core: after the number above was taken and before it is
    // taken again, so that a change meanwhile fails the compaction as it
    // would fail the copy. The tables' summary visits every page of each
    // table; mapped, the pages are read in place instead of copied one by
    // one. The map is kept no longer than that read, since a file another
    // program cuts short under a map would bring this one down. Should the
    // partial indexes' count fail, the check counts in the copy instead.
    QList<TableSummary> tables;
    bool tablesRead = false;
    QList<PartialIndexSummary> partialIndexes;
    bool partialCounted = false;
    const auto summarizeMapped = [&tables](sqlite3 *handle, EngineError *why) {
        execSql(handle, QStringLiteral("PRAGMA mmap_size = 2147418112"), nullptr);
        const bool read = summarizeTables(handle, &tables, why);
        execSql(handle, QStringLiteral("PRAGMA mmap_size = 0"), nullptr);
        return read;
    };
    std::thread reader([&] {
        RawDatabase beside;
        if (!beside.open(source, RawDatabase::ReadOnly, nullptr))
            return;
        tablesRead = summarizeMapped(beside.handle(), nullptr);
        partialCounted = tablesRead && summarizePartialIndexes(beside.handle(), &partialIndexes, nullptr);
    });

    // The copy is synced once, beside its check, rather than by the engine as it goes.
    db.exec(QStringLiteral("PRAGMA synchronous = OFF"), nullptr);
    Statement vacuum(db.handle(), QStringLiteral("VACUUM INTO ?"));
    vacuum.bind(1, partial);
    bool written = false;
    {
        const WritebackWhileWriting writeback(partial);
        written = vacuum.isValid() && !vacuum.step() && !vacuum.error().isError();
    }
    reader.join();
    if (!written) {
        if (error)
            *error = withContext(vacuum.error(), source);
        return false;
    }
    vacuum = Statement();
    // A second connection the file would not have: the tables are read on
    // this one, still before the number is taken again.
    if (!tablesRead && !summarizeMapped(db.handle(), &e)) {
        if (error)
            *error = withContext(e, source);
        return false;
    }
    summary->tables = tables;
    if (partialCounted)
        summary->partialIndexes = partialIndexes;

    if (dataVersion(db.handle()) != versionBefore)
        return fail(error, Err::Locked,
                    QStringLiteral("Could not compact '%1': another program changed it meanwhile.").arg(source));
    if (!db.close(&e)) {
        if (error)
            *error = e;
        return false;
    }
    return true;
}

} // namespace

namespace DBEngine {

bool CompactDatabase(const QString &source, const QString &destination, EngineError *error, CompactedSource after)
{
    if (!QFileInfo(source).isFile())
        return fail(error, Err::FileNotFound, QStringLiteral("Could not find file '%1'.").arg(source));
    if (exists(destination))
        return fail(error, Err::FileExists,
                    QStringLiteral("Cannot compact into '%1': a file of that name already exists.").arg(destination));

    // The engine keeps a journal beside the copy while writing it. One left by
    // an interrupted run must go first: beside the new copy it would be taken
    // for the new copy's own and played back into it.
    const QString partial = partialNameFor(destination);
    const QString partialJournal = partial + QStringLiteral("-journal");
    QFile::remove(partialJournal);
    QFile::remove(partial);
    EngineError e;
    auto failAndClean = [&](const EngineError &reason) {
        QFile::remove(partial);
        QFile::remove(partialJournal);
        if (error)
            *error = reason;
        return false;
    };

    // The engine writes into an empty file that already exists, so the copy
    // is readable by its owner only from its first byte on.
    if (!createOwnerOnlyFile(partial, &e))
        return failAndClean(e);
    DatabaseSummary summary;
    if (!writeCopy(source, partial, &summary, &e))
        return failAndClean(e);

    // The disk writes the pages while the check reads them back from memory:
    // the copy is synced beside its check, and takes the name only when both
    // succeeded. The sync is mostly waiting for the disk, the check mostly
    // reading, so side by side they cost about the longer of the two.
    bool checked = false;
    bool synced = false;
    EngineError syncError;
    {
        std::jthread sync([&] {
            synced = syncFile(partial, &syncError);
            if (after == CompactedSource::Replaced)
                dropCachedPages(source);
        });
        checked = checkCopy(partial, summary, ReadBack::WhenInDoubt, &e);
    }
    if (!checked)
        return failAndClean(e);
    if (!synced)
        return failAndClean(syncError);
    if (!renameNoReplace(partial, destination, &e))
        return failAndClean(e.number == Err::FileExists
                                ? EngineError{Err::FileExists,
                                              QStringLiteral("Cannot compact into '%1': a file of that name already "
                                                             "exists.")
                                                  .arg(destination)}
                                : e);
    if (!syncFolder(QFileInfo(destination).absolutePath(), &e)) {
        // The copy is complete and named; only the folder's entry may not be on
        // the disk yet. Take the name back rather than report a half success.
        QFile::remove(destination);
        if (error)
            *error = e;
        return false;
    }
    return true;
}

} // namespace DBEngine
} // namespace store
