#include "maintenance/MaintenanceMessages.h"

#include "store/DBEngine.h"
#include "store/Schema.h"

#include <QDir>

namespace maintenance {

namespace {

QString count(qint64 n, const QString &what)
{
    return n == 1 ? QStringLiteral("1 %1 row").arg(what) : QStringLiteral("%1 %2 rows").arg(n).arg(what);
}

QString rows(qint64 n)
{
    return n == 1 ? QStringLiteral("1 row") : QStringLiteral("%1 rows").arg(n);
}

QString lostCount(const store::TableRepair &t)
{
    if (!t.lostAtLeast)
        return QString::number(t.lost);
    return t.lost > 0 ? QStringLiteral("at least %1").arg(t.lost) : QStringLiteral("an unknown number");
}

// The tables the repair added, and rows it could read only in part.
QStringList setAsideLines(const store::RepairReport &report)
{
    using Kind = store::TableRepair::Kind;
    QStringList lines;
    for (const store::TableRepair &t : report.tables) {
        if (t.kind == Kind::FoundOutside && t.recovered > 0)
            lines << QStringLiteral("%1 found on pages outside the table '%2' may be rows deleted long ago: they "
                                    "were put in the table '%3', not among the rows of '%2'. Look them over there.")
                         .arg(rows(t.recovered), t.rowsOf, t.table);
        else if (t.kind == Kind::KeptApart && t.recovered > 0)
            lines << QStringLiteral("%1 of table '%2' broke a unique index or another rule of that table: they "
                                    "were kept in the table '%3'.")
                         .arg(rows(t.recovered), t.rowsOf, t.table);
        if (t.textsCut > 0)
            lines << QStringLiteral("%1 of table '%2' had a long text that could be read only in part: it ends "
                                    "with \"%3\", and the fields stored after it are empty.")
                         .arg(rows(t.textsCut), t.table, store::cutTextMark().trimmed());
    }
    return lines;
}

// What the repair found, for a file it had to rebuild.
QString damageReport(const store::RepairReport &report)
{
    QStringList lines;
    const QString customers = store::Schema::information().name;
    const QString center = store::Schema::centerInformation().name;
    const store::TableRepair none;
    const store::TableRepair *c = report.table(customers);
    if (!c)
        c = &none;
    lines << QStringLiteral("The file was damaged: %1 recovered, %2 could not be read.")
                 .arg(count(c->recovered, QStringLiteral("customer")), lostCount(*c));
    for (const store::TableRepair &t : report.tables) {
        if (t.table.compare(customers, Qt::CaseInsensitive) == 0 || t.table.compare(center, Qt::CaseInsensitive) == 0
            || t.kind != store::TableRepair::Kind::Table)
            continue;
        lines << QStringLiteral("Table '%1': %2 recovered, %3 could not be read.")
                     .arg(t.table, rows(t.recovered), lostCount(t));
    }
    lines << setAsideLines(report);
    if (report.centerRowAdded)
        lines << QStringLiteral("The center's settings could not be read: enter them again in the center window.");
    if (report.rowsUnmatched > 0)
        lines << QStringLiteral("%1 could not be told apart from the rows of another table and were left in the "
                                "damaged file.")
                     .arg(rows(report.rowsUnmatched));
    if (report.damagedCopyIsChange)
        lines << QStringLiteral("The damaged file has been kept as '%1'. \"Undo Last Change\" in the Database menu "
                                "puts it back; it is removed with the other kept changes.")
                     .arg(QDir::toNativeSeparators(report.damagedCopy));
    else if (!report.damagedCopy.isEmpty())
        lines << QStringLiteral("The damaged file has been kept as '%1'. Remove it once you no longer need it.")
                     .arg(QDir::toNativeSeparators(report.damagedCopy));
    return lines.join(QLatin1Char('\r'));
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
    return parts.join(platform::kParagraphBreak);
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
            box.text += platform::kParagraphBreak + damageReport(outcome.repair);
            // Rows that could not be read are news the operator must not miss.
            if (outcome.repair.rowsLost > 0 || outcome.repair.centerRowAdded || outcome.repair.rowsUnmatched > 0
                || !setAsideLines(outcome.repair).isEmpty())
                box.icon = platform::Icon::Exclamation;
        }
    }
    return box;
}

} // namespace maintenance
