#include "zip/ZipCommon.h"

#include "zip/ZipSplit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <cerrno>

// List, test and extract: reading an archive, a split set joined first.
namespace backup {

using namespace zipresult;
using namespace engine;

namespace {

struct ReadRequest {
    ZipSettings &settings;
    EventPump *pump; // null: no events (entry count)
    int flags = ZIP_RDONLY;
    JoinedSet *joined = nullptr; // the set read last; null: not kept
};

// The drive holds the last disk of a set (or an ordinary archive).
bool holdsLastDisk(const QString &path)
{
    return QFileInfo(path).isFile() && splitDiskCount(path).has_value();
}

quint16 openArchive(const ReadRequest &request, Reader &reader, const QString &path)
{
    int error = 0;
    reader.za = zip_open(QFile::encodeName(path).constData(), request.flags, &error);
    if (!reader.za)
        return codeForOpen(error);
    const ZipSettings &settings = request.settings;
    if (!settings.password.isEmpty()
        && zip_set_default_password(reader.za, settings.password.toUtf8().constData()) != 0)
        return InsufficientMemory;
    return Success;
}

quint16 openJoined(const ReadRequest &request, Reader &reader, const QString &path,
                   const std::shared_ptr<WorkFolder> &folder)
{
    reader.scratch = folder;
    return openArchive(request, reader, path);
}

// Opens the named archive for reading, joining a split set first.
quint16 openForReading(const ReadRequest &request, Reader &reader)
{
    const ZipSettings &settings = request.settings;
    if (settings.zipFilename.isEmpty())
        return InvalidSettings;
    const bool asking = request.pump && request.pump->events().Newdisk;
    // A set just read or written is not asked for disk by disk again.
    if (request.joined && request.joined->folder && request.joined->zipFilename == settings.zipFilename
        && settings.multidisk && asking)
        return openJoined(request, reader, request.joined->path, request.joined->folder);
    std::optional<Location> where = locate(settings.zipFilename);
    // A set on drive A is read from its last disk first; it is asked for
    // only when the drive does not hold it.
    if (where && where->onDriveA && settings.multidisk && asking) {
        for (int attempt = 0; attempt < 3 && !(where && holdsLastDisk(where->local)); ++attempt) {
            request.pump->events().Newdisk(0);
            request.pump->pump();
            where = locate(settings.zipFilename);
        }
    }
    if (!where)
        return FileNotFound;
    QFileInfo info(where->local);
    if (!info.isFile())
        return FileNotFound;
    QString path = where->local;
    const std::optional<int> disks = splitDiskCount(path);
    if (disks && *disks > 1) {
        if (!settings.multidisk)
            return MultidiskNeedsMode;
        if (!request.pump)
            return NotForMultidisk; // counting only: disks are not asked for
        auto scratch = std::make_shared<WorkFolder>();
        if (!scratch->isValid())
            return TempFileProblem;
        // Keep the last disk before others are put in the drive.
        const QString last = scratch->filePath(QStringLiteral("last.zip"));
        if (!QFile::copy(path, last))
            return ReadError;
        EventPump *pump = request.pump;
        const Location drive = *where;
        const QString name = settings.zipFilename;
        bool wrongDisk = false;
        auto diskPath = [&drive, pump, &name, &wrongDisk](
                            int index, const std::function<bool(const QString &)> &isDisk) -> std::optional<QString> {
            if (!drive.onDriveA) {
                const QFileInfo archive(drive.local);
                const QString part =
                    archive.dir().filePath(archive.completeBaseName() + QStringLiteral(".z")
                                           + QString::number(index + 1).rightJustified(2, QLatin1Char('0')));
                if (QFileInfo(part).isFile() && isDisk(part))
                    return part;
                return std::nullopt;
            }
            // Each disk is asked for once; a disk that is not the one wanted
            // (of another set, or another disk of this one) is not read, and
            // the same disk is asked for again.
            for (int attempt = 0; attempt < 3; ++attempt) {
                if (pump->events().Newdisk)
                    pump->events().Newdisk(index + 1);
                pump->pump();
                if (pump->aborted())
                    return std::nullopt;
                const platform::DriveA now = platform::DriveA::current();
                std::optional<QString> candidate = now.takenOutDisk(index + 1);
                if (!candidate) {
                    const std::optional<QString> inDrive = now.toLocal(name);
                    if (inDrive && QFileInfo(*inDrive).isFile())
                        candidate = inDrive;
                }
                if (candidate && isDisk(*candidate))
                    return candidate;
            }
            wrongDisk = true;
            return std::nullopt;
        };
        path = scratch->filePath(QStringLiteral("joined.zip"));
        const quint16 joined = joinSplitArchive(last, diskPath, path);
        if (request.pump->aborted())
            return UserAborted;
        if (joined != Success)
            return wrongDisk ? WrongDiskTooOften : joined;
        QFile::remove(last);
        if (request.joined && drive.onDriveA)
            *request.joined = {settings.zipFilename, path, scratch};
        return openJoined(request, reader, path, scratch);
    }
    return openArchive(request, reader, path);
}

enum class EntryRead { Ok, Aborted, Skipped, WriteFailed, DiskFull };

// Reads one entry, handing the data to sink (which may be empty for a test).
EntryRead readEntry(zip_t *za, zip_int64_t index, qint64 size, EventPump &pump, int &skipReason,
                    const std::function<bool(const char *, qint64)> &sink, bool &diskFull)
{
    zip_file_t *file = zip_fopen_index(za, zip_uint64_t(index), 0);
    if (!file) {
        const int code = zip_error_code_zip(zip_get_error(za));
        skipReason = code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD ? skipreason::BadPassword
            : code == ZIP_ER_COMPNOTSUPP || code == ZIP_ER_ENCRNOTSUPP     ? skipreason::UnknownCompression
                                                                           : skipreason::CorruptedData;
        return EntryRead::Skipped;
    }
    pump.resetStatus();
    pump.status(0);
    std::vector<char> buffer(1 << 16);
    qint64 done = 0;
    EntryRead result = EntryRead::Ok;
    for (;;) {
        if (pump.aborted()) {
            result = EntryRead::Aborted;
            break;
        }
        const zip_int64_t n = zip_fread(file, buffer.data(), buffer.size());
        if (n < 0) {
            const int code = zip_error_code_zip(zip_file_get_error(file));
            skipReason = code == ZIP_ER_CRC  ? skipreason::BadCrc
                : code == ZIP_ER_WRONGPASSWD ? skipreason::BadPassword
                                             : skipreason::CorruptedData;
            result = EntryRead::Skipped;
            break;
        }
        if (n == 0)
            break;
        if (sink && !sink(buffer.data(), n)) {
            result = diskFull ? EntryRead::DiskFull : EntryRead::WriteFailed;
            break;
        }
        done += n;
        if (size > 0)
            pump.status(int(qMin<qint64>(done, size) * 100 / size));
    }
    zip_fclose(file);
    if (result == EntryRead::Ok)
        pump.status(100);
    return result;
}

} // namespace

int ZipMain::Private::entryCount()
{
    Reader reader;
    const quint16 opened = openForReading(ReadRequest{settings, nullptr}, reader);
    if (opened == NotForMultidisk) {
        // A split set: the last disk's end record tells, no disk is asked for.
        const std::optional<Location> where = locate(settings.zipFilename);
        return where ? announcedEntryCount(where->local).value_or(0) : 0;
    }
    if (opened != Success)
        return 0;
    return int(zip_get_num_entries(reader.za, 0));
}

// ---------------------------------------------------------------------------
// List, test, extract

quint16 ZipMain::Private::list()
{
    EventPump pump(events, settings);
    Reader reader;
    if (const quint16 opened = openForReading(ReadRequest{settings, &pump, ZIP_RDONLY, &joined}, reader))
        return opened;
    const zip_int64_t count = zip_get_num_entries(reader.za, 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        if (zip_stat_index(reader.za, zip_uint64_t(i), 0, &st) != 0)
            return CorruptedArchive;
        if (events.Listing)
            events.Listing(displayName(st.name), qint64(st.size), qint64(st.comp_size), fTime(st.mtime),
                           ratioOf(qint64(st.size), qint64(st.comp_size)));
        pump.pump();
    }
    return Success;
}

quint16 ZipMain::Private::test()
{
    EventPump pump(events, settings);
    Reader reader;
    ReadRequest request{settings, &pump, ZIP_RDONLY | ZIP_CHECKCONS, &joined};
    if (const quint16 opened = openForReading(request, reader))
        return opened == CorruptedArchive ? TestFailed : opened;
    QStringList missing;
    const QList<zip_int64_t> picked = selectEntries(reader.za, namesToProcess(), missing);
    bool skipped = false;
    for (const QString &name : missing) {
        if (events.SkippingFile)
            events.SkippingFile(name, skipreason::FileNotFound);
        skipped = true;
    }
    int tested = 0;
    bool failed = false;
    for (zip_int64_t index : picked) {
        zip_stat_t st;
        if (zip_stat_index(reader.za, zip_uint64_t(index), 0, &st) != 0) {
            failed = true;
            continue;
        }
        if (events.Testing)
            events.Testing(displayName(st.name), qint64(st.size));
        pump.pump();
        int reason = 0;
        bool full = false;
        switch (readEntry(reader.za, index, qint64(st.size), pump, reason, {}, full)) {
        case EntryRead::Ok: ++tested; break;
        case EntryRead::Aborted: return UserAborted;
        case EntryRead::Skipped:
            if (reason == skipreason::BadPassword || reason == skipreason::UnknownCompression) {
                skipped = true;
            } else {
                failed = true;
            }
            if (events.SkippingFile)
                events.SkippingFile(displayName(st.name), reason);
            break;
        default: failed = true; break;
        }
    }
    if (failed)
        return TestFailed;
    if (tested == 0)
        return NothingTested;
    return skipped ? SkippedFiles : Success;
}

quint16 ZipMain::Private::extract(int /*mode*/)
{
    EventPump pump(events, settings);
    Reader reader;
    if (const quint16 opened = openForReading(ReadRequest{settings, &pump, ZIP_RDONLY, &joined}, reader))
        return opened;

    QString folder = settings.extractFolder.trimmed();
    if (folder.isEmpty())
        folder = QDir::currentPath();
    const std::optional<QString> localFolder = platform::localPath(folder);
    if (!localFolder)
        return CreateFolderError;
    const QDir target(QDir::current().absoluteFilePath(*localFolder));
    if (!target.exists() && !QDir().mkpath(target.absolutePath()))
        return CreateFolderError;

    QStringList missing;
    const QList<zip_int64_t> picked = selectEntries(reader.za, namesToProcess(), missing);
    bool skipped = false;
    auto skip = [&](const QString &name, int reason) {
        skipped = true;
        if (events.SkippingFile)
            events.SkippingFile(name, reason);
        pump.pump();
    };
    for (const QString &name : missing)
        skip(name, skipreason::FileNotFound);

    OwnerOnlyUmask mask;
    for (zip_int64_t index : picked) {
        if (pump.aborted())
            return UserAborted;
        zip_stat_t st;
        if (zip_stat_index(reader.za, zip_uint64_t(index), 0, &st) != 0)
            return CorruptedArchive;
        const QString entry = QString::fromUtf8(st.name);
        const QString shown = displayName(st.name);
        const std::optional<QString> relative = safeRelativePath(entry);
        if (!relative) {
            skip(shown, skipreason::CannotOpen);
            continue;
        }
        const QString destination = target.filePath(*relative);
        if (events.Place && !events.Place(shown, destination))
            continue;
        if (entry.endsWith(QLatin1Char('/'))) {
            if (!QDir().mkpath(destination))
                return CreateFolderError;
            continue;
        }
        if (!QDir().mkpath(QFileInfo(destination).path()))
            return CreateFolderError;
        if (QFileInfo::exists(destination)) {
            int cmd = replacecmd::Keep;
            if (events.Replace)
                events.Replace(destination, cmd);
            pump.pump();
            if (pump.aborted())
                return UserAborted;
            if (cmd != replacecmd::Replace)
                continue;
        }
        if (events.Extracting)
            events.Extracting(shown, qint64(st.size));
        pump.pump();

        // The data goes to a temporary file beside the target, which takes
        // the target's place only once it is whole.
        // An entry that says it is bigger than the room left is not begun.
        const qint64 room = QStorageInfo(QFileInfo(destination).absolutePath()).bytesAvailable();
        if (room >= 0 && qint64(st.size) > room)
            return DiskFull;
        QTemporaryFile part(QFileInfo(destination).dir().filePath(QStringLiteral(".vantrel-XXXXXX")));
        if (!part.open())
            return errno == ENOSPC ? DiskFull : CreateError;
        bool full = false;
        bool refused = false;
        qint64 written = 0;
        auto write = [&](const char *data, qint64 n) {
            // Nothing is kept of an entry its owner refuses by its first
            // bytes, nor beyond the size the archive states for it.
            if (written == 0 && events.Admit && !events.Admit(shown, QByteArray(data, int(qMin<qint64>(n, 4096))))) {
                refused = true;
                return false;
            }
            written += n;
            if (written > qint64(st.size)) {
                refused = true;
                return false;
            }
            if (part.write(data, n) == n)
                return true;
            full = part.error() == QFileDevice::ResourceError;
            return false;
        };
        int reason = 0;
        const EntryRead read = readEntry(reader.za, index, qint64(st.size), pump, reason, write, full);
        if (refused) {
            skip(shown, skipreason::CorruptedData);
            continue;
        }
        switch (read) {
        case EntryRead::Ok: break;
        case EntryRead::Aborted: return UserAborted;
        case EntryRead::Skipped: skip(shown, reason); continue;
        case EntryRead::DiskFull: return DiskFull;
        case EntryRead::WriteFailed: return WriteError;
        }
        if (!part.flush())
            return part.error() == QFileDevice::ResourceError ? DiskFull : WriteError;
        part.setFileTime(QDateTime::fromSecsSinceEpoch(qint64(st.mtime)), QFileDevice::FileModificationTime);
        part.close();
        if (::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(destination).constData()) != 0)
            return WriteError;
        part.setAutoRemove(false);
        makeOwnerOnly(destination);
    }
    return skipped ? SkippedFiles : Success;
}

} // namespace backup
