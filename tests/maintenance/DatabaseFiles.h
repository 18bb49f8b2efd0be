#pragma once

#include "support/Customers.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QVariant>
#include <ostream>

// Test failures show texts as texts.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace testing_support {

// One row as the file holds it: its id and every value.
struct StoredRow {
    qint64 rowid = 0;
    QVariantList values;
    bool operator==(const StoredRow &other) const = default;
};

// Every row of a table in row id order, read with the stock engine.
QList<StoredRow> storedRows(const QString &path, const QString &table);

// The number of rows of a table.
qint64 rowCount(const QString &path, const QString &table);

QByteArray fileBytes(const QString &path);
// The file's access bits (0600: its owner reads and writes, nobody else).
int fileMode(const QString &path);
// The names of the files in a folder, hidden ones too, in byte order.
QStringList filesIn(const QString &folder);

// The leaf pages of a table's or index's tree, in key order, with the
// number of entries on each.
struct Page {
    int number = 0;
    int cells = 0;
};
QList<Page> leafPages(const QString &path, const QString &tree);
int pageSize(const QString &path);

// Overwrites one page of the file with bytes that are no page at all.
void overwritePage(const QString &path, int pageNumber);

// The result of the engine's full integrity check ("ok" when whole), or of
// its check of the pages alone, which skips comparing indexes with rows.
QString integrityCheck(const QString &path);
QString quickCheck(const QString &path);

// Writes `journal` as the engine leaves the journal of a finished
// transaction in its persistent mode: the header zeroed, the pages after it.
// The engine never rolls such a journal back.
void writeColdJournal(const QString &database, const QString &journal);

} // namespace testing_support
