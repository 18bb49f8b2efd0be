#include "zip/ZipCommon.h"

#include "deflate/ParallelDeflate.h"
#include "platform/Leftovers.h"
#include "zip/ZipSplit.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <zlib.h>

// Add, update, delete and the archive's date: writing an archive, onto the
// disks of drive A when it spans them.
namespace backup {

using namespace zipresult;
using namespace engine;

namespace {

// A file read into an archive in pieces, raising Adding/Updating when libzip
// opens it and Status as it is read, and stopping on an abort. At levels 1
// to 9 it hands libzip deflated data itself, so that the deflate settings
// are ours (a smaller block buffer keeps database files about as small as
// Info-ZIP makes them) and the work is spread over every core: the file is
// read here, on the calling thread, and its blocks are deflated beside it.
struct FileSource {
    QString path;
    QString shownName;
    qint64 size = 0;
    time_t mtime = 0;
    bool update = false;
    int level = 6;
    EventPump *pump = nullptr;
    QFile file;
    qint64 done = 0;
    zip_error_t error;
    bool failedReading = false;
    bool abortedHere = false;
    // Deflating
    std::unique_ptr<parallel::ParallelDeflate> deflater;
    bool finished = false;
    quint32 crc = 0;

    static zip_int64_t callback(void *userdata, void *data, zip_uint64_t len, zip_source_cmd_t cmd)
    {
        auto *self = static_cast<FileSource *>(userdata);
        return self->handle(data, len, cmd);
    }

    zip_int64_t fail(int zipError, int sysError)
    {
        zip_error_set(&error, zipError, sysError);
        return -1;
    }

    // Reads the next piece of the file; -1 on failure.
    qint64 readPiece(char *into, qint64 length)
    {
        if (pump->aborted()) {
            abortedHere = true;
            return fail(ZIP_ER_CANCELLED, 0);
        }
        const qint64 n = file.read(into, length);
        if (n < 0) {
            failedReading = true;
            return fail(ZIP_ER_READ, EIO);
        }
        done += n;
        if (size > 0)
            pump->status(int(qMin(done, size) * 100 / size));
        return n;
    }

    zip_int64_t deflateInto(char *out, zip_uint64_t len)
    {
        const qsizetype room = qsizetype(qMin<zip_uint64_t>(len, 1u << 30));
        qsizetype written = 0;
        while (written < room && !deflater->atEnd()) {
            if (deflater->wantsInput()) {
                // Read in the pieces progress is told by, a block at a time.
                QByteArray block(deflater->blockSize(), Qt::Uninitialized);
                qint64 filled = 0;
                for (qint64 n = 1; n > 0 && filled < block.size(); filled += n) {
                    n = readPiece(block.data() + filled, qMin<qint64>(block.size() - filled, 1 << 16));
                    if (n < 0)
                        return -1;
                }
                if (filled == 0) {
                    deflater->endInput();
                } else {
                    block.truncate(filled);
                    deflater->addInput(std::move(block));
                }
                continue;
            }
            const qsizetype n = deflater->takeOutput(out + written, room - written);
            if (n < 0)
                return fail(ZIP_ER_ZLIB, 0);
            written += n;
        }
        if (deflater->atEnd()) {
            crc = deflater->crc();
            finished = true;
        }
        return zip_int64_t(written);
    }

