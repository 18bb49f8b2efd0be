#pragma once

#include "csv/CsvText.h"
#include "csv/FieldRules.h"

#include <QList>
#include <QStringList>
#include <QVector>
#include <functional>
#include <memory>

namespace store {
class Database;
}

namespace csv {

// Called now and then during long work with what is done of the whole;
// returning false cancels.
using Progress = std::function<bool(qint64 done, qint64 total)>;

// What a file fills: customers are added; the center's one settings row is
// replaced.
enum class Target { Customers, CenterSettings };

// Something the operator must hear of: an error keeps its row out, a
// warning lets it go in.
struct Issue {
    enum class Kind { Error, Warning };
    Kind kind = Kind::Error;
    int line = 0;  // the line of the file the row begins on
    QString field; // empty when it is about the whole row
    QString reason;
};

// Text of an issue for a report: "line 4, FirstName: 60 characters; ...".
QString describe(const Issue &issue);

struct CheckSummary {
    int rows = 0;
    int goodRows = 0;
    int badRows = 0;
    QList<Issue> issues; // in the order of the file
    bool cancelled = false;
    QString error; // why the rows could not all be checked; empty when they were
};

struct ImportResult {
    bool succeeded = false;
    bool cancelled = false;
    int added = 0; // customers added, or 1 when the center's settings were written
    QString error; // why nothing was written
    CheckSummary summary;
};

// A CSV file on its way into the database: read once, then checked and
// imported as often as the operator changes the mapping. Every row is
// checked as the windows check what is typed; the good rows go in within
// one transaction, so that a failure part-way adds nothing.
class CsvImport
{
public:
    CsvImport();
    ~CsvImport();
    CsvImport(const CsvImport &) = delete;
    CsvImport &operator=(const CsvImport &) = delete;

    // Reads the file and its first line, and finds which table of the
    // database it fills. False, with the reason (and its line), for a file
    // that cannot be imported at all.
    bool open(const QString &csvPath, const QString &databasePath, QString *error);

    Target target() const { return m_target; }
    QString encoding() const { return m_encoding; }
    QChar delimiter() const { return m_delimiter; }
    QStringList header() const { return m_header; }
    const QList<FieldRule> &rules() const { return m_rules; }

    // For each column of the file, the index of its field in rules(), or -1
    // for a column that is not imported. Columns match fields by name,
    // without regard to case or blanks.
    const QVector<int> &mapping() const { return m_mapping; }
    // A mapping of the operator's; false when it names one field twice.
    bool setMapping(const QVector<int> &mapping, QString *error);
    // Fields of the table that no column fills: they stay empty.
    QStringList fieldsWithoutColumn() const;

    // The first rows of the file as they stand, for a preview.
    QList<CsvRecord> firstRows(int count) const;

    // Checks every row and writes nothing.
    CheckSummary check(const Progress &progress = {}) const;
    // Imports the good rows in one transaction; with AllOrNothing, only
    // when every row is good.
    enum class Rows { Good, AllOrNothing };
    ImportResult run(Rows rows = Rows::Good, const Progress &progress = {});

private:
    struct Walk;
    class LockerWarnings;
    // Reads every row, checks it and hands the good ones to the walk's sink.
    bool walk(Walk &walk, const Progress &progress) const;
    // Checks one row: its shape, then each mapped value. True when it can go in.
    bool checkRecord(const CsvRecord &record, int unclosedQuoteLine, int rowNumber, QVariantList *values,
                     QList<Issue> *issues) const;
    // Where the locker number lies among a row's checked values; -1 when not imported.
    int lockerValuePosition() const;
    QList<Issue> headerIssues() const;

    QString m_databasePath;
    std::shared_ptr<store::Database> m_db;
    QString m_text;
    QString m_encoding;
    QChar m_delimiter = QLatin1Char(',');
    QStringList m_header;
    int m_headerLines = 1;
    qsizetype m_bodyStart = 0;
    Target m_target = Target::Customers;
    QString m_table;
    QList<FieldRule> m_rules;
    QVector<int> m_mapping;
};

// The key by which a column name matches a field: lower case, no blanks.
QString headerKey(const QString &name);

} // namespace csv
