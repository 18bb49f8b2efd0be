#include "TamperedCopy.h"

#include <sqlite3.h>

namespace testing_support {

namespace {

bool isCopyBeingWritten(const QString &path, int flags)
{
    const QLatin1String suffix(".partial");
    return (flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READWRITE) && path.size() > suffix.size()
        && path.endsWith(suffix);
}

} // namespace

TamperedCopy::TamperedCopy(std::function<void(const QString &path)> tamper)
    : m_tamper(std::move(tamper)), m_shim("vantrel-tampered-copy", hooks())
{
}

FileShimHooks TamperedCopy::hooks()
{
    FileShimHooks hooks;
    hooks.watch = isCopyBeingWritten;
    hooks.afterClose = [this](const QString &path) {
        if (m_done || !m_tamper)
            return;
        m_done = true;
        m_tamper(path);
    };
    return hooks;
}

} // namespace testing_support
