#pragma once

#include <QString>
#include <QTemporaryDir>

namespace testing_support {

// A fresh program folder with the delivered database, made the program
// folder for the lifetime of the object.
class TempProgramFolder
{
public:
    explicit TempProgramFolder(bool withDatabase = true);
    ~TempProgramFolder();

    QString path() const { return m_dir.path(); }
    QString databasePath() const; // the resolved "\Vantrel.mdb"
    QString file(const QString &name) const;

private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Copies the program file `program` into `folder` as "vantrel": started
// there, it works on that folder's database, as the program of a build does.
bool copyProgramInto(const QString &program, const QString &folder);

} // namespace testing_support
