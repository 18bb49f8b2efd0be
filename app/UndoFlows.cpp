#include "app/UndoFlows.h"

#include "app/CommandLine.h"
#include "app/dlgUndoChange.h"
#include "backup/SafeRestore.h"
#include "csv/OpenDataWindows.h"
#include "platform/Services.h"
#include "store/DBEngine.h"
#include "store/KeptChanges.h"
#include "store/ProgramFolder.h"
#include "store/SafeFiles.h"

#include <QDir>
#include <QLocale>
#include <QPointer>

namespace app {

namespace {

const QString kTitle = QStringLiteral("Undo Last Change");

QString customers(qint64 n)
{
    return QLocale(QLocale::English, QLocale::UnitedStates).toString(n)
        + (n == 1 ? QStringLiteral(" customer") : QStringLiteral(" customers"));
}

QString describeUndo(const store::UndoResult &r)
{
    QString text = r.change.description + QStringLiteral(" was undone: ");
    if (r.change.kind == store::ChangeKind::DeletedRows) {
        text += customers(r.restored) + (r.restored == 1 ? QStringLiteral(" is back.") : QStringLiteral(" are back."));
        if (r.renumbered > 0)
            text += QStringLiteral(" %1 of them came back under a new record number: customers added since took "
                                   "theirs.")
                        .arg(QLocale(QLocale::English, QLocale::UnitedStates).toString(r.renumbered));
        return text;
    }
    text +=
        customers(r.removed) + (r.removed == 1 ? QStringLiteral(" was removed.") : QStringLiteral(" were removed."));
    if (r.goneSince > 0)
        text += QStringLiteral(" %1 had been deleted since.").arg(customers(r.goneSince));
    if (!r.keptEdited.isEmpty())
        text += QStringLiteral(" %1 edited since the import %2 in place:")
                    .arg(customers(r.keptEdited.size()),
                         r.keptEdited.size() == 1 ? QStringLiteral("stays") : QStringLiteral("stay"));
    return text;
}

std::shared_ptr<store::Database> openDatabase(const QString &path, QString *error)
{
    store::EngineError e;
    auto db = store::DBEngine::OpenDatabase(path, &e);
    if (!db)
        *error = e.text;
    return db;
}

} // namespace

QStringList keptChangeLines(const QString &databasePath, QString *error)
{
    QStringList lines;
    auto db = openDatabase(databasePath, error);
    if (!db)
        return lines;
    store::EngineError e;
    for (const store::KeptChange &c : store::KeptChanges(db->handle()).list(&e))
        lines << c.description;
    if (e.isError())
        *error = e.text;
    return lines;
}

namespace {

// Forgets or remembers a replaced file's change in the database in place.
bool changeNamed(const QString &databasePath, const store::KeptChange &change, bool keep, QString *error)
{
    auto db = openDatabase(databasePath, error);
    store::EngineError e;
    store::KeptChanges changes(db ? db->handle() : nullptr);
    if (db && !(keep ? changes.remember(change, &e) : changes.forget(change, &e)))
        *error = e.text;
    return db && !e.isError();
}

// A restore's file comes back through the restore's checks. A repair's
// damaged file goes back as the repair found it: nothing can be written into
// it, so the repaired database it replaces stays beside it as a file of its
// own, named in the answer.
UndoOutcome putBackReplacedFile(const QString &databasePath, const store::KeptChange &change)
{
    UndoOutcome outcome;
    const QString failed = QStringLiteral("The change could not be undone; nothing was changed.\n");
    // The name comes from the database: only the program's own kept files move.
    QString why;
    if (!store::KeptChanges::isOwnKeptFile(change.keptFile, databasePath, &why)) {
        outcome.text = failed + why;
        return outcome;
    }
    // The database in place is kept in turn: it must not name the file that replaces it.
    if (!changeNamed(databasePath, change, false, &why)) {
        outcome.text = failed + why;
        return outcome;
    }
    const bool damaged = change.kind == store::ChangeKind::ReplacedDamagedFile;
    const QString aside = damaged ? store::asideNameFor(databasePath, QStringLiteral("REPAIRED")) : QString();
    backup::SafeRestore restore(databasePath);
    store::EngineError e;
    if (!(damaged ? restore.putBackDamaged(change.keptFile, aside, &e) : restore.putBack(change.keptFile, &e))) {
        changeNamed(databasePath, change, true, &why);
        outcome.text = failed + e.text;
        return outcome;
    }
    outcome.succeeded = true;
    outcome.text = change.description
        + (damaged ? QStringLiteral(" was undone: the damaged database it replaced is back. The repaired database "
                                    "has been kept as '%1'.")
                         .arg(QDir::toNativeSeparators(aside))
                   : QStringLiteral(" was undone: the database it replaced is back."));
    return outcome;
}

} // namespace

UndoOutcome undoNewestChange(const QString &databasePath)
{
    UndoOutcome outcome;
    // Nothing typed may meet the rows half-done.
    if (!csv::writeOpenEdits(databasePath, &outcome.text))
        return outcome;
    auto db = openDatabase(databasePath, &outcome.text);
    if (!db)
        return outcome;
    store::UndoResult result;
    store::EngineError e;
    const QList<store::KeptChange> changes = store::KeptChanges(db->handle()).list(&e);
    if (!changes.isEmpty() && store::replacesFile(changes.first().kind)) {
        db.reset();
        return putBackReplacedFile(databasePath, changes.first());
    }
    const bool undone = store::KeptChanges(db->handle()).undoLast(&result, &e);
    db.reset();
    if (!undone) {
        outcome.nothingKept = e.number == store::Err::NoCurrentRecord;
        outcome.text = outcome.nothingKept
            ? QStringLiteral("There is no change to undo.")
            : QStringLiteral("The change could not be undone; nothing was changed.\n") + e.text;
        return outcome;
    }
    csv::showNewRows(databasePath);
    outcome.succeeded = true;
    outcome.text = describeUndo(result);
    for (const store::EditedRow &row : std::as_const(result.keptEdited))
        outcome.keptRows << row.label;
    return outcome;
}

void undoLastChange(QWidget *parent)
{
    const QString database = store::programPath(QStringLiteral("\\Vantrel.mdb"));
    QString error;
    QStringList changes;
    {
        const platform::Hourglass busy;
        changes = keptChangeLines(database, &error);
    }
    if (!error.isEmpty()) {
        platform::msgBox(error, platform::Buttons::OKOnly, platform::Icon::Critical, kTitle);
        return;
    }
    if (changes.isEmpty()) {
        platform::msgBox(QStringLiteral("There is no change to undo."), platform::Buttons::OKOnly,
                         platform::Icon::Information, kTitle);
        return;
    }
    QPointer<dlgUndoChange> question = dlgUndoChange::question(changes, parent);
    const bool yes = question->exec() == QDialog::Accepted;
    delete question;
    if (!yes)
        return;

    UndoOutcome outcome;
    {
        const platform::Hourglass busy;
        outcome = undoNewestChange(database);
    }
    if (!outcome.succeeded) {
        platform::msgBox(outcome.text, platform::Buttons::OKOnly,
                         outcome.nothingKept ? platform::Icon::Information : platform::Icon::Critical, kTitle);
        return;
    }
    if (outcome.keptRows.isEmpty()) {
        platform::msgBox(outcome.text, platform::Buttons::OKOnly, platform::Icon::Information, kTitle);
        return;
    }
    QPointer<dlgUndoChange> report = dlgUndoChange::report(outcome.text, outcome.keptRows, parent);
    report->exec();
    delete report;
}

// --list-changes and --undo-last: the same on the command line.
void addUndoCommands(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands)
{
    parser.addOption(QCommandLineOption(QStringLiteral("list-changes"),
                                        QStringLiteral("Lists the kept changes that can be undone, newest first.")));
    parser.addOption(QCommandLineOption(QStringLiteral("undo-last"),
                                        QStringLiteral("Undoes the newest kept change (a delete of found records, "
                                                       "an import or a restore), as \"Undo Last Change...\" does.")));
    commands.push_back(
        {QStringLiteral("list-changes"), [](const QCommandLineParser &, QTextStream &out, QTextStream &err) {
             QString error;
             const QStringList lines = keptChangeLines(store::programPath(QStringLiteral("\\Vantrel.mdb")), &error);
             if (!error.isEmpty()) {
                 err << error << '\n';
                 return 1;
             }
             if (lines.isEmpty())
                 out << "No change is kept.\n";
             for (const QString &line : lines)
                 out << line << '\n';
             return 0;
         }});
    commands.push_back(
        {QStringLiteral("undo-last"), [](const QCommandLineParser &, QTextStream &out, QTextStream &err) {
             const UndoOutcome outcome = undoNewestChange(store::programPath(QStringLiteral("\\Vantrel.mdb")));
             if (!outcome.succeeded) {
                 err << outcome.text << '\n';
                 return 1;
             }
             out << outcome.text << '\n';
             for (const QString &row : outcome.keptRows)
                 out << "  " << row << '\n';
             return 0;
         }});
}

} // namespace app
