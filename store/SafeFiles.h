#pragma once

#include "store/EngineError.h"

#include <QString>
#include <thread>

namespace store {

// File steps for replacing a database without a moment in which the data is
// missing or only half written. All of them work on paths of one folder.

// Creates an empty file readable and writable by its owner only; fails if
// the name is taken.
bool createOwnerOnlyFile(const QString &path, EngineError *error);

// Asks the disk to start writing the file's pages now, without waiting for
// the writes to finish, so that they overlap with what the caller does next.
void startWriteback(const QString &path);

// While it lives, asks the disk every few milliseconds to start writing the
// pages of a file that another thread is writing, so that the disk works
// beside the writer rather than after it and the final sync has little left
// to wait for. It never waits for the writes; a file it cannot open is left
// to that sync.
class WritebackWhileWriting
{
public:
    explicit WritebackWhileWriting(const QString &path);

private:
    std::jthread m_thread;
};

// Lets go of the file's pages held in memory; the file stays as it is.
// Freeing them costs time, which a caller about to remove the file can
// spend beside other work rather than in the removal.
void dropCachedPages(const QString &path);

// Waits until the file's contents are on the disk.
bool syncFile(const QString &path, EngineError *error);

// Waits until the folder's entries (new names, renames) are on the disk.
bool syncFolder(const QString &folder, EngineError *error);

// Gives `from` the name `to`, which must not exist; never replaces a file.
bool renameNoReplace(const QString &from, const QString &to, EngineError *error);

// Gives `from` the name `to`, replacing the file there in one step: at every
// moment `to` names either the old file or the new one.
bool renameReplacing(const QString &from, const QString &to, EngineError *error);

// The name under which a new file is written until it has passed its check.
// It never names a checked file, so one left by an interrupted run may go.
QString partialNameFor(const QString &destination);

// A free name beside `path` that says what a file set aside is:
// "VANTREL-DAMAGED-2026-12-07.MDB" for what "DAMAGED", with a number added
// when a file of that name is there already.
QString asideNameFor(const QString &path, const QString &what);

// A journal, log or shared-memory file in `folder` that the engine would take
// for that of a database named by one of `databaseNames` ("VANTREL.MDB-journal",
// "-wal", "-shm"), compared without regard to case, since a rename may give
// a database exactly that name. Empty when there is none. The files of
// `ownName`, under exactly that name, are left out: the engine plays them
// back or rolls them back when it opens that database. So are journals the
// engine would not roll back (isColdJournal()): they change no database.
QString journalFileFor(const QString &folder, const QStringList &databaseNames, const QString &ownName = QString());

// Whether the engine would leave a rollback journal as it is rather than
// roll it back into its database: it is empty or its first byte is zero
// (the engine zeroes the header of a journal it is done with), and no
// program holds a lock on any of `databases` (a program that writes a
// database holds one while its journal is being made). A journal that
// cannot be read, or a link, counts as one that would be rolled back.
bool isColdJournal(const QString &journal, const QStringList &databases);

// Whether a file may not be changed: this account may not write it, or no
// one may (an account that may write anything still leaves such a file alone).
bool isReadOnlyFile(const QString &path);

// The text of the system's last error for a file operation.
QString systemErrorText(int errorNumber);

} // namespace store
