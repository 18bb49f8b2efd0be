#pragma once

#include <QtGlobal>

namespace testing_support {

// A disk with `freeBytes` left, for the lifetime of the object: every
// database file the engine opens meanwhile takes its writes from that space,
// and a write that does not fit fails as on a full disk. Only connections
// opened while it lives see it.
class FullDisk
{
public:
    explicit FullDisk(qint64 freeBytes);
    ~FullDisk();
    FullDisk(const FullDisk &) = delete;
    FullDisk &operator=(const FullDisk &) = delete;
};

} // namespace testing_support
