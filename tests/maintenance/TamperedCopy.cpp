#include "TamperedCopy.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <string>

namespace testing_support {

namespace {

// The engine's own file system layer, wrapped: every call goes to it
// unchanged; closing the copy that was written calls the tamper.
sqlite3_vfs *g_real = nullptr;
sqlite3_vfs g_shim;
sqlite3_io_methods g_methods;
std::function<void(const QString &)> g_tamper;
bool g_done = false;

struct ShimFile {
    sqlite3_file base;
    sqlite3_file *real;
    std::string *writtenCopy; // the name, for a copy opened for writing
};

sqlite3_file *real(sqlite3_file *f)
{
    return reinterpret_cast<ShimFile *>(f)->real;
}

int shimClose(sqlite3_file *f)
{
    auto *shim = reinterpret_cast<ShimFile *>(f);
    const int rc = real(f)->pMethods->xClose(real(f));
    if (shim->writtenCopy) {
        const QString path = QString::fromStdString(*shim->writtenCopy);
        delete shim->writtenCopy;
        shim->writtenCopy = nullptr;
        if (!g_done && g_tamper) {
            g_done = true;
            g_tamper(path);
        }
    }
    return rc;
}
int shimRead(sqlite3_file *f, void *p, int n, sqlite3_int64 o)
{
    return real(f)->pMethods->xRead(real(f), p, n, o);
}
int shimWrite(sqlite3_file *f, const void *p, int n, sqlite3_int64 o)
{
    return real(f)->pMethods->xWrite(real(f), p, n, o);
}
int shimTruncate(sqlite3_file *f, sqlite3_int64 size)
{
    return real(f)->pMethods->xTruncate(real(f), size);
}
int shimSync(sqlite3_file *f, int flags)
{
    return real(f)->pMethods->xSync(real(f), flags);
}
int shimFileSize(sqlite3_file *f, sqlite3_int64 *size)
{
    return real(f)->pMethods->xFileSize(real(f), size);
}
int shimLock(sqlite3_file *f, int level)
{
    return real(f)->pMethods->xLock(real(f), level);
}
int shimUnlock(sqlite3_file *f, int level)
{
    return real(f)->pMethods->xUnlock(real(f), level);
}
int shimCheckReservedLock(sqlite3_file *f, int *out)
{
    return real(f)->pMethods->xCheckReservedLock(real(f), out);
}
int shimFileControl(sqlite3_file *f, int op, void *arg)
{
    return real(f)->pMethods->xFileControl(real(f), op, arg);
}
int shimSectorSize(sqlite3_file *f)
{
    return real(f)->pMethods->xSectorSize(real(f));
}
int shimDeviceCharacteristics(sqlite3_file *f)
{
    return real(f)->pMethods->xDeviceCharacteristics(real(f));
}
int shimShmMap(sqlite3_file *f, int page, int size, int extend, void volatile **p)
{
    return real(f)->pMethods->xShmMap(real(f), page, size, extend, p);
}
int shimShmLock(sqlite3_file *f, int offset, int n, int flags)
{
    return real(f)->pMethods->xShmLock(real(f), offset, n, flags);
}
void shimShmBarrier(sqlite3_file *f)
{
    real(f)->pMethods->xShmBarrier(real(f));
}
int shimShmUnmap(sqlite3_file *f, int deleteFlag)
{
    return real(f)->pMethods->xShmUnmap(real(f), deleteFlag);
}
int shimFetch(sqlite3_file *f, sqlite3_int64 o, int n, void **p)
{
    return real(f)->pMethods->xFetch(real(f), o, n, p);
}
int shimUnfetch(sqlite3_file *f, sqlite3_int64 o, void *p)
{
    return real(f)->pMethods->xUnfetch(real(f), o, p);
}

bool isCopyBeingWritten(const char *name, int flags)
{
    static const std::string suffix = ".partial";
    const std::string path = name ? name : "";
    return (flags & SQLITE_OPEN_MAIN_DB) && (flags & SQLITE_OPEN_READWRITE) && path.size() > suffix.size()
        && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0;
}

int shimOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *shim = reinterpret_cast<ShimFile *>(file);
    shim->real = reinterpret_cast<sqlite3_file *>(shim + 1);
    shim->writtenCopy = nullptr;
    const int rc = g_real->xOpen(g_real, name, shim->real, flags, outFlags);
    shim->base.pMethods = rc == SQLITE_OK && shim->real->pMethods ? &g_methods : nullptr;
    if (shim->base.pMethods && isCopyBeingWritten(name, flags))
        shim->writtenCopy = new std::string(name);
    return rc;
}

} // namespace

TamperedCopy::TamperedCopy(std::function<void(const QString &path)> tamper)
{
    g_tamper = std::move(tamper);
    g_done = false;
    g_real = sqlite3_vfs_find(nullptr);
    g_shim = *g_real;
    g_shim.zName = "vantrel-tampered-copy";
    g_shim.szOsFile = int(sizeof(ShimFile)) + g_real->szOsFile;
    g_shim.xOpen = shimOpen;
    g_shim.pNext = nullptr;
    g_methods = sqlite3_io_methods{3,
                                   shimClose,
                                   shimRead,
                                   shimWrite,
                                   shimTruncate,
                                   shimSync,
                                   shimFileSize,
                                   shimLock,
                                   shimUnlock,
                                   shimCheckReservedLock,
                                   shimFileControl,
                                   shimSectorSize,
                                   shimDeviceCharacteristics,
                                   shimShmMap,
                                   shimShmLock,
                                   shimShmBarrier,
                                   shimShmUnmap,
                                   shimFetch,
                                   shimUnfetch};
    EXPECT_EQ(sqlite3_vfs_register(&g_shim, 1), SQLITE_OK);
}

bool TamperedCopy::tampered() const
{
    return g_done;
}

TamperedCopy::~TamperedCopy()
{
    sqlite3_vfs_register(g_real, 1);
    sqlite3_vfs_unregister(&g_shim);
    g_tamper = nullptr;
}

} // namespace testing_support
