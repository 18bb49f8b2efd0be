#include "store/SafeFiles.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace store {

namespace {

int errorNumberFor(int errorNumber)
{
    return errorNumber == ENOSPC || errorNumber == EDQUOT || errorNumber == EFBIG ? Err::DiskFull : Err::CannotOpen;
}

bool failWithErrno(EngineError *error, int errorNumber, const QString &what)
{
    return fail(error, errorNumberFor(errorNumber), what + QStringLiteral(": ") + systemErrorText(errorNumber));
}

class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }
    // close() reports late write errors that fsync may not have seen.
    int close()
    {
        const int rc = ::close(m_fd);
        m_fd = -1;
        return rc;
    }

private:
    int m_fd;
};

int openToRead(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    return ::open(name.constData(), O_RDONLY | O_CLOEXEC);
}

// Asks the disk to start writing the file's dirty pages; never waits.
void requestWriteback(int fd)
{
#if defined(__linux__)
    ::sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
#else
    Q_UNUSED(fd);
#endif
}

} // namespace

QString partialNameFor(const QString &destination)
{
    return destination + QStringLiteral(".partial");
}

QString asideNameFor(const QString &path, const QString &what)
{
    const QFileInfo info(path);
    const QString stem = info.completeBaseName().toUpper() + QLatin1Char('-') + what + QLatin1Char('-')
        + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    const QString suffix = info.suffix().isEmpty() ? QString() : QStringLiteral(".") + info.suffix().toUpper();
    const QDir folder = info.absoluteDir();
    for (int n = 1;; ++n) {
        const QString name = n == 1 ? stem + suffix : QStringLiteral("%1-%2%3").arg(stem).arg(n).arg(suffix);
        const QFileInfo candidate(folder.filePath(name));
        if (!candidate.exists() && !candidate.isSymLink())
            return candidate.filePath();
    }
}

QString systemErrorText(int errorNumber)
{
    return QString::fromLocal8Bit(std::strerror(errorNumber));
}

bool isReadOnlyFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info {
    };
    if (::stat(name.constData(), &info) != 0)
        return false;
    return (info.st_mode & 0222) == 0 || ::access(name.constData(), W_OK) != 0;
}

