#include "backup/ZipEngine.h"

#include "backup/ZipFormat.h"
#include "backup/ZipRepair.h"
#include "backup/ZipSplit.h"
#include "deflate/ParallelDeflate.h"
#include "platform/DriveA.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>

namespace backup {

using namespace zipresult;

// ---------------------------------------------------------------------------
// Events

void EventPump::pump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool EventPump::aborted()
{
    return m_settings.abort && m_settings.useTempFile;
}

void EventPump::status(int percent)
{
    percent = qBound(0, percent, 100);
    if (percent == m_lastStatus)
        return;
    m_lastStatus = percent;
    if (m_events.Status)
        m_events.Status(percent);
    pump();
}

namespace {

// Files we create are the operator's alone: the archives hold the database.
class OwnerOnlyUmask
{
public:
    OwnerOnlyUmask() : m_previous(::umask(077)) {}
    ~OwnerOnlyUmask() { ::umask(m_previous); }
    OwnerOnlyUmask(const OwnerOnlyUmask &) = delete;
    OwnerOnlyUmask &operator=(const OwnerOnlyUmask &) = delete;

private:
    mode_t m_previous;
};

void makeOwnerOnly(const QString &file)
{
    ::chmod(QFile::encodeName(file).constData(), 0600);
}

QString displayName(const char *entryName)
{
    QString name = QString::fromUtf8(entryName);
    name.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return name;
}

QString entryNameFor(const QString &displayed)
{
    QString name = displayed;
    name.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (name.startsWith(QLatin1Char('/')))
        name.remove(0, 1);
    return name;
}

QString fTime(time_t when)
{
    return QDateTime::fromSecsSinceEpoch(qint64(when)).toString(QStringLiteral("dd/MM/yy HH:mm"));
}

int ratioOf(qint64 size, qint64 packed)
{
    if (size <= 0)
        return 0;
    return int(100 - packed * 100 / size);
}

// The code an operator recognises for a libzip failure.
quint16 codeFor(zip_error_t *error, quint16 readWriteDefault)
{
    const int sys = zip_error_code_system(error);
    switch (zip_error_code_zip(error)) {
    case ZIP_ER_OK: return Success;
    case ZIP_ER_CANCELLED: return UserAborted;
    case ZIP_ER_MULTIDISK: return MultidiskNeedsMode;
    case ZIP_ER_NOENT: return FileNotFound;
    case ZIP_ER_NOZIP:
    case ZIP_ER_INCONS:
    case ZIP_ER_EOF: return CorruptedArchive;
    case ZIP_ER_MEMORY: return InsufficientMemory;
    case ZIP_ER_READ:
    case ZIP_ER_SEEK:
    case ZIP_ER_TELL: return ReadError;
    case ZIP_ER_WRITE:
    case ZIP_ER_CLOSE: return sys == ENOSPC || sys == EDQUOT ? DiskFull : WriteError;
    case ZIP_ER_TMPOPEN: return sys == ENOSPC || sys == EDQUOT ? DiskFull : CreateError;
    case ZIP_ER_RENAME:
    case ZIP_ER_REMOVE: return WriteError;
    case ZIP_ER_OPEN: return sys == ENOENT ? FileNotFound : ReadError;
    default: return readWriteDefault;
    }
}

quint16 codeForOpen(int zipError)
{
    zip_error_t error;
    zip_error_init_with_code(&error, zipError);
    const quint16 code = codeFor(&error, CorruptedArchive);
    zip_error_fini(&error);
    return code;
}

// Where a name the window gave lives on this machine.
struct Location {
    QString local;
    bool onDriveA = false;
    platform::DriveA drive;
};

std::optional<Location> locate(const QString &name)
{
    Location where;
    if (platform::DriveA::isDriveAPath(name)) {
        where.onDriveA = true;
        where.drive = platform::DriveA::current();
        const std::optional<QString> local = where.drive.toLocal(name);
        if (!local)
            return std::nullopt;
        where.local = *local;
        return where;
    }
    QString local = name;
    local.replace(QLatin1Char('\\'), QLatin1Char('/'));
    where.local = QDir::current().absoluteFilePath(local);
    return where;
}

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

// An entry name that is safe to create below the extraction folder.
std::optional<QString> safeRelativePath(const QString &entry)
{
    QStringList kept;
    const QStringList parts = entry.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        if (part == QLatin1String("."))
            continue;
        if (part == QLatin1String("..") || part.contains(QLatin1Char('\\')))
            return std::nullopt;
        kept << part;
    }
    if (kept.isEmpty())
        return std::nullopt;
    return kept.join(QLatin1Char('/'));
}

// An empty archive: libzip deletes the file of an archive left without
// entries, but an emptied archive is still the operator's archive.
bool writeEmptyArchive(const QString &path)
{
    OwnerOnlyUmask mask;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray end = zipformat::encodeEndOfCentral(zipformat::EndOfCentral{});
    const bool ok = file.write(end) == end.size() && file.flush();
    file.close();
    makeOwnerOnly(path);
    return ok;
}

// An archive opened for reading: the file itself, or the joined copy of a
// split set.
struct Reader {
    zip_t *za = nullptr;
    std::unique_ptr<QTemporaryDir> scratch;
    ~Reader()
    {
        if (za)
            zip_discard(za);
    }
};

} // namespace

