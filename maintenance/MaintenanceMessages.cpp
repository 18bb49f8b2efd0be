#include "maintenance/MaintenanceMessages.h"

namespace maintenance {

namespace {

QString rows(qint64 count)
{
    return count == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(count);
}

// What the repair found, for a file it had to rebuild.
QString damageReport(const store::RepairReport &report)
{
    return QStringLiteral("The file was damaged: %1 recovered, %2 could not be read.")
        .arg(rows(report.rowsRecovered), rows(report.rowsLost));
}

QString notRunHeader(Command command)
{
    return command == Command::Compress ? QStringLiteral("Your database has not been compressed; it is as it was.")
                                        : QStringLiteral("Your database has not been repaired; it is as it was.");
}

QString failureText(Command command, const Outcome &outcome)
{
    QStringList parts;
    switch (outcome.result) {
    case Outcome::Result::Done:
    case Outcome::Result::NotRun: parts << notRunHeader(command); break;
    case Outcome::Result::RepairedOnly:
        parts << QStringLiteral("Your database has been repaired, but it could not be compressed.")
              << damageReport(outcome.repair);
        break;
    case Outcome::Result::CompactedUnderOldName:
        parts << (command == Command::Compress
                      ? QStringLiteral("Your database has been compressed, but it could not be given the name "
                                       "VANTREL.MDB.")
                      : QStringLiteral("Your database has been repaired and compressed, but it could not be given "
                                       "the name VANTREL.MDB."));
        break;
    }
    parts << outcome.error.text;
    if (outcome.error.number == store::Err::DiskFull)
        parts << QStringLiteral("Free some space on the disk, then run the command again.");
    return parts.join(QStringLiteral("\n\n"));
}

} // namespace

platform::MessageBoxRequest closingMessage(Command command, const Outcome &outcome)
{
    platform::MessageBoxRequest box;
    box.buttons = platform::Buttons::OKOnly;
    if (!outcome.succeeded()) {
        box.title = command == Command::Compress ? QStringLiteral("Compress") : QStringLiteral("Repair");
        box.icon = platform::Icon::Critical;
        box.text = failureText(command, outcome);
        return box;
    }
    box.title = QStringLiteral("Notice!");
    box.icon = platform::Icon::Information;
    if (command == Command::Compress) {
        box.text = QStringLiteral("Your database has been successfully compressed. ");
    } else {
        box.text = QStringLiteral("Your database has been successfully repaired. ");
        if (outcome.repair.wasDamaged) {
            box.text += QStringLiteral("\n\n") + damageReport(outcome.repair);
            // Rows that could not be read are news the operator must not miss.
            if (outcome.repair.rowsLost > 0)
                box.icon = platform::Icon::Exclamation;
        }
    }
    return box;
}

} // namespace maintenance
