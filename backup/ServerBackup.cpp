#include "backup/ServerBackup.h"

#include "store/server/ServerCopy.h"

#include <QDir>
#include <QTemporaryDir>

namespace backup {

namespace {

// The snapshot's folder goes even when the archive failed; when it cannot
// go, that is told beside whatever else happened.
void removeFolder(QTemporaryDir &folder, ArchiveOutcome *outcome)
{
    if (folder.remove())
        return;
    const QString left = QStringLiteral("the temporary copy of the server's data in '%1' could not be removed: remove "
                                        "it by hand, it holds the customers' data.")
                             .arg(QDir::toNativeSeparators(folder.path()));
    if (outcome->error.isError()) {
        outcome->error.text += QStringLiteral(" Besides, ") + left;
        return;
    }
    outcome->error.number = store::Err::Unexpected;
    outcome->error.text =
        (outcome->code == 0 ? QStringLiteral("The backup was written, but ")
                            : QStringLiteral("The backup was not made (result code %1), and ").arg(outcome->code))
        + left;
}

} // namespace

ArchiveOutcome writeServerBackupArchive(const QString &destination, store::ServerConnection &server,
                                        const QString &password, qint64 *customers)
{
    ArchiveOutcome outcome;
    // mkdtemp: a new folder, readable and writable by its owner only.
    QTemporaryDir folder(QDir::temp().filePath(QStringLiteral("vantrel-server-backup-XXXXXX")));
    if (!folder.isValid()) {
        outcome.error.number = store::Err::CannotOpen;
        outcome.error.text = QStringLiteral("The backup was not made: no temporary folder could be made for the copy "
                                            "of the server's data (%1).")
                                 .arg(folder.errorString());
        return outcome;
    }
    folder.setAutoRemove(false);
    const QString copy = folder.filePath(QStringLiteral("Vantrel.mdb"));
    store::ServerCopy::Summary summary;
    if (!store::ServerCopy::fromServer(server, copy, &summary, &outcome.error)) {
        removeFolder(folder, &outcome);
        return outcome;
    }
    outcome = writeBackupArchive(destination, copy, password);
    removeFolder(folder, &outcome);
    if (outcome.succeeded() && customers)
        *customers = summary.customers;
    return outcome;
}

} // namespace backup
