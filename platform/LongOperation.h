#pragma once

#include <QString>

namespace platform {

// The one long operation on the database that runs at a time: a backup
// window at work, or waiting for the keyring. Event handlers keep running
// meanwhile (the Abort button, the keyring's answer), so the main menu asks
// here before it starts another and refuses while one runs. Nested guards
// keep the outermost one's name.
class LongOperation
{
public:
    // `what` completes "... is under way": "a backup or restore".
    explicit LongOperation(const QString &what);
    ~LongOperation();
    LongOperation(const LongOperation &) = delete;
    LongOperation &operator=(const LongOperation &) = delete;

    static bool running();
    static QString what();
    // True when none runs; otherwise tells the operator that `command`
    // cannot start now (a box) and returns false.
    static bool refuseWhileRunning(const QString &command);
};

} // namespace platform