bool isColdJournal(const QString &journal, const QStringList &databases)
{
    const Descriptor fd(::open(QFile::encodeName(journal).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat info {
    };
    if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    char first = 0;
    const ssize_t read = ::pread(fd.get(), &first, 1, 0);
    if (read < 0 || (read == 1 && first != 0))
        return false;
    // Every lock on the machine, by the file's inode: "1: POSIX ADVISORY
    // WRITE 1234 fe:00:404740 0 EOF". Unreadable, it proves nothing.
    QFile locks(QStringLiteral("/proc/locks"));
    if (!locks.open(QIODevice::ReadOnly))
        return false;
    QSet<quint64> locked;
    for (const QByteArray &line : locks.readAll().split('\n')) {
        for (const QByteArray &field : line.simplified().split(' ')) {
            const QList<QByteArray> parts = field.split(':');
            bool number = false;
            const quint64 inode = parts.size() == 3 ? parts.at(2).toULongLong(&number) : 0;
            if (number)
                locked.insert(inode);
        }
    }
    for (const QString &database : databases) {
        struct stat file {
        };
        if (::stat(QFile::encodeName(database).constData(), &file) == 0 && locked.contains(quint64(file.st_ino)))
            return false;
    }
    return true;
}

QString journalFileFor(const QString &folder, const QStringList &databaseNames, const QString &ownName)
{
    const QDir dir(folder);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    // The files a journal found here may belong to, whatever their case.
    QStringList databases;
    for (const QString &entry : entries) {
        for (const QString &name : databaseNames) {
            if (entry.compare(name, Qt::CaseInsensitive) == 0 || entry == ownName)
                databases << dir.filePath(entry);
        }
    }
    for (const QString &entry : entries) {
        for (const QString &name : databaseNames) {
            for (const char *suffix : {"-journal", "-wal", "-shm"}) {
                if (!ownName.isEmpty() && entry == ownName + QLatin1String(suffix))
                    continue;
                if (entry.compare(name + QLatin1String(suffix), Qt::CaseInsensitive) != 0)
                    continue;
                if (qstrcmp(suffix, "-journal") == 0 && isColdJournal(dir.filePath(entry), databases))
                    continue;
                return dir.filePath(entry);
            }
        }
    }
    return QString();
}

bool createOwnerOnlyFile(const QString &path, EngineError *error)
{
    const QByteArray name = QFile::encodeName(path);
    Descriptor fd(::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        const int e = errno;
        if (e == EEXIST)
            return fail(error, Err::FileExists, QStringLiteral("The file '%1' already exists.").arg(path));
        return failWithErrno(error, e, QStringLiteral("Could not create '%1'").arg(path));
    }
    // The umask may have taken bits away, never added them; make sure anyway.
    if (::fchmod(fd.get(), 0600) != 0) {
        const int e = errno;
        fd.close();
        ::unlink(name.constData());
        return failWithErrno(error, e, QStringLiteral("Could not restrict access to '%1'").arg(path));
    }
    if (fd.close() != 0) {
        const int e = errno;
        ::unlink(name.constData());
        return failWithErrno(error, e, QStringLiteral("Could not create '%1'").arg(path));
    }
    return true;
}

void startWriteback(const QString &path)
{
    const Descriptor fd(openToRead(path));
    if (fd.get() >= 0)
        requestWriteback(fd.get());
}

WritebackWhileWriting::WritebackWhileWriting(const QString &path)
{
    const int fd = openToRead(path);
    if (fd < 0)
        return;
    m_thread = std::jthread([fd](std::stop_token stop) {
        const Descriptor file(fd);
        std::mutex mutex;
        std::condition_variable_any wake;
        std::unique_lock lock(mutex);
        // Wakes every 25 ms, or at once when the writer is done.
        while (!wake.wait_for(lock, stop, std::chrono::milliseconds(25), [&stop] { return stop.stop_requested(); }))
            requestWriteback(file.get());
    });
}

void dropCachedPages(const QString &path)
{
    const Descriptor fd(openToRead(path));
    if (fd.get() >= 0)
        ::posix_fadvise(fd.get(), 0, 0, POSIX_FADV_DONTNEED);
}

bool syncFile(const QString &path, EngineError *error)
{
    Descriptor fd(openToRead(path));
    if (fd.get() < 0)
        return failWithErrno(error, errno, QStringLiteral("Could not open '%1'").arg(path));
    if (::fsync(fd.get()) != 0)
        return failWithErrno(error, errno, QStringLiteral("Could not write '%1' to the disk").arg(path));
    if (fd.close() != 0)
        return failWithErrno(error, errno, QStringLiteral("Could not write '%1' to the disk").arg(path));
    return true;
}

bool syncFolder(const QString &folder, EngineError *error)
{
    const QByteArray name = QFile::encodeName(folder);
    Descriptor fd(::open(name.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0)
        return failWithErrno(error, errno, QStringLiteral("Could not open the folder '%1'").arg(folder));
    // Some file systems cannot sync a folder; they keep renames safe by other means.
    if (::fsync(fd.get()) != 0 && errno != EINVAL && errno != EROFS)
        return failWithErrno(error, errno, QStringLiteral("Could not write the folder '%1' to the disk").arg(folder));
    return true;
}

bool renameNoReplace(const QString &from, const QString &to, EngineError *error)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
#if defined(__linux__) && defined(RENAME_NOREPLACE)
    if (::renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS) {
        const int e = errno;
        if (e == EEXIST)
            return fail(error, Err::FileExists, QStringLiteral("The file '%1' already exists.").arg(to));
        return failWithErrno(error, e, QStringLiteral("Could not rename '%1' to '%2'").arg(from, to));
    }
#endif
    // A file system without renameat2: a hard link fails when the name is
    // taken, and removing the first name leaves exactly the new one.
    if (::link(source.constData(), target.constData()) == 0) {
        ::unlink(source.constData());
        return true;
    }
    const int e = errno;
    if (e == EEXIST)
        return fail(error, Err::FileExists, QStringLiteral("The file '%1' already exists.").arg(to));
    return failWithErrno(error, e, QStringLiteral("Could not rename '%1' to '%2'").arg(from, to));
}

bool renameReplacing(const QString &from, const QString &to, EngineError *error)
{
    const QByteArray source = QFile::encodeName(from);
    const QByteArray target = QFile::encodeName(to);
    if (std::rename(source.constData(), target.constData()) != 0)
        return failWithErrno(error, errno, QStringLiteral("Could not rename '%1' to '%2'").arg(from, to));
    return true;
}

} // namespace store
