#include "reports/ReportRows.h"

#include "reports/formula/FormulaLexer.h"
#include "store/Database.h"
#include "store/ReadTransaction.h"
#include "store/Recordset.h"
#include "store/Statement.h"
#include "store/sql/Dates.h"

#include <sqlite3.h>

namespace reports {

ReportRows::ReportRows() = default;
ReportRows::~ReportRows() = default;

bool ReportRows::orderStatement(const QStringList &sortKeys, QString *statement, QString *error)
{
    const store::TableDef &table = store::Schema::information();
    QStringList order;
    for (const QString &key : sortKeys) {
        auto refuse = [&](const QString &why) {
            if (error)
                *error =
                    QStringLiteral("The sort field %1 %2").arg(formula::formulaPiece(key, 0, int(key.size())), why);
            return false;
        };
        std::vector<formula::Token> tokens;
        QString lexError;
        if (!formula::FormulaLexer::tokenize(key, &tokens, &lexError))
            return refuse(QStringLiteral("cannot be read: %1").arg(lexError));
        // Tokens: the sign, the field, the end.
        if (tokens.size() != 3
            || (tokens[0].kind != formula::Token::Kind::Plus && tokens[0].kind != formula::Token::Kind::Minus)
            || tokens[1].kind != formula::Token::Kind::Field)
            return refuse(QStringLiteral("is not a sort field: write +{Information.Field} or -{Information.Field}."));
        if (tokens[1].table.compare(table.name, Qt::CaseInsensitive) != 0
            && tokens[1].table.compare(QStringLiteral("[%1]").arg(table.name), Qt::CaseInsensitive) != 0)
            return refuse(QStringLiteral("names the table \"%1\"; reports are sorted by fields of %2.")
                              .arg(tokens[1].table, table.name));
        const store::FieldDef *field = table.field(tokens[1].field);
        if (!field)
            return refuse(
                QStringLiteral("names the field \"%1\", which %2 does not have.").arg(tokens[1].field, table.name));
        // The name as the schema spells it, so nothing of the key's text
        // reaches the statement.
        order << QStringLiteral("[%1] %2").arg(
            field->name, tokens[0].kind == formula::Token::Kind::Plus ? QStringLiteral("ASC") : QStringLiteral("DESC"));
    }
    *statement = QStringLiteral("Select %1.* From %1").arg(table.name);
    if (!order.isEmpty())
        *statement += QStringLiteral(" ORDER BY ") + order.join(QStringLiteral(", "));
    return true;
}

bool ReportRows::open(const std::shared_ptr<store::Database> &db, const QStringList &formulas,
                      const QStringList &sortKeys, QString *error, const QString &selection)
{
    m_db = db;
    m_formulas.clear();
    m_positions.clear();
    m_selected = false;
    m_center.clear();
    m_keyset.reset();
    m_statement.clear();
    m_orderedStatement.clear();
    m_statementCount = 0;
    m_firstIds.clear();

    QString ordered;
    if (!orderStatement(sortKeys, &ordered, error))
        return false;
    const store::TableDef &information = store::Schema::information();
    store::EngineError e;
    // The statement's rows in the report's order: the engine counts and
    // finds them. A statement it refuses, or one of another table, leaves
    // the selection to the formula, which says the same.
    bool bySelection = false;
    if (!selection.trimmed().isEmpty() && !formulas.isEmpty() && !formulas.last().trimmed().isEmpty()) {
        const QString prefix = QStringLiteral("Select %1.* From %1").arg(information.name);
        const QString statement = selection + ordered.mid(prefix.size());
        bool alone = true;
        for (qsizetype i = 0; i + 1 < formulas.size(); ++i)
            alone = alone && formulas.at(i).trimmed().isEmpty();
        if (alone) {
            // Nothing left to check row by row: select() counts, and the
            // keyset waits until a page needs it.
            store::TranslatedStatement translated;
            const store::TableDef *table =
                db->translate(statement, &translated, &e) ? db->tableDef(translated.table) : nullptr;
            bySelection =
                translated.kind == store::TranslatedStatement::Kind::Select && table && table->name == information.name;
            if (bySelection) {
                m_table = *table;
                m_statement = selection;
                m_orderedStatement = statement;
            }
        } else {
            m_keyset = db->OpenRecordset(statement, store::Recordset::Snapshot, &e);
            bySelection = m_keyset && m_keyset->table().name == information.name;
        }
    }
    if (!bySelection)
        m_keyset = db->OpenRecordset(ordered, store::Recordset::Snapshot, &e);
    if (m_keyset) {
        m_table = m_keyset->table();
    } else if (!bySelection) {
        if (error)
            *error = e.text;
        return false;
    }
    for (qsizetype i = 0; i < formulas.size(); ++i) {
        const QString &text = formulas.at(i);
        if (text.trimmed().isEmpty())
            continue;
        formula::SelectionFormula compiled;
        QString why;
        if (!formula::SelectionFormula::compile(text, m_table, &compiled, &why)) {
            if (error)
                *error = QStringLiteral("The selection formula %1 is refused: %2")
                             .arg(formula::formulaPiece(text, 0, int(text.size())), why);
            return false;
        }
        // Refused alike, but not checked again where the statement selects.
        if (!bySelection || i != formulas.size() - 1)
            m_formulas.push_back(std::move(compiled));
    }
    m_selected = m_formulas.empty() && !keysetPending();

    auto center = db->OpenRecordset(store::Schema::centerInformation().name, store::Recordset::Snapshot, &e);
    if (!center) {
        if (error)
            *error = e.text;
        return false;
    }
    if (center->RecordCount() > 0)
        m_center = center->rowAt(0);
    return true;
}

bool ReportRows::select(const Progress &progress)
{
    if (m_selected)
        return true;
    if (keysetPending()) {
        m_selected = countStatement();
        return m_selected;
    }
    m_positions.clear();
    const int total = m_keyset->RecordCount();
    for (int i = 0; i < total; ++i) {
        if (progress && (i % 2048) == 0 && !progress(i, total))
            return false;
        QVariantList row;
        store::EngineError failure;
        if (!m_keyset->readRowAt(i, &row, &failure)) {
            m_readError = failure.text;
            return false;
        }
        if (row.isEmpty())
            continue; // deleted since the keyset was read
        bool all = true;
        for (const formula::SelectionFormula &f : m_formulas) {
            if (!f.selects(row)) {
                all = false;
                break;
            }
        }
        if (all)
            m_positions.push_back(i);
    }
    m_selected = true;
    if (progress)
        progress(total, total);
    return true;
}

bool ReportRows::countStatement()
{
    // The count and the first ids in one read of the file, so that they
    // agree. The count is the statement's own, without the report's order:
    // ordered, the engine would walk the order's index through every row.
    store::EngineError e;
    store::ReadTransaction reading(*m_db);
    store::TranslatedStatement ordered;
    qint64 count = 0;
    QVector<qint64> ids;
    bool read =
        reading.begin(&e) && m_db->count(m_statement, &count, &e) && m_db->translate(m_orderedStatement, &ordered, &e);
    if (read && m_firstRows > 0 && count > 0)
        read = m_db->readIds(QStringLiteral("SELECT * FROM (%1) AS ordered LIMIT %2").arg(ordered.sql).arg(m_firstRows),
                             ordered.params, &ids, &e);
    if (!read || !reading.commit(&e)) {
        m_readError = e.text;
        return false;
    }
    m_statementCount = count;
    m_firstIds = std::move(ids);
    return true;
}

bool ReportRows::placeRows(qint64 last) const
{
    if (!keysetPending() || qMin(last, m_statementCount) <= m_firstIds.size())
        return true;
    store::EngineError e;
    auto keyset = m_db->OpenRecordset(m_orderedStatement, store::Recordset::Snapshot, &e);
    if (!keyset) {
        if (m_readError.isEmpty())
            m_readError = e.text;
        return false;
    }
    bool same = keyset->RecordCount() == m_statementCount;
    for (qsizetype i = 0; same && i < m_firstIds.size(); ++i)
        same = keyset->idAt(int(i)) == m_firstIds.at(i);
    if (!same)
        ++m_rowsChanged;
    m_keyset = std::move(keyset);
    return true;
}

qint64 ReportRows::count() const
{
    if (keysetPending())
        return m_statementCount;
    if (!m_keyset)
        return 0;
    return m_formulas.empty() ? m_keyset->RecordCount() : qint64(m_positions.size());
}

void ReportRows::setPrintedFields(const QList<int> &fields)
{
    m_printed = fields;
    m_printedQuery.reset();
    m_printedRow.clear(); // the fields read are chosen again
}

void ReportRows::readRows(qint64 first, qint64 last, const RowUse &use) const
{
    // Rows not placed print empty; readError() tells why.
    placeRows(last);
    last = qMin(last, count());
    first = qMax<qint64>(first, 0);
    if (first >= last)
        return;
    // One lock for the lot rather than one per row. A file that cannot be
    // read fails the reads themselves, and readError() says so.
    store::ReadTransaction reading(*m_db);
    reading.begin(nullptr);
    if (!m_db->handle()) {
        readRowsThroughEngine(first, last, use);
        return;
    }
    for (qint64 i = first; i < last; ++i) {
        readRow(i);
        use(i, m_printedRow);
    }
}

void ReportRows::prepareReadFields() const
{
    if (!m_printedRow.empty())
        return;
    m_readFields = m_printed;
    if (m_readFields.isEmpty()) {
        for (int field = 0; field < int(m_table.fields.size()); ++field)
            m_readFields << field;
    }
    m_printedRow.assign(m_table.fields.size(), FieldValue());
}

qint64 ReportRows::idAt(qint64 index) const
{
    if (!keysetPending())
        return m_keyset->idAt(m_formulas.empty() ? int(index) : m_positions[size_t(index)]);
    return index < m_firstIds.size() ? m_firstIds.at(index) : -1;
}

void ReportRows::readRow(qint64 index) const
{
    // Reading a page's few fields straight from the row is most of the speed
    // of a long listing; every field of the table would be read otherwise.
    const store::TableDef &table = m_table;
    prepareReadFields();
    if (!m_printedQuery) {
        QStringList columns;
        for (int field : m_readFields)
            columns << store::quoteIdentifier(table.fields.at(field).name);
        m_printedQuery = std::make_unique<store::Statement>(
            m_db->handle(),
            QStringLiteral("SELECT %1 FROM %2 WHERE rowid = ?")
                .arg(columns.join(QStringLiteral(", ")), store::quoteIdentifier(table.name)));
    }
    for (int field : m_readFields)
        m_printedRow[size_t(field)].kind = FieldValue::Kind::Null;

    const qint64 id = idAt(index);
    store::Statement &query = *m_printedQuery;
    query.reset();
    query.bindInt64(1, id);
    if (!query.step()) {
        if (query.error().isError() && m_readError.isEmpty())
            m_readError = QStringLiteral("The record could not be read: %1").arg(query.error().text);
        query.reset();
        return; // gone since the keyset was read, or unreadable
    }
    sqlite3_stmt *st = query.handle();
    for (int c = 0; c < int(m_readFields.size()); ++c) {
        const int field = m_readFields.at(c);
        if (sqlite3_column_type(st, c) == SQLITE_NULL)
            continue;
        FieldValue &value = m_printedRow[size_t(field)];
        switch (table.fields.at(field).kind) {
        case store::FieldKind::YesNo:
            value.kind = FieldValue::Kind::YesNo;
            value.yes = sqlite3_column_int64(st, c) != 0;
            break;
        case store::FieldKind::Long:
            value.kind = FieldValue::Kind::Number;
            value.number = double(sqlite3_column_int64(st, c));
            break;
        case store::FieldKind::Date: {
            const char *text = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
            const int length = sqlite3_column_bytes(st, c);
            if (const auto date = store::dates::parseStoredDate(text, length)) {
                value.kind = FieldValue::Kind::Date;
                value.date = *date;
            } else {
                value.setText(text, length);
            }
            break;
        }
        case store::FieldKind::Text:
        case store::FieldKind::Memo: {
            // Text first: the length counts the bytes of that form.
            const char *text = reinterpret_cast<const char *>(sqlite3_column_text(st, c));
            value.setText(text, sqlite3_column_bytes(st, c));
            break;
        }
        }
    }
    query.reset();
}

void ReportRows::readRowsThroughEngine(qint64 first, qint64 last, const RowUse &use) const
{
    // A page or two of rows per read: one read per row would wait on the
    // server for each.
    constexpr qint64 kBatch = 256;
    prepareReadFields();
    QVector<qint64> ids;
    QList<QVariantList> rows;
    for (qint64 start = first; start < last; start += kBatch) {
        const qint64 end = qMin(last, start + kBatch);
        ids.clear();
        for (qint64 i = start; i < end; ++i)
            ids << idAt(i);
        store::EngineError e;
        if (!m_db->readRows(m_table, ids, &rows, &e)) {
            if (m_readError.isEmpty())
                m_readError = QStringLiteral("The record could not be read: %1").arg(e.text);
            rows.clear();
        }
        for (qint64 i = start; i < end; ++i) {
            const QVariantList row = rows.value(int(i - start)); // empty: gone since the keyset was read
            for (int field : m_readFields)
                m_printedRow[size_t(field)] =
                    row.isEmpty() ? FieldValue() : FieldValue::of(row.at(field), m_table.fields.at(field).kind);
            use(i, m_printedRow);
        }
    }
}

} // namespace reports
