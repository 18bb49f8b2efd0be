#include "PlantedFolder.h"

#include "store/KeptChanges.h"
#include "store/RawDatabase.h"
#include "store/Schema.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace testing_support {

namespace {

const char *const kFiles[] = {"victim.mdb", "replaced-20200101-000000-0b7e6a52-3c1d-4e8f-9a2b-5d6c7e8f9a0b.mdb",
                              "linked.mdb", "sub/damaged.mdb"};

} // namespace

PlantedFolder::PlantedFolder()
{
    EXPECT_TRUE(QDir(path()).mkpath("sub"));
    for (const char *name : kFiles) {
        const QString file = QDir(path()).filePath(QLatin1String(name));
        store::EngineError e;
        EXPECT_TRUE(store::Schema::createDeliveredDatabase(file, &e)) << e.text.toStdString();
        EXPECT_TRUE(
            QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther));
    }
}

QString PlantedFolder::snapshot() const
{
    QStringList lines;
    QDirIterator it(path(), QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString entry = it.next();
        struct stat info {
        };
        if (::lstat(QFile::encodeName(entry).constData(), &info) != 0) {
            lines << entry + " unreadable";
            continue;
        }
        QString digest;
        if (S_ISREG(info.st_mode)) {
            QFile file(entry);
            if (file.open(QIODevice::ReadOnly))
                digest =
                    QString::fromLatin1(QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256).toHex());
        }
        lines << QStringLiteral("%1 %2 %3 %4 %5.%6 %7 %8")
                     .arg(QDir(path()).relativeFilePath(entry))
                     .arg(info.st_mode, 0, 8)
                     .arg(info.st_uid)
                     .arg(info.st_size)
                     .arg(info.st_mtim.tv_sec)
                     .arg(info.st_mtim.tv_nsec)
                     .arg(QFileInfo(entry).symLinkTarget(), digest);
    }
    lines.sort();
    return lines.join(QLatin1Char('\n'));
}

void PlantedFolder::plantRows(const QString &database, const QString &databasePath, const QDateTime &time) const
{
    const QString kept = store::KeptChanges::keptFolderFor(databasePath);
    ASSERT_TRUE(QDir().mkpath(kept));
    const QString link = QDir(kept).filePath("replaced-20200102-000000-1c2d3e4f-5a6b-4c7d-8e9f-0a1b2c3d4e5f.mdb");
    QFile::remove(link);
    ASSERT_TRUE(QFile::link(QDir(path()).filePath("linked.mdb"), link));
    const QString through = QDir(kept).filePath(
        "../" + QDir(QFileInfo(databasePath).absolutePath()).relativeFilePath(QDir(path()).filePath(kFiles[1])));

    store::RawDatabase db;
    store::EngineError e;
    ASSERT_TRUE(db.open(database, store::RawDatabase::ReadWrite, &e)) << e.text.toStdString();
    store::KeptChanges changes(db.handle());
    qint64 number = 0;
    for (const store::KeptChange &c : changes.list(&e))
        number = std::max(number, c.number);
    const QList<QPair<QString, store::ChangeKind>> rows = {
        {QDir(path()).filePath(kFiles[0]), store::ChangeKind::ReplacedFile},
        {through, store::ChangeKind::ReplacedFile},
        {link, store::ChangeKind::ReplacedFile},
        {QDir(path()).filePath(kFiles[3]), store::ChangeKind::ReplacedDamagedFile},
    };
    for (const auto &[file, kind] : rows) {
        store::KeptChange change;
        change.number = ++number;
        change.time = time;
        change.description = kind == store::ChangeKind::ReplacedFile
            ? store::KeptChanges::describeReplaced("Restore", 3, time)
            : store::KeptChanges::describeReplacedDamaged("Repair", time);
        change.kind = kind;
        change.rows = 3;
        change.keptFile = file;
        ASSERT_TRUE(changes.remember(change, &e)) << e.text.toStdString();
    }
    ASSERT_TRUE(db.close(&e)) << e.text.toStdString();
}

} // namespace testing_support
