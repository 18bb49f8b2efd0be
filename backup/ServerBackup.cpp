#include "backup/ServerBackup.h"

#include "store/server/ServerCopy.h"
#include "zip/ZipCommon.h"

#include <QDir>

namespace backup {

namespace {

// The snapshot's folder goes even when the archive failed; when it cannot
// go, that is told beside whatever else happened.
void removeFolder(WorkFolder &folder, ArchiveOutcome *outcome)
{
    const QString path = folder.path();
    if (folder.remove())
        return;
    const QString left = QStringLiteral("the temporary copy of the server's data in '%1' could not be removed: remove "
                                        "it by hand, it holds the customers' data.")
                             .arg(QDir::toNativeSeparators(path));
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
    // The copy holds the customers' data: it goes into a folder of the
    // user's alone, which a later backup clears should this one be killed.
    WorkFolder folder;
    if (!folder.isValid()) {
        outcome.error.number = store::Err::CannotOpen;
        outcome.error.text = QStringLiteral("The backup was not made: no private folder could be made for the copy "
                                            "of the server's data in the user's cache folder.");
        return outcome;
    }
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
