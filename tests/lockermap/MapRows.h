#pragma once

#include <QString>
#include <QVariant>

struct sqlite3;

namespace testing_support {

// Writes rows straight into the file, with any value SQLite takes (texts in
// number fields, blanks, out-of-range numbers), beside the code under test.
class RawRows
{
public:
    explicit RawRows(const QString &databasePath);
    ~RawRows();
    RawRows(const RawRows &) = delete;
    RawRows &operator=(const RawRows &) = delete;

    // Returns the new row id.
    qint64 customer(const QVariant &locker, const QVariant &expiry, const QVariant &lastName);
    void setRate(const QString &rate, const QString &period);
    void clear();
    // Many rows in one transaction, written at once.
    void begin();
    void commit();
    sqlite3 *handle() const { return m_db; }

private:
    sqlite3 *m_db = nullptr;
};

} // namespace testing_support
