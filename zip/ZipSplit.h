#pragma once

// Split archives across disks: the writer cuts an ordinary archive into the
// parts of a standard split set, the joiner puts a set back into one
// ordinary archive. Both only move bytes and fix offsets; the compressed
// data is not touched.

#include <QString>
#include <functional>
#include <optional>

namespace backup {

class EventPump;

// Where the parts of a split set go, one disk at a time.
class DiskSink
{
public:
    virtual ~DiskSink() = default;
    // Makes disk n (1-based) ready to write: asks for it, erases it when
    // asked to. Returns 0 or a result code.
    virtual quint16 prepareDisk(int diskNumber) = 0;
    // The file the part of disk n is written to, and the bytes it may hold.
    virtual QString partPath(int diskNumber) = 0;
    virtual qint64 capacity(int diskNumber) = 0;
    // Disk n is full and written; a further disk follows.
    virtual quint16 finishDisk(int diskNumber, const QString &partPath) = 0;
};

// Writes the ordinary archive at source as a split set. A set that fits on
// one disk is written as an ordinary archive.
quint16 writeSplitArchive(const QString &source, DiskSink &sink, EventPump &pump);

// The disks of a split set are found through diskPath(i, isDisk) (i
// 0-based; the last disk is already known); isDisk tells whether a file can
// be disk i of this set (it is no last disk, and the entries the central
// directory places on disk i begin where it says, under their names).
// Writes the joined ordinary archive to target.
using DiskFinder = std::function<std::optional<QString>(int index, const std::function<bool(const QString &)> &isDisk)>;
quint16 joinSplitArchive(const QString &lastDisk, const DiskFinder &diskPath, const QString &target);

// How many disks the set ends by this file has (1 for an ordinary archive);
// nullopt when the file is no archive.
std::optional<int> splitDiskCount(const QString &file);
// The number of entries the end record of the file announces.
std::optional<int> announcedEntryCount(const QString &file);

} // namespace backup
