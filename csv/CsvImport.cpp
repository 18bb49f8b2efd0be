#include "csv/CsvImport.h"

#include "store/Database.h"
#include "store/Schema.h"

#include <QFile>
#include <QHash>
#include <QSet>

namespace csv {

namespace {

constexpr qint64 kLargestFile = qint64(512) * 1024 * 1024;
constexpr int kProgressEvery = 1024;

Issue makeIssue(Issue::Kind kind, int line, const QString &field, const QString &reason)
{
    Issue issue;
    issue.kind = kind;
    issue.line = line;
    issue.field = field;
    issue.reason = reason;
    return issue;
}

QString targetTable(Target target)
{
    return target == Target::Customers ? QStringLiteral("Information") : QStringLiteral("CenterInformation");
}

QVector<int> mapColumns(const QStringList &header, const QList<FieldRule> &rules)
{
    QHash<QString, int> byKey;
    for (int i = 0; i < rules.size(); ++i)
        byKey.insert(headerKey(rules.at(i).field), i);
    QVector<int> mapping(header.size(), -1);
    QSet<int> taken;
    for (int c = 0; c < header.size(); ++c) {
        const int field = byKey.value(headerKey(header.at(c)), -1);
        if (field >= 0 && !taken.contains(field)) {
            mapping[c] = field;
            taken.insert(field);
        }
    }
    return mapping;
}

int mappedCount(const QVector<int> &mapping)
{
    int n = 0;
    for (int m : mapping)
        n += m >= 0 ? 1 : 0;
    return n;
}

} // namespace

QString headerKey(const QString &name)
{
    QString key;
    key.reserve(name.size());
    for (QChar c : name) {
        if (!c.isSpace())
            key += c.toLower();
    }
    return key;
}

QString describe(const Issue &issue)
{
    QString text = QStringLiteral("line %1").arg(issue.line);
    if (!issue.field.isEmpty())
        text += QStringLiteral(", ") + issue.field;
    text += issue.kind == Issue::Kind::Warning ? QStringLiteral(" (warning): ") : QStringLiteral(": ");
    return text + issue.reason;
}

struct CsvImport::Walk {
    CheckSummary summary;
    // Takes a good row: the checked value of each mapped column, in column order.
    std::function<bool(int line, const QVariantList &values)> sink;
    QString error;
};

CsvImport::CsvImport() = default;
CsvImport::~CsvImport() = default;

bool CsvImport::open(const QString &csvPath, const QString &databasePath, QString *error)
{
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("Could not read '%1': %2").arg(csvPath, file.errorString());
        return false;
    }
    if (file.size() > kLargestFile) {
        *error = QStringLiteral("'%1' is larger than 512 MB; split it into smaller files.").arg(csvPath);
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *error = QStringLiteral("Could not read '%1': %2").arg(csvPath, file.errorString());
        return false;
    }
    DecodedText decoded = decodeText(bytes);
    if (decoded.binaryLine > 0) {
        *error = QStringLiteral(
                     "Line %1: the file is not a text file (it holds a zero byte); nothing can be imported from it.")
                     .arg(decoded.binaryLine);
        return false;
    }
    if (decoded.strayLine > 0) {
        *error = QStringLiteral("Line %1, byte %2: the file is written as UTF-8 but for a few bytes, such as this one "
                                "(0x%3), so neither UTF-8 nor Windows-1252 would read all of its letters right. "
                                "Correct that line, or save the file again as UTF-8, then import it.")
                     .arg(decoded.strayLine)
                     .arg(decoded.strayColumn)
                     .arg(QString::number(decoded.strayByte, 16).toUpper().rightJustified(2, QLatin1Char('0')));
        return false;
    }
    m_text = std::move(decoded.text);
    m_encoding = decoded.encoding;
    m_delimiter = detectDelimiter(m_text);

    CsvParser parser(m_text, m_delimiter);
    CsvRecord first;
    if (!parser.next(&first)) {
        *error = QStringLiteral("The file is empty: it needs a first line of field names and a line for each row.");
        return false;
    }
    m_header = first.values;

    store::EngineError e;
    m_db = store::Database::open(databasePath, &e);
    if (!m_db) {
        *error = e.text;
        return false;
    }
    m_databasePath = databasePath;

    // A file without the two tables is no database of ours: say so, rather
    // than blame the columns of the file being imported.
    for (Target t : {Target::Customers, Target::CenterSettings}) {
        if (!m_db->tableDef(targetTable(t))) {
            *error = store::Schema::notOurDatabaseText(databasePath, targetTable(t));
            m_db.reset();
            return false;
        }
    }