    zip_int64_t handle(void *data, zip_uint64_t len, zip_source_cmd_t cmd)
    {
        switch (cmd) {
        case ZIP_SOURCE_OPEN: {
            file.setFileName(path);
            if (!file.open(QIODevice::ReadOnly)) {
                failedReading = true;
                return fail(ZIP_ER_OPEN, EACCES);
            }
            done = 0;
            if (level > 0) {
                parallel::ParallelDeflate::Options options;
                options.level = level;
                // Levels from 6 up keep smaller blocks: on database pages
                // the codes then follow the data more closely.
                options.memLevel = level >= 6 ? 7 : 8;
                options.blockSize = 512 * 1024;
                deflater = std::make_unique<parallel::ParallelDeflate>(options);
                finished = false;
            }
            ZipEvents &events = pump->events();
            const auto &raise = update ? events.Updating : events.Adding;
            if (raise)
                raise(shownName, size);
            pump->resetStatus();
            pump->pump();
            return 0;
        }
        case ZIP_SOURCE_READ:
            if (level > 0)
                return deflateInto(static_cast<char *>(data), len);
            return readPiece(static_cast<char *>(data), qint64(len));
        case ZIP_SOURCE_CLOSE:
            file.close();
            deflater.reset();
            if (size <= 0)
                pump->status(100);
            return 0;
        case ZIP_SOURCE_STAT: {
            auto *st = static_cast<zip_stat_t *>(data);
            zip_stat_init(st);
            st->size = zip_uint64_t(size);
            st->mtime = mtime;
            st->valid = ZIP_STAT_SIZE | ZIP_STAT_MTIME;
            if (level > 0) {
                st->comp_method = ZIP_CM_DEFLATE;
                st->valid |= ZIP_STAT_COMP_METHOD;
                // The CRC is known once the data has been read.
                if (finished) {
                    st->crc = crc;
                    st->valid |= ZIP_STAT_CRC;
                }
            }
            return sizeof(zip_stat_t);
        }
        case ZIP_SOURCE_ERROR: return zip_error_to_data(&error, data, len);
        case ZIP_SOURCE_FREE: return 0;
        case ZIP_SOURCE_SUPPORTS:
            return zip_source_make_command_bitmap(ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT,
                                                  ZIP_SOURCE_ERROR, ZIP_SOURCE_FREE, -1);
        default: return fail(ZIP_ER_OPNOTSUPP, 0);
        }
    }
};

// One file chosen for adding, with the entry name it gets.
struct FileToAdd {
    QString path;
    QString entry;
    QString shownName;
    bool folder = false;
};

// Entry names: a relative name keeps its folders, an absolute one only the
// name itself; ".." and empty parts never reach the archive.
QString entryNameForFile(const QString &given, const QFileInfo &info)
{
    QString rel = given;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QDir::isAbsolutePath(rel) || platform::DriveA::isDriveAPath(given))
        return info.fileName();
    QStringList kept;
    for (const QString &part : rel.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part == QLatin1String(".") || part == QLatin1String(".."))
            continue;
        kept << part;
    }
    return kept.join(QLatin1Char('/'));
}

