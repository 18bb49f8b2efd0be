#pragma once

#include "reports/ValueFormat.h"
#include "reports/formula/SelectionFormula.h"
#include "store/Schema.h"

#include <QStringList>
#include <QVariantList>
#include <QVector>
#include <functional>
#include <memory>
#include <vector>

namespace store {
class Database;
class Recordset;
class Statement;
} // namespace store

namespace reports {

// Called now and then during long work with what is done of how much;
// returning false cancels the work.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// The customers a report prints, in its order. The rows stay in the
// database: the engine's keyset gives their ids in the sort order, and a row
// is read when a page needs it. With a selection formula the selected
// positions of the keyset are found once (select()); without one every row
// is printed and nothing is read ahead.
//
// Rows selected by a statement alone are counted by the engine and only the
// first page's ids are read at first, both in one read of the file: the
// whole ordered keyset costs a walk of the table and waits until a row past
// them is wanted (placeRows()). Should that keyset differ from what was
// counted (another window saved, another program committed), it holds from
// then on: count() follows and rowsChanged() grows, so that a view of pages
// painted before paints them again.
class ReportRows
{
public:
    ReportRows();
    ~ReportRows();

    // Opens the customers of `db` sorted by `sortKeys` ("+{Information.F}" or
    // "-{Information.F}", at most three) and compiles the formulas, each of
    // which a row must satisfy. Errors name the formula or key at fault.
    // `selection`, when given, selects the rows of the last formula (a select
    // of Information in the engine's dialect): the engine then finds them,
    // and only the other formulas are checked row by row.
    bool open(const std::shared_ptr<store::Database> &db, const QStringList &formulas, const QStringList &sortKeys,
              QString *error, const QString &selection = QString());

    // Finds the rows the formulas select; without formulas there is nothing
    // to do. False when cancelled or when a row cannot be read (readError()).
    bool select(const Progress &progress);
    bool selected() const { return m_selected; }
    // How many rows' ids select() reads ahead where a statement selects
    // (the first page's); the rest are read when needed.
    void setFirstRows(int rows) { m_firstRows = qMax(0, rows); }

    qint64 count() const;
    // Knows the places of the rows before `last`; past the first rows that
    // reads the whole keyset, which may find the rows changed since they
    // were counted. False when it cannot be read (readError()).
    bool placeRows(qint64 last) const;
    // How many times the rows were found changed since they were counted.
    int rowsChanged() const { return m_rowsChanged; }
    // Pages need only the fields they print: readRows() then reads those and
    // leaves the others null. Without a call every field is read.
    void setPrintedFields(const QList<int> &fields);
    // Reads the rows from `first` to before `last` (places in the report's
    // order) under one lock of the file, each into the same PrintedRow, and
    // hands each to `use`. A row gone since the keyset was read comes with
    // every field null, and so does one that cannot be read, which
    // readError() then tells.
    using RowUse = std::function<void(qint64 index, const PrintedRow &row)>;
    void readRows(qint64 first, qint64 last, const RowUse &use) const;
    // The first failure to read a row, empty while every read succeeded. A
    // report with such a gap is not to be passed off as complete.
    QString readError() const { return m_readError; }
    // The center's settings (one row of CenterInformation), empty if none.
    const QVariantList &center() const { return m_center; }

    // The statement of the dialect that orders the customers by the keys.
    static bool orderStatement(const QStringList &sortKeys, QString *statement, QString *error);

private:
    qint64 idAt(qint64 index) const;
    void readRow(qint64 index) const;
    // The same for a database without the embedded engine's connection,
    // which reads the rows from `first` to `last` in batches.
    void readRowsThroughEngine(qint64 first, qint64 last, const RowUse &use) const;
    void prepareReadFields() const;
    bool countStatement();
    bool keysetPending() const { return !m_orderedStatement.isEmpty() && !m_keyset; }

    std::shared_ptr<store::Database> m_db;
    store::TableDef m_table;
    mutable std::shared_ptr<store::Recordset> m_keyset;
    // A statement selecting alone: its keyset, in the report's order, is read
    // only when needed; until then its count and its first ids stand for it.
    QString m_statement;
    QString m_orderedStatement;
    qint64 m_statementCount = 0;
    QVector<qint64> m_firstIds;
    int m_firstRows = 0;
    mutable int m_rowsChanged = 0;
    std::vector<formula::SelectionFormula> m_formulas;
    std::vector<int> m_positions; // selected positions of the keyset
    bool m_selected = false;
    QVariantList m_center;
    QList<int> m_printed;
    mutable std::unique_ptr<store::Statement> m_printedQuery;
    mutable QList<int> m_readFields; // m_printed, or every field
    mutable PrintedRow m_printedRow;
    mutable QString m_readError;
};

} // namespace reports
