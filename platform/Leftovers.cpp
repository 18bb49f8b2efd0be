#include "platform/Leftovers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>
#include <mutex>
#include <optional>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform::Leftovers {

namespace {

// The start time of a process (field 22 of /proc/PID/stat, in clock ticks
// since the machine started); nullopt with the reason in errno when it
// cannot be read.
std::optional<QByteArray> startTimeOf(const QByteArray &pid)
{
    const int fd = ::open(QByteArray("/proc/" + pid + "/stat").constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    char buffer[1024];
    const ssize_t got = ::read(fd, buffer, sizeof buffer - 1);
    const int readError = errno;
    ::close(fd);
    if (got <= 0) {
        errno = got < 0 ? readError : EIO;
        return std::nullopt;
    }
    // The program's name (field 2) is in parentheses and may hold anything;
    // the fields after the last parenthesis are numbers: state is field 3.
    const QByteArray stat(buffer, int(got));
    const qsizetype close = stat.lastIndexOf(')');
    const QList<QByteArray> fields = stat.mid(close + 2).split(' ');
    if (close < 0 || fields.size() < 20) {
        errno = EIO;
        return std::nullopt;
    }
    return fields.at(19);
}

const QRegularExpression &tagPattern()
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]+)\\.([0-9]+)(?:\\.|-|$)"));
    return pattern;
}

QString recordFolder()
{
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    return cache.isEmpty() ? QString() : cache + QStringLiteral("/Vantrel/leftovers");
}

bool ownedByUs(const struct stat &st)
{
    return st.st_uid == ::geteuid();
}

// Removes a file, link or folder of ours; a link is removed, never followed.
bool removeOwned(const QString &path)
{
    struct stat st {
    };
    const QByteArray name = QFile::encodeName(path);
    if (::lstat(name.constData(), &st) != 0)
        return errno == ENOENT;
    if (!ownedByUs(st))
        return false;
    if (S_ISDIR(st.st_mode))
        return QDir(path).removeRecursively();
    return ::unlink(name.constData()) == 0 || errno == ENOENT;
}

// Removes `path` and the files beside it that a library wrote on its way
// to that name ("nightly.zip.partial-1.2" and "nightly.zip.partial-1.2.Xy3z9a").
bool removeWithCompanions(const QString &path)
{
    const QFileInfo info(path);
    const QString base = info.fileName();
    const QStringList beside =
        info.dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    bool removed = true;
    for (const QString &name : beside)
        if (name == base || name.startsWith(base + QLatin1Char('.')))
            removed = removeOwned(info.dir().filePath(name)) && removed;
    return removed;
}

// Whether a name holds the tag whole, not as part of a longer number.
bool carriesTag(const QString &name, const QString &tag)
{
    for (qsizetype at = name.indexOf(tag); at >= 0; at = name.indexOf(tag, at + 1)) {
        const qsizetype end = at + tag.size();
        if ((at == 0 || !name.at(at - 1).isDigit()) && (end == name.size() || !name.at(end).isDigit()))
            return true;
    }
    return false;
}

QByteArray encodeLine(const QString &path)
{
    return QFile::encodeName(path).toPercentEncoding("/") + '\n';
}

QString decodeLine(const QByteArray &line)
{
    return QFile::decodeName(QByteArray::fromPercentEncoding(line.trimmed()));
}

// This process's record: made at its first expect(), removed when the
// process ends normally with none of its noted files left.
class Record
{
public:
    static Record &instance()
    {
        static Record record;
        return record;
    }

    void note(const QString &path)
    {
        const std::lock_guard lock(m_mutex);
        if (m_path.isEmpty()) {
            const QString folder = recordFolder();
            if (folder.isEmpty() || !QDir().mkpath(folder) || ::chmod(QFile::encodeName(folder).constData(), 0700) != 0)
                return;
            m_path = folder + QLatin1Char('/') + processTag();
        }
        const int fd = ::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            return;
        const QByteArray line = encodeLine(path);
        if (::write(fd, line.constData(), size_t(line.size())) == ssize_t(line.size()))
            m_noted << path;
        ::close(fd);
    }

    ~Record()
    {
        if (m_path.isEmpty())
            return;
        for (const QString &path : std::as_const(m_noted)) {
            const QFileInfo info(path);
            if (info.exists() || info.isSymLink())
                return; // the next start removes it
        }
        QFile::remove(m_path);
    }

private:
    Record() = default;

    std::mutex m_mutex;
    QString m_path;
    QStringList m_noted;
};

} // namespace

QString processTag()
{
    static const QString tag = [] {
        const QByteArray pid = QByteArray::number(qint64(::getpid()));
        // Without its start time a process is known by its id alone.
        return QString::fromLatin1(pid + '.' + startTimeOf(pid).value_or(QByteArrayLiteral("0")));
    }();
    return tag;
}

bool hasEnded(const QString &tag)
{
    const QRegularExpressionMatch match = tagPattern().match(tag);
    if (!match.hasMatch() || tag == processTag())
        return false;
    // Where the system tells nothing of processes, every one counts as running.
    if (!startTimeOf(QByteArrayLiteral("self")))
        return false;
    const QByteArray pid = match.captured(1).toLatin1();
    const std::optional<QByteArray> started = startTimeOf(pid);
    if (!started)
        return errno == ENOENT;
    return match.captured(2) != QLatin1String("0") && *started != match.captured(2).toLatin1();
}

QString tagAfter(const QString &fileName, const QString &marker)
{
    const qsizetype at = fileName.lastIndexOf(marker);
    if (at < 0)
        return QString();
    const QRegularExpressionMatch match = tagPattern().match(fileName.mid(at + marker.size()));
    return match.hasMatch() ? match.captured(1) + QLatin1Char('.') + match.captured(2) : QString();
}

QString taggedName(const QString &path, const QString &marker)
{
    return path + marker + processTag();
}

void expect(const QString &path)
{
    Record::instance().note(QFileInfo(path).absoluteFilePath());
}

void removeEndedIn(const QString &folder, const QString &prefix)
{
    const QDir dir(folder);
    const QStringList names = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    for (const QString &name : names) {
        if (!name.startsWith(prefix))
            continue;
        const QRegularExpressionMatch match = tagPattern().match(name.mid(prefix.size()));
        if (match.hasMatch() && hasEnded(match.captured(1) + QLatin1Char('.') + match.captured(2)))
            removeOwned(dir.filePath(name));
    }
}

void sweep()
{
    const QString folder = recordFolder();
    if (folder.isEmpty())
        return;
    const QStringList records = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    for (const QString &tag : records) {
        const QString record = folder + QLatin1Char('/') + tag;
        struct stat st {
        };
        if (::lstat(QFile::encodeName(record).constData(), &st) != 0 || !S_ISREG(st.st_mode) || !ownedByUs(st)
            || !hasEnded(tag))
            continue;
        QFile file(record);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        bool removed = true;
        while (!file.atEnd()) {
            const QString path = decodeLine(file.readLine());
            // Only a name that carries the ended process's tag is its own.
            if (!path.isEmpty() && carriesTag(QFileInfo(path).fileName(), tag))
                removed = removeWithCompanions(path) && removed;
        }
        file.close();
        if (removed)
            QFile::remove(record);
    }
}

} // namespace platform::Leftovers
