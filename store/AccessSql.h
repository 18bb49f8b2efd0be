#pragma once

#include "store/EngineError.h"
#include "store/Schema.h"

#include <QVariantList>
#include <functional>

namespace store {

// Finds a table of the open database by name (without regard to case).
using TableLookup = std::function<const TableDef *(const QString &name)>;

// An Access-dialect statement made into SQLite SQL with bound values.
struct TranslatedStatement {
    enum class Kind { Select, Delete };
    Kind kind = Kind::Select;
    QString table;        // the table's name as the schema spells it
    QString sql;          // select: the row ids of the matching rows in order; delete: the delete
    QVariantList params;  // bound to the ? placeholders of sql, in order
};

// Parses a statement of the filter builder's dialect and checks every name
// against the schema. Anything outside the dialect is refused with a text
// that names the offending piece; nothing is passed through as text.
bool translateAccessSql(const QString &statement, const TableLookup &tables, TranslatedStatement *out,
                        EngineError *error);

} // namespace store
