#pragma once

#include "store/Database.h"

namespace store {

// What one read of a table counts: the rows whose `rangeField` lies in each
// closed range (compared as countInRanges compares), the different whole
// numbers `numberField` holds within [low, high], and the highest whole
// number it holds anywhere (0 with none above 0).
struct RangeAndNumberCounts {
    QVector<qint64> inRanges;
    qint64 distinct = 0;
    qint64 highest = 0;
};

// On a database file the engine reads the table once for both, through an
// aggregate of ours; elsewhere this is countInRanges and countNumbers. The
// ranges come in ascending order; [low, high] lies within a long integer.
bool countRangesAndNumbers(Database &db, const TableDef &table, int rangeField,
                           const QList<Database::ValueRange> &ranges, int numberField, qint64 low, qint64 high,
                           RangeAndNumberCounts *out, EngineError *error);

} // namespace store
