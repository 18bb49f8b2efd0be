// vantrel --backup DEST.zip: the backup of the window's Automatic menu,
// written to any path (a network share, a stick) by a nightly job.
#include "app/CommandLine.h"

#include "backup/BackupPassword.h"
#include "backup/DatabaseArchive.h"
#include "backup/XZIPDEMO1.h"
#include "store/ProgramFolder.h"

namespace app {

void addBackupCommand(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands)
{
    parser.addOption(QCommandLineOption(
        QStringLiteral("backup"),
        QStringLiteral("Backs the database up into the zip archive DEST (one entry, Vantrel.mdb; encrypted when a "
                       "backup password is set), from a consistent copy, and tests the archive."),
        QStringLiteral("DEST.zip")));
    commands.push_back({QStringLiteral("backup"), [](const QCommandLineParser &p, QTextStream &out, QTextStream &err) {
                            const QString destination = p.value(QStringLiteral("backup"));
                            if (destination.isEmpty()) {
                                err << "--backup needs the name of the archive to write.\n";
                                return 2;
                            }
                            const QString database = store::programPath(QStringLiteral("\\Vantrel.mdb"));
                            const QString password = backup::BackupPassword::readKeyring().value_or(QString());
                            const backup::ArchiveOutcome o =
                                backup::writeBackupArchive(destination, database, password);
                            if (o.error.isError()) {
                                err << o.error.text << "\n";
                                return 1;
                            }
                            if (o.code != 0) {
                                err << backup::resultMessageText(o.code, QStringLiteral("backing up"), false)
                                    << " (result code " << o.code << ")\n";
                                return 1;
                            }
                            out << "The database was backed up to " << destination
                                << (password.isEmpty() ? "" : " (encrypted)") << " and the archive tested.\n";
                            return 0;
                        }});
}

} // namespace app
