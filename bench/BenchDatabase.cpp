#include "bench/BenchDatabase.h"

#include "store/ProgramFolder.h"
#include "store/Schema.h"
#include "store/Statement.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <sqlite3.h>
#include <unistd.h>

namespace bench {

QString customerDatabase(int rows)
{
    // Named after the schema too, so that a file of an older schema is not
    // taken for one of the current.
    const QByteArray schema = store::Schema::createStatements().join(QLatin1Char(';')).toUtf8();
    const QString tag = QString::fromLatin1(QCryptographicHash::hash(schema, QCryptographicHash::Sha1).toHex().left(8));
    const QString path = QDir::temp().filePath(QStringLiteral("vantrel-bench-%1-%2.mdb").arg(rows).arg(tag));
    if (QFileInfo::exists(path))
        return path;
    const QString building = path + QStringLiteral(".building");
    QFile::remove(building);
    store::EngineError e;
    if (!store::Schema::createDeliveredDatabase(building, &e))
        qFatal("cannot create %s: %s", qPrintable(building), qPrintable(e.text));
    sqlite3 *db = nullptr;
    sqlite3_open(building.toUtf8().constData(), &db);
    const QString fill =
        QStringLiteral(
            "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1) "
            "INSERT INTO Information (LockerNumber, KeyNumber, KeyDeposit, Combo1, DateRented, DateToRenew, FirstName, "
            "LastName, Address1, City, State, Zip, Phone1, EMail, VIBNumber, Adult, Junior, Senior, MixedLeague, "
            "Notes) "
            "SELECT i, i * 7 % 100000, (i % 5) * 5, printf('%02d-%02d-%02d', i % 40, i % 39, i % 38), "
            "date('2015-01-01', '+' || (i % 4000) || ' days'), date('2016-01-01', '+' || (i % 4000) || ' days'), "
            "char(65 + i % 26) || 'irst' || (i % 997), char(65 + (i * 7) % 26) || 'ast' || (i % 9973), "
            "i || ' Main Street', CASE i % 4 WHEN 0 THEN 'Springfield' WHEN 1 THEN 'Shelbyville' "
            "WHEN 2 THEN 'Ogdenville' ELSE 'North Haverbrook' END, 'IL', printf('%05d-0000', i % 99999), "
            "printf('(555)%03d-%04d', i % 1000, i % 10000), 'bowler' || i || '@example.com', i, i % 2, (i + 1) % 2, "
            "i % 3 = 0, i % 5 = 0, CASE WHEN i % 10 = 0 THEN 'Prefers the end locker' END FROM n")
            .arg(rows);
    store::execSql(db, QStringLiteral("BEGIN"), nullptr);
    if (!store::execSql(db, fill, &e))
        qFatal("cannot fill %s: %s", qPrintable(building), qPrintable(e.text));
    store::execSql(db, QStringLiteral("COMMIT"), nullptr);
    sqlite3_close(db);
    QFile::rename(building, path);
    return path;
}

BenchFolder::BenchFolder(int rows)
{
    QFile::link(customerDatabase(rows), dir.filePath(QStringLiteral("Vantrel.mdb")));
    store::setProgramFolder(dir.path());
}

double residentMB()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = statm.readAll().split(' ');
    return parts.size() > 1 ? parts.at(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0) : 0;
}

} // namespace bench
