#pragma once

#include "FileShim.h"

#include <QtGlobal>

namespace testing_support {

// A disk with `freeBytes` left: every database connection the engine opens
// while the object lives takes its writes from that space, and a write that
// does not fit fails as on a full disk. Connections opened before it came
// are not affected; those opened while it lived stay on the same disk.
class FullDisk
{
public:
    explicit FullDisk(qint64 freeBytes);
    // Space freed (or taken) meanwhile.
    void setFreeBytes(qint64 freeBytes);

private:
    FileShimHooks hooks();

    qint64 m_freeBytes;
    FileShim m_shim;
};

} // namespace testing_support
