#include "FullDisk.h"

#include <sqlite3.h>

namespace testing_support {

FullDisk::FullDisk(qint64 freeBytes) : m_freeBytes(freeBytes), m_shim("vantrel-full-disk", hooks())
{
}

FileShimHooks FullDisk::hooks()
{
    FileShimHooks hooks;
    hooks.beforeWrite = [this](int bytes) {
        if (bytes > m_freeBytes)
            return SQLITE_FULL;
        m_freeBytes -= bytes;
        return SQLITE_OK;
    };
    return hooks;
}

void FullDisk::setFreeBytes(qint64 freeBytes)
{
    m_freeBytes = freeBytes;
}

} // namespace testing_support