// Collects the files of the processing list (folders with what they hold).
quint16 collectFiles(const QStringList &names, QList<FileToAdd> &files,
                     const std::function<void(const QString &, int)> &skip)
{
    QSet<QString> entries;
    auto push = [&](FileToAdd file) {
        if (file.entry.isEmpty())
            return true;
        if (entries.contains(file.entry))
            return false;
        entries.insert(file.entry);
        files << file;
        return true;
    };
    for (const QString &given : names) {
        const std::optional<QString> local = platform::localPath(given);
        const QFileInfo info(local ? QDir::current().absoluteFilePath(*local) : QString());
        if (!local || !info.exists()) {
            skip(given, skipreason::FileNotFound);
            continue;
        }
        const QString entry = entryNameForFile(given, info);
        if (!info.isDir()) {
            QFile probe(info.absoluteFilePath());
            if (!probe.open(QIODevice::ReadOnly)) {
                skip(given, skipreason::CannotOpen);
                continue;
            }
            if (!push(FileToAdd{info.absoluteFilePath(), entry, displayName(entry.toUtf8().constData()), false}))
                return DuplicateNames;
            continue;
        }
        if (!push(FileToAdd{info.absoluteFilePath(), entry + QLatin1Char('/'), QString(), true}))
            return DuplicateNames;
        QDirIterator it(info.absoluteFilePath(), QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        const QDir base(info.absoluteFilePath());
        while (it.hasNext()) {
            const QFileInfo inner(it.next());
            const QString innerEntry = entry + QLatin1Char('/') + base.relativeFilePath(inner.absoluteFilePath())
                + (inner.isDir() ? QStringLiteral("/") : QString());
            if (!push(FileToAdd{inner.absoluteFilePath(), innerEntry, QString(), inner.isDir()}))
                return DuplicateNames;
        }
    }
    for (FileToAdd &file : files)
        file.shownName = displayName(file.entry.toUtf8().constData());
    return Success;
}

// The disks of drive A, one after the other: the next is asked for through
// Newdisk; a simulated drive puts the full one aside and is empty again.
//
// Each part is written under a name of its own in the drive's folder (one
// that carries this process's tag, so that the next start removes it should
// the process be killed) and takes the archive's name only once whole and on
// the medium, so that a stick pulled out or a program killed meanwhile leaves
// the previous backup in place. Clearing the disk removes what else belongs
// to the archive (on a volume, the rest of the folder of ours); the previous
// archive goes first only when the new one would not fit beside it, and
// never when the file system could not hold the new one even then: that is
// told as a lack of room.
class DriveASink : public DiskSink
{
public:
    DriveASink(const QString &archiveName, bool clearDisks, qint64 needed, EventPump &pump)
        : m_name(archiveName), m_clear(clearDisks), m_needed(needed), m_pump(pump)
    {
    }

    quint16 prepareDisk(int diskNumber) override
    {
        for (int attempt = 0; attempt < 3; ++attempt) {
            if (diskNumber > 1) {
                if (m_pump.events().Newdisk)
                    m_pump.events().Newdisk(diskNumber);
                m_pump.pump();
            }
            if (m_pump.aborted())
                return UserAborted;
            m_drive = platform::DriveA::current();
            const std::optional<QString> part = m_drive.toLocal(m_name);
            if (!part)
                continue; // no disk: ask again
            m_final = *part;
            m_part = platform::Leftovers::taggedName(m_final, QStringLiteral(".partial-"));
            // The disk just written, put back instead of a new one.
            if (diskNumber > 1 && !m_drive.simulated() && !m_clear && QFileInfo::exists(m_final))
                continue;
            if (!m_drive.makeFolder())
                return CreateError;
            platform::Leftovers::expect(m_part);
            QFile::remove(m_part);
            if (m_clear)
                return clear();
            return Success;
        }
        return diskNumber > 1 ? WrongDiskTooOften : CreateError;
    }

    QString partPath(int) override { return m_part; }

    qint64 capacity(int) override
    {
        // A real file system needs room for its own bookkeeping.
        const qint64 free = m_drive.freeSpace();
        return m_drive.simulated() ? free : free - qMin<qint64>(free, kBookkeeping);
    }

    quint16 finishDisk(int diskNumber, const QString &partPath) override
    {
        m_placed += QFileInfo(partPath).size();
        if (const quint16 placed = place(partPath))
            return placed;
        if (m_drive.simulated() && !m_drive.takeOut(m_final, diskNumber))
            return WriteError;
        return Success;
    }

    // The last part is written: it takes the archive's name.
    quint16 complete() { return place(m_part); }
    // A failed run leaves no half-written part, and the previous archive stays.
    void discard()
    {
        if (!m_part.isEmpty())
            QFile::remove(m_part);
    }

private:
    static constexpr qint64 kBookkeeping = 64 * 1024;

    quint16 clear()
    {
        if (!m_drive.clearFor(QFileInfo(m_final).fileName()))
            return WriteError;
        const qint64 previous = QFileInfo(m_final).isFile() ? QFileInfo(m_final).size() : 0;
        // What this disk is to hold: the rest of the archive, or a disk full.
        const qint64 wanted = qMin(m_needed - m_placed, capacity(0) + previous);
        if (m_drive.simulated() && m_drive.roomOnFileSystem() + previous - kBookkeeping < wanted)
            return NoRoom;
        if (previous > 0 && capacity(0) < m_needed - m_placed && !QFile::remove(m_final))
            return WriteError;
        return Success;
    }

    quint16 place(const QString &partPath)
    {
        makeOwnerOnly(partPath);
        if (!m_drive.sync(partPath)
            || ::rename(QFile::encodeName(partPath).constData(), QFile::encodeName(m_final).constData()) != 0
            || !m_drive.sync(m_final))
            return WriteError;
        return Success;
    }

    QString m_name;
    bool m_clear;
    qint64 m_needed;
    qint64 m_placed = 0; // bytes written on the disks before this one
    EventPump &m_pump;
    platform::DriveA m_drive;
    QString m_final;
    QString m_part;
};

quint16 writeToDriveA(const QString &built, const QString &archiveName, bool clearDisks, EventPump &pump)
{
    OwnerOnlyUmask mask;
    DriveASink sink(archiveName, clearDisks, QFileInfo(built).size(), pump);
    quint16 written = writeSplitArchive(built, sink, pump);
    if (written == Success)
        written = sink.complete();
    if (written != Success)
        sink.discard();
    return written;
}

} // namespace

