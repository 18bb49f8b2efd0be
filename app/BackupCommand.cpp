// vantrel --backup DEST.zip: the backup of the window's Automatic menu,
// written to any path (a network share, a stick) by a nightly job; with
// --database, of the server's data, into the same archive.
#include "app/CommandLine.h"

#include "backup/BackupPassword.h"
#include "backup/DatabaseArchive.h"
#include "backup/ServerBackup.h"
#include "store/ProgramFolder.h"
#include "store/server/ServerConnection.h"

#include "zip/ZipResults.h"
#include <QLocale>

namespace app {

namespace {

// The password the backup is encrypted with, empty for none; nullopt when
// backups are to be encrypted and no password can be had (told on err).
std::optional<QString> backupPassword(const QCommandLineParser &p, QTextStream &err)
{
    if (p.isSet(QStringLiteral("password-file"))) {
        QString why;
        const std::optional<QString> read =
            backup::BackupPassword::readPasswordFile(p.value(QStringLiteral("password-file")), &why);
        if (!read)
            err << "The backup was not made: " << why << "\n";
        return read;
    }
    const QString kept = backup::BackupPassword::readKeyring().value_or(QString());
    if (!kept.isEmpty())
        return kept;
    // Without the password in hand, whether one is needed must be known.
    const backup::BackupPassword::ProtectionState state = backup::BackupPassword::protection();
    if (state.protection == backup::BackupPassword::Protection::Unknown) {
        err << backup::BackupPassword::protectionNotKnownText(state.why)
            << " Or give the password with --password-file FILE.\n";
        return std::nullopt;
    }
    if (state.protection == backup::BackupPassword::Protection::On) {
        err << "The backup was not made: backups are to be protected with a password, and no keyring holds it "
               "here. Give it with --password-file FILE (a file readable by its owner only).\n";
        return std::nullopt;
    }
    return kept;
}

} // namespace

void addBackupCommand(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands)
{
    parser.addOption(QCommandLineOption(
        QStringLiteral("backup"),
        QStringLiteral("Backs the database up into the zip archive DEST (one entry, Vantrel.mdb; encrypted when a "
                       "backup password is set), from a consistent copy, and tests the archive. With --database: "
                       "the server's data, read at one moment, in the same archive."),
        QStringLiteral("DEST.zip")));
    parser.addOption(QCommandLineOption(
        QStringLiteral("password-file"),
        QStringLiteral("With --backup: the backup password is the first line of FILE (readable by its owner only), "
                       "for scheduled jobs where no keyring answers."),
        QStringLiteral("FILE")));
    commands.push_back({QStringLiteral("backup"),
                        [](const QCommandLineParser &p, QTextStream &out, QTextStream &err) {
                            const QString destination = p.value(QStringLiteral("backup"));
                            if (destination.isEmpty()) {
                                err << "--backup needs the name of the archive to write.\n";
                                return 2;
                            }
                            const std::optional<QString> password = backupPassword(p, err);
                            if (!password)
                                return 1;
                            backup::ArchiveOutcome o;
                            // Which database went into the archive, when it is a server's.
                            QString what;
                            if (p.isSet(QStringLiteral("database"))) {
                                auto server = connectToServer(p, QStringLiteral("backup"), err);
                                if (!server)
                                    return 1;
                                qint64 customers = 0;
                                o = backup::writeServerBackupArchive(destination, *server, *password, &customers);
                                what = QStringLiteral(" %1 (%2 customers)")
                                           .arg(server->where(),
                                                QLocale(QLocale::English, QLocale::UnitedStates).toString(customers));
                            } else {
                                o = backup::writeBackupArchive(
                                    destination, store::programPath(QStringLiteral("\\Vantrel.mdb")), *password);
                            }
                            if (o.error.isError()) {
                                err << o.error.text << "\n";
                                return 1;
                            }
                            if (o.code != 0) {
                                err << backup::resultMessageText(o.code, QStringLiteral("backing up"), false)
                                    << " (result code " << o.code << ")\n";
                                return 1;
                            }
                            out << "The database" << what << " was backed up to " << destination
                                << (password->isEmpty() ? "" : " (encrypted)") << " and the archive tested.\n";
                            return 0;
                        },
                        {QStringLiteral("database")}});
}

} // namespace app