    int best = 0;
    for (Target t : {Target::Customers, Target::CenterSettings}) {
        const store::TableDef *table = m_db->tableDef(targetTable(t));
        const QList<FieldRule> rules = fieldRules(*table);
        const QVector<int> mapping = mapColumns(m_header, rules);
        if (mappedCount(mapping) > best) {
            best = mappedCount(mapping);
            m_target = t;
            m_table = table->name;
            m_rules = rules;
            m_mapping = mapping;
        }
    }
    if (best == 0) {
        *error = QStringLiteral("Line %1: no column names a field of the customers or of the center's settings. The "
                                "first line must name the fields, such as LockerNumber,FirstName,LastName.")
                     .arg(first.line);
        return false;
    }
    return true;
}

bool CsvImport::setMapping(const QVector<int> &mapping, QString *error)
{
    if (mapping.size() != m_header.size()) {
        *error =
            QStringLiteral("The mapping must name a field, or none, for each of the %1 columns.").arg(m_header.size());
        return false;
    }
    QSet<int> taken;
    for (int c = 0; c < mapping.size(); ++c) {
        const int field = mapping.at(c);
        if (field < -1 || field >= m_rules.size()) {
            *error = QStringLiteral("Column %1 names no field of the table.").arg(c + 1);
            return false;
        }
        if (field >= 0 && taken.contains(field)) {
            *error = QStringLiteral("The field %1 is given to two columns; each field takes one column at most.")
                         .arg(m_rules.at(field).field);
            return false;
        }
        taken.insert(field);
    }
    m_mapping = mapping;
    return true;
}

QStringList CsvImport::fieldsWithoutColumn() const
{
    QStringList missing;
    for (int i = 0; i < m_rules.size(); ++i) {
        if (!m_mapping.contains(i))
            missing << m_rules.at(i).field;
    }
    return missing;
}

QList<CsvRecord> CsvImport::firstRows(int count) const
{
    QList<CsvRecord> rows;
    CsvParser parser(m_text, m_delimiter);
    CsvRecord record;
    parser.next(&record); // the header
    while (rows.size() < count && parser.next(&record))
        rows.append(record);
    return rows;
}

QList<Issue> CsvImport::headerIssues() const
{
    QList<Issue> issues;
    for (int c = 0; c < m_header.size(); ++c) {
        if (m_mapping.value(c, -1) >= 0)
            continue;
        const QString name = m_header.at(c).trimmed();
        issues << makeIssue(Issue::Kind::Warning, 1, QString(),
                            name.isEmpty() ? QStringLiteral("Column %1 has no name and is not imported.").arg(c + 1)
                                           : QStringLiteral("The column '%1' is not imported.").arg(name));
    }
    return issues;
}

// Warns of a second customer on one locker: one already in the database, or
// one given earlier in the file.
class CsvImport::LockerWarnings
{
public:
    // Reads the lockers in use; `position` is where the locker number lies
    // among a row's checked values (-1: the file has no locker column).
    bool start(store::Database &db, const QString &table, int position, QString *error)
    {
        m_position = position;
        if (position < 0)
            return true;
        const store::TableDef *def = db.tableDef(table);
        store::EngineError e;
        const bool read = db.scanRows(
            *def, {def->fieldIndex(QStringLiteral("LockerNumber"))},
            [this](qint64, const QVariantList &values) {
                if (!values.at(0).isNull())
                    m_inUse.insert(values.at(0).toLongLong());
                return true;
            },
            &e);
        if (!read)
            *error = QStringLiteral("The lockers already in use could not be read: %1").arg(e.text);
        return read;
    }

    void check(int line, const QVariantList &values, QList<Issue> *issues)
    {
        if (m_position < 0 || values.at(m_position).isNull())
            return;
        const qint64 n = values.at(m_position).toLongLong();
        if (m_inUse.contains(n))
            *issues << makeIssue(Issue::Kind::Warning, line, QStringLiteral("LockerNumber"),
                                 QStringLiteral("Locker %1 is already in use by a customer of the database.").arg(n));
        else if (m_inFile.contains(n))
            *issues << makeIssue(Issue::Kind::Warning, line, QStringLiteral("LockerNumber"),
                                 QStringLiteral("Locker %1 is also given on line %2.").arg(n).arg(m_inFile.value(n)));
        else
            m_inFile.insert(n, line);
    }

private:
    int m_position = -1;
    QSet<qint64> m_inUse;
    QHash<qint64, int> m_inFile;
};

int CsvImport::lockerValuePosition() const
{
    if (m_target != Target::Customers)
        return -1;
    int position = 0;
    for (int c = 0; c < m_mapping.size(); ++c) {
        if (m_mapping.at(c) < 0)
            continue;
        if (m_rules.at(m_mapping.at(c)).field.compare(QLatin1String("LockerNumber"), Qt::CaseInsensitive) == 0)
            return position;
        ++position;
    }
    return -1;
}