// ---------------------------------------------------------------------------
// Common

QStringList ZipMain::Private::namesToProcess() const
{
    QStringList names;
    const QStringList parts = settings.filesToProcess.split(QLatin1Char('\r'));
    for (QString name : parts) {
        if (name.startsWith(QLatin1Char('\n')))
            name.remove(0, 1);
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

quint16 ZipMain::Private::run(const std::function<quint16(Private &)> &method)
{
    settings.abort = false;
    const quint16 result = method(*this);
    settings.filesToProcess.clear();
    settings.abort = false;
    return result;
}

namespace {

struct ReadRequest {
    ZipSettings &settings;
    EventPump *pump; // null: no events (entry count)
    int flags = ZIP_RDONLY;
};

// Opens the named archive for reading, joining a split set first.
quint16 openForReading(const ReadRequest &request, Reader &reader)
{
    const ZipSettings &settings = request.settings;
    if (settings.zipFilename.isEmpty())
        return InvalidSettings;
    const std::optional<Location> where = locate(settings.zipFilename);
    if (!where)
        return FileNotFound;
    // A set on drive A is read from its last disk first.
    if (where->onDriveA && settings.multidisk && request.pump && request.pump->events().Newdisk) {
        request.pump->events().Newdisk(0);
        request.pump->pump();
    }
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
        reader.scratch = std::make_unique<QTemporaryDir>();
        if (!reader.scratch->isValid())
            return TempFileProblem;
        // Keep the last disk before others are put in the drive.
        const QString last = reader.scratch->filePath(QStringLiteral("last.zip"));
        if (!QFile::copy(path, last))
            return ReadError;
        const int total = *disks;
        EventPump *pump = request.pump;
        const Location drive = *where;
        auto diskPath = [drive, pump, total](int index) -> std::optional<QString> {
            if (!drive.onDriveA) {
                const QFileInfo archive(drive.local);
                const QString part =
                    archive.dir().filePath(archive.completeBaseName() + QStringLiteral(".z")
                                           + QString::number(index + 1).rightJustified(2, QLatin1Char('0')));
                if (QFileInfo(part).isFile())
                    return part;
                return std::nullopt;
            }
            if (pump->events().Newdisk)
                pump->events().Newdisk(index + 1);
            pump->pump();
            const platform::DriveA now = platform::DriveA::current();
            if (const std::optional<QString> aside = now.takenOutDisk(index + 1))
                return aside;
            if (index + 1 < total && QFileInfo(drive.local).isFile())
                return drive.local;
            return std::nullopt;
        };
        path = reader.scratch->filePath(QStringLiteral("joined.zip"));
        const quint16 joined = joinSplitArchive(last, diskPath, path);
        if (joined != Success)
            return joined;
    }
    int error = 0;
    reader.za = zip_open(QFile::encodeName(path).constData(), request.flags, &error);
    if (!reader.za)
        return codeForOpen(error);
    if (!settings.password.isEmpty())
        zip_set_default_password(reader.za, settings.password.toUtf8().constData());
    return Success;
}

// Which entries the processing list names; all of them when it is empty.
// Names not found are returned in missing.
QList<zip_int64_t> selectEntries(zip_t *za, const QStringList &names, QStringList &missing)
{
    QList<zip_int64_t> picked;
    const zip_int64_t count = zip_get_num_entries(za, 0);
    if (names.isEmpty()) {
        for (zip_int64_t i = 0; i < count; ++i)
            picked << i;
        return picked;
    }
    QHash<QString, zip_int64_t> byName;
    for (zip_int64_t i = 0; i < count; ++i) {
        const char *name = zip_get_name(za, zip_uint64_t(i), ZIP_FL_ENC_GUESS);
        if (name)
            byName.insert(QString::fromUtf8(name), i);
    }
    QSet<zip_int64_t> seen;
    for (const QString &shown : names) {
        const QString name = entryNameFor(shown);
        const auto found = byName.constFind(name);
        if (found == byName.constEnd()) {
            missing << shown;
            continue;
        }
        if (!seen.contains(*found)) {
            seen.insert(*found);
            picked << *found;
        }
    }
    std::sort(picked.begin(), picked.end());
    return picked;
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
    if (const quint16 opened = openForReading(ReadRequest{settings, &pump}, reader))
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
    ReadRequest request{settings, &pump, ZIP_RDONLY | ZIP_CHECKCONS};
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
    if (const quint16 opened = openForReading(ReadRequest{settings, &pump}, reader))
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
        QTemporaryFile part(QFileInfo(destination).dir().filePath(QStringLiteral(".vantrel-XXXXXX")));
        if (!part.open())
            return errno == ENOSPC ? DiskFull : CreateError;
        bool full = false;
        auto write = [&](const char *data, qint64 n) {
            if (part.write(data, n) == n)
                return true;
            full = part.error() == QFileDevice::ResourceError;
            return false;
        };
        int reason = 0;
        switch (readEntry(reader.za, index, qint64(st.size), pump, reason, write, full)) {
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

// ---------------------------------------------------------------------------
// Add, update, delete, date

namespace {

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
class DriveASink : public DiskSink
{
public:
    DriveASink(const QString &archiveName, bool clearDisks, EventPump &pump)
        : m_name(archiveName), m_clear(clearDisks), m_pump(pump)
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
            m_part = *part;
            // The disk just written, put back instead of a new one.
            if (diskNumber > 1 && !m_drive.simulated() && !m_clear && QFileInfo::exists(m_part))
                continue;
            if (m_clear && !m_drive.eraseDisk())
                return WriteError;
            QFile::remove(m_part);
            return Success;
        }
        return diskNumber > 1 ? WrongDiskTooOften : CreateError;
    }

    QString partPath(int) override { return m_part; }

    qint64 capacity(int) override
    {
        // A real file system needs room for its own bookkeeping.
        const qint64 free = m_drive.freeSpace();
        return m_drive.simulated() ? free : free - qMin<qint64>(free, 64 * 1024);
    }

    quint16 finishDisk(int diskNumber, const QString &partPath) override
    {
        makeOwnerOnly(partPath);
        if (m_drive.simulated() && !m_drive.takeOut(partPath, diskNumber))
            return WriteError;
        return Success;
    }

private:
    QString m_name;
    bool m_clear;
    EventPump &m_pump;
    platform::DriveA m_drive;
    QString m_part;
};

quint16 writeToDriveA(const QString &built, const QString &archiveName, bool clearDisks, EventPump &pump)
{
    OwnerOnlyUmask mask;
    DriveASink sink(archiveName, clearDisks, pump);
    const quint16 written = writeSplitArchive(built, sink, pump);
    const std::optional<QString> part = platform::DriveA::current().toLocal(archiveName);
    if (written != Success) {
        // No half-written part may pass for an archive.
        if (part)
            QFile::remove(*part);
        return written;
    }
    if (part)
        makeOwnerOnly(*part);
    return Success;
}

} // namespace

quint16 ZipMain::Private::add(int mode)
{
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

    const bool exists = QFileInfo(where->local).isFile();
    if (exists) {
        const std::optional<int> disks = splitDiskCount(where->local);
        if (disks && *disks > 1)
            return settings.multidisk ? NotForMultidisk : MultidiskNeedsMode;
    }
    const bool spanning = settings.multidisk && where->onDriveA;
    if (spanning && exists) {
        // A set grows only by being written anew.
        return NotForMultidisk;
    }
    // On drive A the archive is built elsewhere and goes onto the disk only
    // when it is whole and fits.
    const bool staged = where->onDriveA;
    QTemporaryDir scratch;
    QString workPath = where->local;
    if (staged) {
        if (!scratch.isValid())
            return TempFileProblem;
        workPath = scratch.filePath(QStringLiteral("staged.zip"));
        if (exists && !QFile::copy(where->local, workPath))
            return ReadError;
    }

    OwnerOnlyUmask mask;
    int openError = 0;
    zip_t *za = zip_open(QFile::encodeName(workPath).constData(), ZIP_CREATE, &openError);
    if (!za)
        return codeForOpen(openError);

    std::vector<std::unique_ptr<FileSource>> sources;
    QSet<QString> wanted;
    for (const FileToAdd &file : files) {
        const QByteArray entry = file.entry.toUtf8();
        const zip_int64_t existing = zip_name_locate(za, entry.constData(), 0);
        const QFileInfo info(file.path);
        if (file.folder) {
            if (existing < 0)
                zip_dir_add(za, entry.chopped(1).constData(), ZIP_FL_ENC_UTF_8);
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
            zip_discard(za);
            return InsufficientMemory;
        }
        const zip_int64_t index = existing >= 0
            ? (zip_file_replace(za, zip_uint64_t(existing), zs, 0) == 0 ? existing : -1)
            : zip_file_add(za, entry.constData(), zs, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(zs);
            zip_discard(za);
            return InvalidSettings;
        }
        const zip_uint64_t at = zip_uint64_t(index);
        if (settings.level == 0)
            zip_set_file_compression(za, at, ZIP_CM_STORE, 0);
        zip_file_set_external_attributes(za, at, 0, ZIP_OPSYS_UNIX, zip_uint32_t(0100600) << 16);
        if (!settings.password.isEmpty())
            zip_file_set_encryption(za, at, ZIP_EM_AES_256, settings.password.toUtf8().constData());
        sources.push_back(std::move(source));
    }

    const bool empty = zip_get_num_entries(za, 0) == 0;
    if (empty) {
        zip_discard(za);
        if (!exists && !writeEmptyArchive(staged ? workPath : where->local))
            return CreateError;
        if (!staged)
            return skipped ? SkippedFiles : Success;
    } else if (zip_close(za) != 0) {
        zip_error_t *error = zip_get_error(za);
        quint16 code = codeFor(error, WriteError);
        for (const auto &source : sources) {
            if (source->abortedHere)
                code = UserAborted;
            else if (source->failedReading && code != UserAborted)
                code = ReadError;
        }
        zip_discard(za);
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
        return skipped ? SkippedFiles : Success;
    }
    // A single archive on drive A: it must fit on the disk beside what else is there.
    const qint64 size = QFileInfo(workPath).size();
    const qint64 room = where->drive.freeSpace() + (exists ? QFileInfo(where->local).size() : 0);
    if (size > room)
        return DiskFull;
    const QString incoming = where->local + QStringLiteral(".vantrel-part");
    QFile::remove(incoming);
    if (!QFile::copy(workPath, incoming)) {
        QFile::remove(incoming);
        return errno == ENOSPC ? DiskFull : WriteError;
    }
    makeOwnerOnly(incoming);
    if (::rename(QFile::encodeName(incoming).constData(), QFile::encodeName(where->local).constData()) != 0) {
        QFile::remove(incoming);
        return WriteError;
    }
    return skipped ? SkippedFiles : Success;
}

quint16 ZipMain::Private::remove()
{
    EventPump pump(events, settings);
    if (settings.zipFilename.isEmpty())
        return InvalidSettings;
    const std::optional<Location> where = locate(settings.zipFilename);
    if (!where || !QFileInfo(where->local).isFile())
        return FileNotFound;
    const std::optional<int> disks = splitDiskCount(where->local);
    if (disks && *disks > 1)
        return settings.multidisk ? NotForMultidisk : MultidiskNeedsMode;

    OwnerOnlyUmask mask;
    int openError = 0;
    zip_t *za = zip_open(QFile::encodeName(where->local).constData(), 0, &openError);
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
            zip_discard(za);
            return UserAborted;
        }
        if (events.Deleting)
            events.Deleting(displayName(zip_get_name(za, zip_uint64_t(index), 0)));
        pump.pump();
        zip_delete(za, zip_uint64_t(index));
    }
    if (pump.aborted()) {
        zip_discard(za);
        return UserAborted;
    }
    const bool emptied = zip_get_num_entries(za, ZIP_FL_UNCHANGED) > 0 && !picked.isEmpty() && [za] {
        const zip_int64_t n = zip_get_num_entries(za, 0);
        for (zip_int64_t i = 0; i < n; ++i)
            if (zip_get_name(za, zip_uint64_t(i), 0))
                return false;
        return true;
    }();
    if (zip_close(za) != 0) {
        const quint16 code = codeFor(zip_get_error(za), WriteError);
        zip_discard(za);
        return code;
    }
    if (emptied && !writeEmptyArchive(where->local))
        return WriteError;
    makeOwnerOnly(where->local);
    return skipped ? SkippedFiles : Success;
}

