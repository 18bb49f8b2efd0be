#pragma once

#include "store/DBEngine.h"
#include "store/EngineError.h"

namespace maintenance {

// How a compress or repair of the program folder's database ended.
struct Outcome {
    enum class Result {
        Done,                  // compacted (and repaired), named "VANTREL.MDB"
        NotRun,                // the database is as it was
        RepairedOnly,          // a damaged file was rebuilt; the compaction after it failed
        CompactedUnderOldName, // compacted, but the file keeps the name it had
    };
    Result result = Result::NotRun;
    store::EngineError error; // why, unless Done
    store::RepairReport repair;

    bool succeeded() const { return result == Result::Done; }
};

// Compacts the program folder's database in place, or repairs and then
// compacts it. The database is replaced only by a complete copy that has
// been written, synced and checked, and only by renames: at every moment the
// folder holds the database under one name or another, never none. Open data
// windows write their edits and let go of the file first, and take it up
// again afterwards on the same rows.
class InPlaceMaintenance
{
public:
    Outcome compress();
    Outcome repair();

private:
    Outcome run(bool repairFirst);
};

} // namespace maintenance
