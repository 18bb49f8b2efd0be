#pragma once

#include "FileShim.h"

#include <QString>
#include <functional>

namespace testing_support {

// While it lives, the first database file the engine writes under a name
// ending in ".partial" (a copy being made) is handed to `tamper` as soon as
// the engine has written it and let go of it, before anything reads it back.
// `tamper` may open the file with the engine itself.
class TamperedCopy
{
public:
    explicit TamperedCopy(std::function<void(const QString &path)> tamper);
    // Whether the copy was written and handed over.
    bool tampered() const { return m_done; }

private:
    FileShimHooks hooks();

    std::function<void(const QString &path)> m_tamper;
    bool m_done = false;
    FileShim m_shim;
};

} // namespace testing_support
