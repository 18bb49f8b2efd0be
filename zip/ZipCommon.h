#pragma once

// What the engine's operations share: the archive's place on this machine,
// the opening checks, names and times as the events show them, result codes
// for libzip's errors, and the ownership of an open zip_t. Only the
// engine's own files include it.

#include "platform/DriveA.h"
#include "zip/ZipEngine.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <zip.h>

namespace backup {

// A private folder for the archives built or joined on their way to or from
// drive A, and for a copy of a server's data on its way into an archive:
// they hold the database. One per running method, in the user's cache
// folder and readable by the user only; what a killed process left there is
// removed by the next one that makes such a folder.
class WorkFolder
{
public:
    WorkFolder();
    ~WorkFolder();
    WorkFolder(const WorkFolder &) = delete;
    WorkFolder &operator=(const WorkFolder &) = delete;

    bool isValid() const { return !m_path.isEmpty(); }
    QString path() const { return m_path; }
    QString filePath(const QString &name) const { return m_path + QLatin1Char('/') + name; }
    // Removes the folder now, telling whether it went.
    bool remove();

private:
    QString m_path;
};

namespace engine {

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

// Owns an open zip_t: discarded unless it was closed.
class ZipHandle
{
public:
    ZipHandle() = default;
    explicit ZipHandle(zip_t *za) : m_za(za) {}
    ~ZipHandle() { discard(); }
    ZipHandle(const ZipHandle &) = delete;
    ZipHandle &operator=(const ZipHandle &) = delete;
    ZipHandle &operator=(zip_t *za)
    {
        discard();
        m_za = za;
        return *this;
    }
    operator zip_t *() const { return m_za; }

    // Writes the archive; on failure the handle still owns it (its error is
    // read from it) until discarded.
    bool close()
    {
        if (zip_close(m_za) != 0)
            return false;
        m_za = nullptr;
        return true;
    }
    void discard()
    {
        if (m_za)
            zip_discard(m_za);
        m_za = nullptr;
    }

private:
    zip_t *m_za = nullptr;
};

void makeOwnerOnly(const QString &file);
QString displayName(const char *entryName);
QString entryNameFor(const QString &displayed);
QString fTime(time_t when);
int ratioOf(qint64 size, qint64 packed);
// The code an operator recognises for a libzip failure.
quint16 codeFor(zip_error_t *error, quint16 readWriteDefault);
quint16 codeForOpen(int zipError);

// Where a name the window gave lives on this machine.
struct Location {
    QString local;
    bool onDriveA = false;
    platform::DriveA drive;
};

std::optional<Location> locate(const QString &name);

// The checks before a method changes an archive in place (delete, date,
// fix): named, present, and not a split set. 0 or the result code.
quint16 checkArchiveToChange(const ZipSettings &settings, std::optional<Location> &where);

// Which entries the processing list names; all of them when it is empty.
// Names not found are returned in missing.
QList<zip_int64_t> selectEntries(zip_t *za, const QStringList &names, QStringList &missing);

// An entry's path below the extraction folder; nullopt for one that would
// leave it.
std::optional<QString> safeRelativePath(const QString &entry);
// An empty archive: libzip deletes the file of an archive left without
// entries, but an emptied archive is still the operator's archive.
bool writeEmptyArchive(const QString &path);

// An archive opened for reading: the file itself, or the joined copy of a
// split set.
struct Reader {
    ZipHandle za;
    std::shared_ptr<WorkFolder> scratch;
};

} // namespace engine
} // namespace backup
