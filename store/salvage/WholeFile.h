#pragma once

#include "store/EngineError.h"

#include <QList>
#include <QString>
#include <functional>

namespace store {

// The words a text read only in part ends with, after a repair.
inline QString cutTextMark()
{
    return QStringLiteral(" [the rest could not be read]");
}

// What a repair brought back of one table.
struct TableRepair {
    QString table;
    qint64 recovered = 0;     // rows copied into the repaired file
    qint64 lost = 0;          // rows known to have been there that no readable page holds
    bool lostAtLeast = false; // more may be lost: neither its tree nor an index of it was whole
    qint64 textsCut = 0;      // rows with a text read only in part, marked by cutTextMark()
    // A table the repair added: rows found outside the tree of `rowsOf`
    // (possibly deleted ones), or rows of `rowsOf` that broke one of its
    // unique indexes or other rules.
    enum class Kind { Table, FoundOutside, KeptApart };
    Kind kind = Kind::Table;
    QString rowsOf;
};

struct RepairReport {
    qint64 rowsRecovered = 0;    // rows copied into the repaired file, every table
    qint64 rowsLost = 0;         // rows known to exist (from the pages and indexes) that could not be read
    qint64 rowsUnmatched = 0;    // rows read from pages that fit no table, or several alike
    bool wasDamaged = false;     // the integrity check found damage
    bool centerRowAdded = false; // the center's settings were lost; a fresh row was put in
    QList<TableRepair> tables;
    QString damagedCopy;              // where the damaged file was kept
    bool damagedCopyIsChange = false; // kept as a change that can be undone, not beside the database

    const TableRepair *table(const QString &name) const;
};

// Work on whole database files, beside the engine's connections: the engine
// object offers it as its own.
namespace DBEngine {

// What becomes of the source of a compaction once it succeeds.
enum class CompactedSource {
    Kept,
    // The caller puts the copy in its place: the source's pages held in
    // memory are let go beside the copy's check, rather than by the rename
    // that removes the file.
    Replaced,
};

// Writes a complete, compacted copy of `source` into `destination`, which
// must not exist yet. The copy is checked before this returns true; on
// failure no destination file is left behind.
bool CompactDatabase(const QString &source, const QString &destination, EngineError *error,
                     CompactedSource after = CompactedSource::Kept);

// Repairs the file in place: when the file cannot be opened or the
// integrity check finds damage, every row that can still be read from its
// pages is copied into a fresh file with every table of the damaged one. The
// fresh file takes the name; the damaged one is kept beside it, under a name
// that says what it is, or where `keeper` says.
//
// A keeper is given the damaged file's path and the checked repaired copy
// before the copy takes the name; it may write into the copy (that the
// damaged file is kept, and where) and returns the name the damaged file is
// to be kept under, or an empty name for the usual one beside it.
using DamagedFileKeeper = std::function<QString(const QString &damaged, const QString &repairedCopy)>;
bool RepairDatabase(const QString &path, EngineError *error, RepairReport *report = nullptr,
                    const DamagedFileKeeper &keeper = {});

} // namespace DBEngine
} // namespace store