bool CsvImport::checkRecord(const CsvRecord &record, int unclosedQuoteLine, int rowNumber, QVariantList *values,
                            QList<Issue> *issues) const
{
    if (unclosedQuoteLine > 0) {
        *issues << makeIssue(Issue::Kind::Error, unclosedQuoteLine, QString(),
                             QStringLiteral("A value in quotes is not closed before the end of the file."));
        return false;
    }
    if (record.values.size() != m_header.size()) {
        *issues << makeIssue(Issue::Kind::Error, record.line, QString(),
                             QStringLiteral("The row has %1 values; the first line names %2 columns.")
                                 .arg(record.values.size())
                                 .arg(m_header.size()));
        return false;
    }
    if (m_target == Target::CenterSettings && rowNumber > 1) {
        *issues << makeIssue(
            Issue::Kind::Error, record.line, QString(),
            QStringLiteral("The center has one row of settings; only the first row of the file is imported."));
        return false;
    }
    bool good = true;
    for (int c = 0; c < m_mapping.size(); ++c) {
        const int field = m_mapping.at(c);
        if (field < 0)
            continue;
        QVariant stored;
        QString reason;
        if (!checkValue(m_rules.at(field), withoutFormulaGuard(record.values.at(c)), &stored, &reason)) {
            *issues << makeIssue(Issue::Kind::Error, record.line, m_rules.at(field).field, reason);
            good = false;
        }
        values->append(stored);
    }
    return good;
}

bool CsvImport::walk(Walk &walk, const Progress &progress) const
{
    CheckSummary &summary = walk.summary;
    summary.issues = headerIssues();
    LockerWarnings lockers;
    if (!lockers.start(*m_db, m_table, lockerValuePosition(), &walk.error))
        return false;

    CsvParser parser(m_text, m_delimiter);
    CsvRecord record;
    parser.next(&record); // the header
    QVariantList values;
    QList<Issue> rowIssues;
    while (parser.next(&record)) {
        ++summary.rows;
        rowIssues.clear();
        values.clear();
        const bool good = checkRecord(record, parser.unclosedQuoteLine(), summary.rows, &values, &rowIssues);
        if (good)
            lockers.check(record.line, values, &rowIssues);
        summary.issues << rowIssues;
        if (!good) {
            ++summary.badRows;
        } else {
            ++summary.goodRows;
            if (walk.sink && !walk.sink(record.line, values))
                return false;
        }
        if (progress && summary.rows % kProgressEvery == 0 && !progress(parser.position(), m_text.size())) {
            summary.cancelled = true;
            return false;
        }
    }
    if (progress)
        progress(m_text.size(), m_text.size());
    return true;
}

CheckSummary CsvImport::check(const Progress &progress) const
{
    Walk w;
    if (!walk(w, progress) && !w.summary.cancelled)
        w.summary.error = w.error;
    return w.summary;
}

ImportResult CsvImport::run(Rows rows, const Progress &progress)
{
    ImportResult result;
    const store::TableDef *table = m_db->tableDef(m_table);
    QList<int> fields;
    for (int field : std::as_const(m_mapping)) {
        if (field >= 0)
            fields << table->fieldIndex(m_rules.at(field).field);
    }

    store::EngineError e;
    // Added customers are kept with the import, so that it can be undone.
    const std::unique_ptr<store::RowBatch> batch = m_db->beginBatch(
        *table, fields, m_target == Target::Customers ? QStringLiteral("Import Customers") : QString(), &e);
    if (!batch) {
        result.error = QStringLiteral("The database could not be opened for writing: %1").arg(e.text);
        return result;
    }

    Walk w;
    w.sink = [&](int line, const QVariantList &values) {
        bool written = false;
        if (m_target == Target::CenterSettings && !batch->updateFirst(values, &written, &e)) {
            w.error = QStringLiteral("Line %1: %2").arg(line).arg(e.text);
            return false;
        }
        if (!written && !batch->insert(values, &e)) {
            w.error = QStringLiteral("Line %1: %2").arg(line).arg(e.text);
            return false;
        }
        ++result.added;
        return true;
    };
    const bool walked = walk(w, progress);
    result.summary = w.summary;
    result.cancelled = w.summary.cancelled;

    QString failure;
    if (!walked)
        failure = result.cancelled ? QStringLiteral("The import was cancelled.") : w.error;
    else if (w.summary.goodRows == 0)
        failure = QStringLiteral("No row of the file can go in.");
    else if (rows == Rows::AllOrNothing && w.summary.badRows > 0)
        failure = w.summary.badRows == 1 ? QStringLiteral("1 row cannot go in.")
                                         : QStringLiteral("%1 rows cannot go in.").arg(w.summary.badRows);
    else if (!batch->commit(&e))
        failure = e.text;
    if (!failure.isEmpty()) {
        result.added = 0;
        result.error = failure + QStringLiteral(" Nothing was imported.");
        return result;
    }
    result.succeeded = true;
    return result;
}

} // namespace csv
