#pragma once

#include <QString>
#include <QStringList>

namespace store {

// What a file written for the operator is.
enum class OutputKind {
    NewFile,      // a file the operator named: a report's PDF, an export, an archive
    RestoredFile, // a file of an archive restored into a folder
    NewDatabase,  // a database file made new: where there is no database, it may become it
};

// Why nothing may be written to `path`: it is one of the program's own
// files. They are the program folder's database and each of `databases`,
// with the journal, write-ahead log and shared memory the engine keeps
// beside each, the folder where a database's replaced files are kept and
// what it holds, the files the compaction, the backup and the restore work
// with beside the database, the report files of the program folder and the
// program itself. The path is taken as the system takes it (through links
// and ".."), and names in the program folder match in any case, as the
// program finds its files there. A restored file may replace a report file
// (a backup may hold a center's own reports). Empty when `path` may be
// written.
QString refusedOutput(const QString &path, OutputKind kind = OutputKind::NewFile,
                      const QStringList &databases = QStringList());
// The same check: which of the program's own files `path` is ("the database
// itself", "the report file Complete.rpt of the program folder"), or empty.
QString ownFile(const QString &path, OutputKind kind = OutputKind::NewFile,
                const QStringList &databases = QStringList());

// Where a file made at `path` lands: the folders that exist resolved as the
// system resolves them (links, ".."), the rest and the name as written.
QString landingPath(const QString &path);

// A file the program writes for the operator (a report's PDF, a CSV export,
// a backup archive), written under a name of its own beside the destination
// and given the destination's name only when whole: a failure, a
// cancellation or a kill never leaves half a file under that name. The
// destination is checked first (refusedOutput); what an ended run left
// beside the same destination is removed; the file written meanwhile
// carries this process's tag and is noted, so that the next start removes
// it should this process be killed.
class OutputFile
{
public:
    // `databases`: databases besides the program folder's that the output
    // must not land on.
    explicit OutputFile(const QString &destination, const QStringList &databases = QStringList());
    ~OutputFile(); // a file not committed goes
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    // Checks the destination and names the file to write; false with the
    // reason for the operator.
    bool prepare(QString *error);
    QString destination() const { return m_destination; }
    // The file to write, which prepare() names; nothing is there yet.
    QString partialPath() const { return m_partial; }

    // Puts the written file on the disk and gives it the destination's name
    // in one step (a link at the name is replaced, never written through).
    bool commit(QString *error);
    // Removes what was written, and what a library wrote beside it.
    void discard();

private:
    QString m_destination;
    QStringList m_databases;
    QString m_partial;
    bool m_committed = false;
};

} // namespace store
