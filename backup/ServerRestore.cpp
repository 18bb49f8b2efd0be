#include "backup/ServerRestore.h"

#include "backup/DatabaseSnapshot.h"
#include "backup/SafeRestore.h"
#include "store/KeptChanges.h"
#include "store/ProgramFolder.h"
#include "store/Schema.h"
#include "store/ServerChanges.h"
#include "store/server/ServerConnection.h"
#include "store/server/ServerCopy.h"
#include "zip/ZipCommon.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QUuid>
#include <sys/stat.h>

namespace backup {

namespace {

ArchiveOutcome notRestored(const store::EngineError &e, quint16 code = 0)
{
    ArchiveOutcome o;
    o.code = code;
    o.error = e;
    if (!o.error.text.startsWith(QStringLiteral("The database was not restored")))
        o.error.text = QStringLiteral("The database was not restored: %1").arg(e.text);
    return o;
}

// The server's data as it is now, whole, in a new file of the kept-changes
// folder: a restore of the wrong archive loses nothing.
bool keepServerData(store::ServerConnection &server, QString *keptFile, store::EngineError *error)
{
    QString folder;
    store::EngineError e;
    if (!store::KeptChanges::prepareKeptFolder(store::programPath(QStringLiteral("\\Vantrel.mdb")), &folder, &e))
        return store::fail(error, e.number,
                           QStringLiteral("the server's data could not be kept first: %1").arg(e.text));
    *keptFile =
        QDir(folder).filePath(QStringLiteral("server-before-restore-%1-%2.mdb")
                                  .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss")),
                                       QUuid::createUuid().toString(QUuid::Id128).left(8)));
    if (store::ServerCopy::fromServer(server, *keptFile, nullptr, &e))
        return true;
    return store::fail(error, e.number, QStringLiteral("the server's data could not be kept first: %1").arg(e.text));
}

} // namespace

ArchiveOutcome restoreDatabaseOnServer(ZipMain &zip, const QString &entryName, const QString &url, ServerRestore *done)
{
    WorkFolder staging;
    if (!staging.isValid())
        return notRestored({store::Err::CannotOpen,
                            QStringLiteral("no private folder could be made for the archived copy in the user's "
                                           "cache folder.")});
    QString extracted;
    const ArchiveOutcome o = extractDatabaseEntry(zip, entryName, staging.path(), &extracted);
    if (o.error.isError())
        return o;
    // It holds social security numbers, whatever the archive said.
    ::chmod(QFile::encodeName(extracted).constData(), 0600);
    store::EngineError e;
    if (!SafeRestore::checkRestoredCopy(extracted, &e))
        return notRestored(e, o.code);
    auto server = openServer(url, &e);
    if (!server || !writePendingEdits(url, &e, QStringLiteral("restore again")))
        return notRestored(e, o.code);
    ServerRestore restored;
    restored.where = server->where();
    // The server's data is kept once the replace holds every desk's saves
    // back, through a second connection that may still read: a save another
    // desk made a moment before the replace is in the kept file, not lost.
    const auto keep = [&](store::EngineError *error) {
        auto reader = openServer(url, error);
        return reader && keepServerData(*reader, &restored.keptFile, error);
    };
    store::ServerCopy::Summary summary;
    if (!store::ServerCopy::replaceOnServer(extracted, *server, &summary, &e, keep)) {
        // The server kept every row: the copy of them is not needed.
        if (!restored.keptFile.isEmpty())
            QFile::remove(restored.keptFile);
        return notRestored(e, o.code);
    }
    restored.customers = summary.customers;
    // This desk's windows hear it as they hear another desk's change.
    store::ServerChanges::instance()->note(
        {store::Schema::information().name, store::Schema::centerInformation().name});
    if (done)
        *done = restored;
    return {};
}

QString replaceServerDataText(const QString &url)
{
    return QStringLiteral("Restoring 'Vantrel.mdb' replaces every customer and the center's settings in the "
                          "database %1, at every desk. Do you want to replace them?")
        .arg(store::ServerConnection::describe(url));
}

QString restoredOnServerText(const ServerRestore &done)
{
    return QStringLiteral("The database %1 now holds the %2 customers of the archive. Its data from before the "
                          "restore is kept in '%3'.")
        .arg(done.where, QLocale(QLocale::English, QLocale::UnitedStates).toString(done.customers),
             QDir::toNativeSeparators(done.keptFile));
}

} // namespace backup
