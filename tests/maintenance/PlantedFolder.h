#pragma once

#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

namespace testing_support {

// A folder outside every folder of the program, holding files that hostile
// rows of a database's kept changes name: a database, a file named as the
// program names its kept files, one in a folder below. Nothing the program
// does may touch it.
class PlantedFolder
{
public:
    PlantedFolder();

    QString path() const { return m_dir.path(); }

    // Every entry below the folder, one a line: its name, kind, access bits,
    // size, time of change, link target and a digest of its bytes.
    QString snapshot() const;

    // Adds kept changes to `database` that name files of this folder, with
    // `time`: by its own path, by a path through the kept folder of
    // `databasePath` ("kept/../.."), and by a link inside that kept folder
    // named as the program names its kept files. Both kinds that replace a
    // file; the last added is a repair's.
    void plantRows(const QString &database, const QString &databasePath, const QDateTime &time) const;

private:
    QTemporaryDir m_dir;
};

} // namespace testing_support