quint16 ZipMain::Private::updateZipDate()
{
    EventPump pump(events, settings);
    if (settings.zipFilename.isEmpty())
        return InvalidSettings;
    const std::optional<Location> where = locate(settings.zipFilename);
    if (!where || !QFileInfo(where->local).isFile())
        return FileNotFound;
    const std::optional<int> disks = splitDiskCount(where->local);
    if (disks && *disks > 1)
        return settings.multidisk ? NotForMultidisk : MultidiskNeedsMode;
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

quint16 ZipMain::Private::fix(bool aggressive)
{
    EventPump pump(events, settings);
    if (settings.zipFilename.isEmpty())
        return InvalidSettings;
    const std::optional<Location> where = locate(settings.zipFilename);
    if (!where || !QFileInfo(where->local).isFile())
        return FileNotFound;
    const std::optional<int> disks = splitDiskCount(where->local);
    if (disks && *disks > 1)
        return settings.multidisk ? NotForMultidisk : MultidiskNeedsMode;

    OwnerOnlyUmask mask;
    const QString fixed = where->local + QStringLiteral(".vantrel-fix");
    RepairOutcome outcome = repairArchive(where->local, fixed, aggressive, [&](const QString &name) {
        if (events.Fixing)
            events.Fixing(name);
        pump.pump();
        return !pump.aborted();
    });
    if (outcome.code != Success) {
        QFile::remove(fixed);
        return outcome.code;
    }
    makeOwnerOnly(fixed);
    if (::rename(QFile::encodeName(fixed).constData(), QFile::encodeName(where->local).constData()) != 0) {
        QFile::remove(fixed);
        return WriteError;
    }
    return Success;
}

} // namespace backup
