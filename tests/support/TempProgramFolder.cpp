#include "support/TempProgramFolder.h"

#include "store/ProgramFolder.h"
#include "store/Schema.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace testing_support {

TempProgramFolder::TempProgramFolder(bool withDatabase)
{
    m_previous = store::programFolder();
    store::setProgramFolder(m_dir.path());
    if (withDatabase) {
        store::EngineError error;
        const bool created = store::Schema::createDeliveredDatabase(file(QStringLiteral("Vantrel.mdb")), &error);
        EXPECT_TRUE(created) << error.text.toStdString();
    }
}

TempProgramFolder::~TempProgramFolder()
{
    store::setProgramFolder(m_previous);
}

QString TempProgramFolder::databasePath() const
{
    return store::resolveInFolder(path(), QStringLiteral("\\Vantrel.mdb"));
}

QString TempProgramFolder::file(const QString &name) const
{
    return QDir(path()).filePath(name);
}

bool copyProgramInto(const QString &program, const QString &folder)
{
    const QString copy = QDir(folder).filePath(QStringLiteral("vantrel"));
    return QFile::copy(program, copy) && QFile::setPermissions(copy, QFile::permissions(program));
}

} // namespace testing_support