quint16 ZipMain::Private::add(int mode)
{
    joined = {};
    EventPump pump(events, settings);
    if (settings.zipFilename.isEmpty())
        return InvalidSettings;
    const std::optional<Location> where = locate(settings.zipFilename);
    if (!where)
        return CreateError;
    const bool update = mode == addmode::Update;

    bool skipped = false;
    auto skip = [&](const QString &name, int reason) {
        skipped = true;
        if (events.SkippingFile)
            events.SkippingFile(name, reason);
        pump.pump();
    };
    QList<FileToAdd> files;
    if (const quint16 collected = collectFiles(namesToProcess(), files, skip))
        return collected;

    const bool spanning = settings.multidisk && where->onDriveA;
    // Clearing the disks writes the set anew: what the disk held is replaced
    // once the new set is whole, never added to.
    const bool exists = !(spanning && settings.clearDisks) && QFileInfo(where->local).isFile();
    if (exists) {
        const std::optional<int> disks = splitDiskCount(where->local);
        if (disks && *disks > 1)
            return settings.multidisk ? NotForMultidisk : MultidiskNeedsMode;
    }
    if (spanning && exists) {
        // A set grows only by being written anew.
        return NotForMultidisk;
    }
    // On drive A the archive is built elsewhere and goes onto the disk only
    // when it is whole and fits.
    const bool staged = where->onDriveA;
    auto scratch = std::make_shared<WorkFolder>();
    QString workPath = where->local;
    if (staged) {
        if (!scratch->isValid())
            return TempFileProblem;
        workPath = scratch->filePath(QStringLiteral("staged.zip"));
        if (exists && !QFile::copy(where->local, workPath))
            return ReadError;
    }

    OwnerOnlyUmask mask;
    int openError = 0;
    // The sources outlive the handle: libzip frees them when it lets go.
    std::vector<std::unique_ptr<FileSource>> sources;
    ZipHandle za(zip_open(QFile::encodeName(workPath).constData(), ZIP_CREATE, &openError));
    if (!za)
        return codeForOpen(openError);

    QSet<QString> wanted;
    for (const FileToAdd &file : files) {
        const QByteArray entry = file.entry.toUtf8();
        const zip_int64_t existing = zip_name_locate(za, entry.constData(), 0);
        const QFileInfo info(file.path);
        if (file.folder) {
            if (existing < 0 && zip_dir_add(za, entry.chopped(1).constData(), ZIP_FL_ENC_UTF_8) < 0) {
                const quint16 code = codeFor(zip_get_error(za), InvalidSettings);
                za.discard();
                return code;
            }
            continue;
        }
        if (update && existing >= 0) {
            zip_stat_t st;
            // Zip times are kept to two seconds: a file at most one second
            // newer than its entry is the same file.
            if (zip_stat_index(za, zip_uint64_t(existing), 0, &st) == 0
                && info.lastModified().toSecsSinceEpoch() - qint64(st.mtime) <= 1) {
                if (events.SkippingFile)
                    events.SkippingFile(file.shownName, skipreason::UpToDate);
                pump.pump();
                continue;
            }
        }
        auto source = std::make_unique<FileSource>();
        source->path = file.path;
        source->shownName = file.shownName;
        source->size = info.size();
        source->mtime = time_t(info.lastModified().toSecsSinceEpoch());
        source->update = update;
        source->level = settings.level;
        source->pump = &pump;
        zip_error_init(&source->error);
        zip_source_t *zs = zip_source_function(za, &FileSource::callback, source.get());
        if (!zs) {
            za.discard();
            return InsufficientMemory;
        }
        const zip_int64_t index = existing >= 0
            ? (zip_file_replace(za, zip_uint64_t(existing), zs, 0) == 0 ? existing : -1)
            : zip_file_add(za, entry.constData(), zs, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(zs);
            za.discard();
            return InvalidSettings;
        }
        const zip_uint64_t at = zip_uint64_t(index);
        sources.push_back(std::move(source));
        if ((settings.level == 0 && zip_set_file_compression(za, at, ZIP_CM_STORE, 0) != 0)
            || zip_file_set_external_attributes(za, at, 0, ZIP_OPSYS_UNIX, zip_uint32_t(0100600) << 16) != 0) {
            const quint16 code = codeFor(zip_get_error(za), InvalidSettings);
            za.discard();
            return code;
        }
        // An entry asked to be encrypted is never written in the clear: the
        // whole method fails and the archive stays as it was.
        if (!settings.password.isEmpty()
            && zip_file_set_encryption(za, at, encryptionMethod(), settings.password.toUtf8().constData()) != 0) {
            za.discard();
            return EncryptionFailed;
        }
    }

    const bool empty = zip_get_num_entries(za, 0) == 0;
    if (empty) {
        za.discard();
        if (!exists && !writeEmptyArchive(staged ? workPath : where->local))
            return CreateError;
        if (!staged)
            return skipped ? SkippedFiles : Success;
    } else if (!za.close()) {
        zip_error_t *error = zip_get_error(za);
        quint16 code = codeFor(error, WriteError);
        for (const auto &source : sources) {
            if (source->abortedHere)
                code = UserAborted;
            else if (source->failedReading && code != UserAborted)
                code = ReadError;
        }
        za.discard();
        return code;
    }
    if (pump.aborted())
        return UserAborted;
    makeOwnerOnly(workPath);
    if (!staged)
        return skipped ? SkippedFiles : Success;

    if (spanning) {
        const quint16 written = writeToDriveA(workPath, settings.zipFilename, settings.clearDisks, pump);
        if (written)
            return written;
        // What was just written is what the disks hold: listing it again
        // asks for no disk.
        joined = {settings.zipFilename, workPath, scratch};
        return skipped ? SkippedFiles : Success;
    }
    // A single archive on drive A: it must fit on the disk beside what else is there.
    const qint64 size = QFileInfo(workPath).size();
    const qint64 room = where->drive.freeSpace() + (exists ? QFileInfo(where->local).size() : 0);
    if (size > room)
        return DiskFull;
    if (!where->drive.makeFolder())
        return CreateError;
    const QString incoming = where->local + QStringLiteral(".vantrel-part");
    QFile::remove(incoming);
    if (!QFile::copy(workPath, incoming)) {
        QFile::remove(incoming);
        return errno == ENOSPC ? DiskFull : WriteError;
    }
    makeOwnerOnly(incoming);
    if (!where->drive.sync(incoming)
        || ::rename(QFile::encodeName(incoming).constData(), QFile::encodeName(where->local).constData()) != 0
        || !where->drive.sync(where->local)) {
        QFile::remove(incoming);
        return WriteError;
    }
    return skipped ? SkippedFiles : Success;
}

