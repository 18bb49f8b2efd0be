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

// The statements that create the two tables and their indexes.
QStringList createStatements();

// Writes the delivered database (both tables, the indexes and one empty
// CenterInformation row) into a file that must not exist yet. The file is
// readable by its owner only.
bool createDeliveredDatabase(const QString &path, EngineError *error);
} // namespace Schema

// SQL identifier quoting for names that come from the schema.
QString quoteIdentifier(const QString &name);

} // namespace store
