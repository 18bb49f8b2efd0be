#pragma once

#include "store/EngineError.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace store {

enum class FieldKind { YesNo, Long, Date, Text, Memo };

// The engine's type number of a field kind: 1 yes/no, 4 long, 8 date,
// 10 text, 12 memo.
int typeCode(FieldKind kind);
// The SQLite declared type that stores a kind with the right affinity and
// from which the kind is read back (BOOLEAN, INTEGER, DATETEXT, VARCHAR(n),
// LONGTEXT).
QString declaredType(FieldKind kind, int maxLength);
FieldKind kindFromDeclaredType(const QString &declared);

struct FieldDef {
    QString name;
    FieldKind kind = FieldKind::Text;
    int maxLength = 0; // text only; 0 for no limit

    int typeCode() const { return store::typeCode(kind); }
};

struct IndexDef {
    QString name;
    QString field;
};

struct TableDef {
    QString name;
    QList<FieldDef> fields;
    QList<IndexDef> indexes;

    // Field names match without regard to case.
    int fieldIndex(const QString &name) const;
    const FieldDef *field(const QString &name) const;
    const IndexDef *index(const QString &name) const;
    QStringList fieldNames() const;
};

namespace Schema {
const TableDef &information();
const TableDef &centerInformation();
// The delivered table of that name, without regard to case; nullptr if none.
const TableDef *table(const QString &name);

// What is said of a file that lacks one of the program's tables: some other
// file stands under the database's name.
QString notOurDatabaseText(const QString &path, const QString &missingTable);

// The statements that create the two tables and their indexes.
QStringList createStatements();

// Each indexed text field of the delivered tables has, besides its NOCASE
// index, a partial index of the rows whose text NOCASE may order otherwise
// than the program's comparison: anything outside printable ASCII (letters
// that fold beyond A-Z, a NUL where NOCASE stops comparing, control
// characters) and trailing blanks (which the program ignores and NOCASE
// counts). SQLite keeps it right on every write, whatever program writes.
// While it holds no row, the NOCASE index gives the field's texts in the
// program's order. The name of that index for a field, and its condition.
QString orderExceptionsIndex(const QString &field);
QString orderExceptionsCondition(const QString &field);

// Writes the delivered database (both tables, the indexes and one empty
// CenterInformation row) into a file that must not exist yet. The file is
// readable by its owner only.
bool createDeliveredDatabase(const QString &path, EngineError *error);
} // namespace Schema

// SQL identifier quoting for names that come from the schema.
QString quoteIdentifier(const QString &name);
// Every field of the table, quoted, in table order, separated by ", ".
QString quotedColumns(const TableDef &table);

} // namespace store