quint16 ZipMain::Private::remove()
{
    joined = {};
    EventPump pump(events, settings);
    std::optional<Location> where;
    if (const quint16 refused = checkArchiveToChange(settings, where))
        return refused;

    OwnerOnlyUmask mask;
    int openError = 0;
    ZipHandle za(zip_open(QFile::encodeName(where->local).constData(), 0, &openError));
    if (!za)
        return codeForOpen(openError);
    QStringList missing;
    const QStringList names = namesToProcess();
    const QList<zip_int64_t> picked = names.isEmpty() ? QList<zip_int64_t>() : selectEntries(za, names, missing);
    bool skipped = false;
    for (const QString &name : missing) {
        skipped = true;
        if (events.SkippingFile)
            events.SkippingFile(name, skipreason::FileNotFound);
        pump.pump();
    }
    for (zip_int64_t index : picked) {
        if (pump.aborted()) {
            za.discard();
            return UserAborted;
        }
        if (events.Deleting)
            events.Deleting(displayName(zip_get_name(za, zip_uint64_t(index), 0)));
        pump.pump();
        if (zip_delete(za, zip_uint64_t(index)) != 0) {
            const quint16 code = codeFor(zip_get_error(za), WriteError);
            za.discard();
            return code;
        }
    }
    if (pump.aborted()) {
        za.discard();
        return UserAborted;
    }
    const bool emptied = zip_get_num_entries(za, ZIP_FL_UNCHANGED) > 0 && !picked.isEmpty() && [&za] {
        const zip_int64_t n = zip_get_num_entries(za, 0);
        for (zip_int64_t i = 0; i < n; ++i)
            if (zip_get_name(za, zip_uint64_t(i), 0))
                return false;
        return true;
    }();
    if (!za.close()) {
        const quint16 code = codeFor(zip_get_error(za), WriteError);
        za.discard();
        return code;
    }
    if (emptied && !writeEmptyArchive(where->local))
        return WriteError;
    makeOwnerOnly(where->local);
    return skipped ? SkippedFiles : Success;
}

quint16 ZipMain::Private::updateZipDate()
{
    joined = {};
    EventPump pump(events, settings);
    std::optional<Location> where;
    if (const quint16 refused = checkArchiveToChange(settings, where))
        return refused;
    Reader reader;
    int openError = 0;
    reader.za = zip_open(QFile::encodeName(where->local).constData(), ZIP_RDONLY, &openError);
    if (!reader.za)
        return codeForOpen(openError);
    time_t newest = 0;
    bool found = false;
    const zip_int64_t count = zip_get_num_entries(reader.za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(reader.za, zip_uint64_t(i), 0, &st) != 0)
            return CorruptedArchive;
        if (QByteArray(st.name).endsWith('/'))
            continue;
        if (!found || st.mtime > newest)
            newest = st.mtime;
        found = true;
    }
    if (!found)
        return NothingToDate;
    QFile file(where->local);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return WriteError;
    if (!file.setFileTime(QDateTime::fromSecsSinceEpoch(qint64(newest)), QFileDevice::FileModificationTime))
        return WriteError;
    return Success;
}

} // namespace backup
