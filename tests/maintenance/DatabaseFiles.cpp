#include "DatabaseFiles.h"

#include "store/Statement.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

namespace testing_support {

namespace {

class Connection
{
public:
    explicit Connection(const QString &path, int flags = SQLITE_OPEN_READWRITE)
    {
        const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &m_db, flags, nullptr);
        EXPECT_EQ(rc, SQLITE_OK) << sqlite3_errmsg(m_db);
    }
    ~Connection() { sqlite3_close_v2(m_db); }
    sqlite3 *get() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

} // namespace

QList<StoredRow> storedRows(const QString &path, const QString &table)
{
    Connection db(path, SQLITE_OPEN_READONLY);
    QList<StoredRow> rows;
    store::Statement st(db.get(), QStringLiteral("SELECT rowid, * FROM \"%1\" ORDER BY rowid").arg(table));
    EXPECT_TRUE(st.isValid()) << st.error().text.toStdString();
    while (st.step()) {
        StoredRow row{st.int64(0), {}};
        for (int i = 1; i < st.columnCount(); ++i)
            row.values << st.value(i);
        rows << row;
    }
    EXPECT_FALSE(st.error().isError()) << st.error().text.toStdString();
    return rows;
}

qint64 rowCount(const QString &path, const QString &table)
{
    Connection db(path, SQLITE_OPEN_READONLY);
    store::Statement st(db.get(), QStringLiteral("SELECT count(*) FROM \"%1\"").arg(table));
    EXPECT_TRUE(st.step()) << st.error().text.toStdString();
    return st.int64(0);
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

int fileMode(const QString &path)
{
    struct stat info {
    };
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return int(info.st_mode & 07777);
}

QStringList filesIn(const QString &folder)
{
    QStringList names = QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::NoSort);
    std::sort(names.begin(), names.end());
    return names;
}

QList<Page> leafPages(const QString &path, const QString &tree)
{
    Connection db(path, SQLITE_OPEN_READONLY);
    QList<Page> pages;
    // dbstat walks the tree in key order; its path column sorts that way.
    store::Statement st(db.get(),
                        QStringLiteral("SELECT pageno, ncell FROM dbstat WHERE name = ?1 AND pagetype = 'leaf' "
                                       "ORDER BY path"));
    st.bind(1, tree);
    while (st.step())
        pages << Page{int(st.int64(0)), int(st.int64(1))};
    EXPECT_FALSE(st.error().isError()) << st.error().text.toStdString();
    return pages;
}

int pageSize(const QString &path)
{
    Connection db(path, SQLITE_OPEN_READONLY);
    store::Statement st(db.get(), QStringLiteral("PRAGMA page_size"));
    return st.step() ? int(st.int64(0)) : 0;
}

void overwritePage(const QString &path, int pageNumber)
{
    const int size = pageSize(path);
    QByteArray garbage(size, '\0');
    QRandomGenerator random(quint32(pageNumber) * 7919u);
    for (char &c : garbage)
        c = char(random.bounded(256));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.seek(qint64(pageNumber - 1) * size));
    ASSERT_EQ(file.write(garbage), size);
}

namespace {
QString check(const QString &path, const QString &pragma)
{
    Connection db(path, SQLITE_OPEN_READONLY);
    store::Statement st(db.get(), pragma);
    QStringList lines;
    while (st.step())
        lines << st.value(0).toString();
    if (st.error().isError())
        lines << st.error().text;
    return lines.join(QLatin1Char('\n'));
}

} // namespace

QString integrityCheck(const QString &path)
{
    return check(path, QStringLiteral("PRAGMA integrity_check"));
}

QString quickCheck(const QString &path)
{
    return check(path, QStringLiteral("PRAGMA quick_check"));
}

void writeColdJournal(const QString &database, const QString &journal)
{
    QTemporaryDir scratch;
    const QString copy = scratch.filePath("copy.mdb");
    ASSERT_TRUE(QFile::copy(database, copy));
    {
        Connection db(copy);
        ASSERT_EQ(sqlite3_exec(db.get(),
                               "PRAGMA journal_mode = PERSIST; BEGIN; "
                               "UPDATE CenterInformation SET CenterName = 'Persisted'; COMMIT",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK)
            << sqlite3_errmsg(db.get());
    }
    const QByteArray bytes = fileBytes(copy + "-journal");
    ASSERT_GT(bytes.size(), 0);
    ASSERT_EQ(bytes.at(0), '\0') << "the engine zeroes the header of a journal it is done with";
    QFile::remove(journal);
    ASSERT_TRUE(QFile::copy(copy + "-journal", journal));
}

} // namespace testing_support
