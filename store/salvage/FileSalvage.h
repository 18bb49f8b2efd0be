#pragma once

#include "store/EngineError.h"
#include "store/salvage/PageReader.h"

#include <QFile>
#include <QList>
#include <QStringList>
#include <functional>
#include <memory>
#include <unordered_map>
#include <unordered_set>

struct sqlite3;

namespace store {

// A table of a damaged file, as its own schema declares it (or, where the
// file's schema cannot be read, as the program delivers it).
struct SalvageTable {
    QString name;
    QStringList columns;
    QList<bool> textColumns;                      // text affinity: such a column never holds a number
    int rowidColumn = -1;                         // the column that is the row id (stored as null in the record)
    std::uint32_t root = 0;                       // its top page in the damaged file; 0 when unknown
    std::unordered_set<std::int64_t> namedRowids; // ids its readable indexes and undecodable cells name
    // Whether namedRowids holds every row the table had: its own tree or one
    // of its indexes could be read whole.
    bool everyRowKnown = true;
    // Row id ranges (low, high] of parts of its tree that could not be read
    // and where no page found elsewhere fits: each held at least one row.
    std::vector<std::pair<std::int64_t, std::int64_t>> unreadParts;
    // For a table of rows found on pages outside the tree of another table,
    // which could be that table's deleted rows: the other table's index.
    int outsideOf = -1;
};

// Reads a damaged database file page by page: its schema, then the rows of
// every table leaf page, whether or not the tree above the page can still be
// walked. A page reached from a table's own tree belongs to that table; any
// other leaf page is given to the one table whose columns its rows fit (by
// count and kind), and where several fit, to the one whose indexes name its
// rows. It joins that table only when the table's tree is damaged where its
// rows would hang; otherwise it is an old page (deleted rows, or rows since
// moved) and goes to a table of its own, "... (found outside the table)".
// Pages on the file's list of free pages hold deleted rows and are left
// alone.
class FileSalvage
{
public:
    FileSalvage();
    ~FileSalvage();
    FileSalvage(const FileSalvage &) = delete;
    FileSalvage &operator=(const FileSalvage &) = delete;

    // Maps the file and works out the schema and which page holds whose rows.
    bool open(const QString &path, EngineError *error);
    // The same over bytes held elsewhere, which must outlive this object.
    bool read(std::span<const std::uint8_t> bytes, EngineError *error);

    const QList<SalvageTable> &tables() const { return m_tables; }
    // CREATE TABLE statements, in the order of tables().
    const QStringList &tableStatements() const { return m_tableSql; }
    // Indexes, views and triggers: created once the rows are in.
    const QStringList &laterStatements() const { return m_laterSql; }
    // Whether the file's own list of tables could be read.
    bool schemaReadable() const { return m_schemaReadable; }
    int textEncoding() const { return m_reader ? m_reader->layout().textEncoding : 1; }

    // Hands every readable row to the sink with the index of its table; the
    // rows of pages reached through the tables' trees come first.
    using RowSink = std::function<bool(int table, const pages::TableCell &row, EngineError *error)>;
    bool copyRows(const RowSink &sink, EngineError *error) const;

    // Rows read from pages that fit no table, or more than one alike.
    qint64 unmatchedRows() const { return m_unmatchedRows; }

    // A text value of the file as a string, whatever the file's encoding.
    static QString text(const pages::Value &value, int encoding);

private:
    struct SchemaRow {
        QString type, name, table, sql;
        std::uint32_t root = 0;
    };
    QList<SchemaRow> readSchemaRows();
    void walkTree(std::uint32_t root, std::vector<std::uint32_t> *leaves) const;
    // Row id ranges (low, high]: the parts of a table's tree that cannot be read.
    using KeyRanges = std::vector<std::pair<std::int64_t, std::int64_t>>;
    void walkTableTree(std::uint32_t root, std::vector<std::uint32_t> *reached, KeyRanges *holes) const;
    bool indexWhole(std::uint32_t root) const;
    int outsideTableFor(int table);
    bool buildSchema(const QList<SchemaRow> &rows, EngineError *error);
    void readIndexes(const QList<SchemaRow> &rows);
    void assignPages();
    bool fits(const SalvageTable &table, const std::vector<pages::TableCell> &cells, bool exact) const;
    int indexEvidence(int table, const std::vector<pages::TableCell> &cells) const;

    QFile m_file;
    std::span<const std::uint8_t> m_bytes;
    std::unique_ptr<pages::PageReader> m_reader;
    std::unordered_set<std::uint32_t> m_free;
    bool m_schemaReadable = false;
    sqlite3 *m_model = nullptr; // the schema, built in memory
    int m_modelSteps = 0;
    QList<SalvageTable> m_tables;
    QList<QList<QList<int>>> m_indexColumns; // per table: the column positions of each plain index
    QStringList m_tableSql;
    QStringList m_laterSql;
    std::unordered_set<std::uint64_t> m_indexEntries;        // hashes of every readable index entry
    std::vector<std::uint32_t> m_internalRoots;              // the engine's own tables
    std::vector<std::pair<std::uint32_t, int>> m_pageOwners; // page, table; tree pages first
    std::vector<KeyRanges> m_holes;                          // per table
    qint64 m_unmatchedRows = 0;
};

// A hash of a record's values, the same for equal values.
std::uint64_t recordHash(const pages::Record &values);

} // namespace store
