#include "FileShim.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace testing_support {

namespace {

sqlite3_vfs *g_real = nullptr;
sqlite3_vfs g_shim;
sqlite3_io_methods g_methods;
FileShimHooks g_hooks;
bool g_installed = false;

struct ShimFile {
    sqlite3_file base;
    sqlite3_file *real;
    QString *watchedPath; // set for a file handed to afterClose
};

sqlite3_file *real(sqlite3_file *f)
{
    return reinterpret_cast<ShimFile *>(f)->real;
}

int shimClose(sqlite3_file *f)
{
    auto *shim = reinterpret_cast<ShimFile *>(f);
    const int rc = real(f)->pMethods->xClose(real(f));
    if (shim->watchedPath) {
        const QString path = *shim->watchedPath;
        delete shim->watchedPath;
        shim->watchedPath = nullptr;
        if (g_hooks.afterClose)
            g_hooks.afterClose(path);
    }
    return rc;
}
int shimRead(sqlite3_file *f, void *p, int n, sqlite3_int64 o)
{
    return real(f)->pMethods->xRead(real(f), p, n, o);
}
int shimWrite(sqlite3_file *f, const void *p, int n, sqlite3_int64 o)
{
    if (g_hooks.beforeWrite) {
        if (const int rc = g_hooks.beforeWrite(n); rc != SQLITE_OK)
            return rc;
    }
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

int shimOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *file, int flags, int *outFlags)
{
    auto *shim = reinterpret_cast<ShimFile *>(file);
    shim->real = reinterpret_cast<sqlite3_file *>(shim + 1);
    shim->watchedPath = nullptr;
    const int rc = g_real->xOpen(g_real, name, shim->real, flags, outFlags);
    shim->base.pMethods = rc == SQLITE_OK && shim->real->pMethods ? &g_methods : nullptr;
    if (shim->base.pMethods && name && g_hooks.watch) {
        const QString path = QString::fromUtf8(name);
        if (g_hooks.watch(path, flags))
            shim->watchedPath = new QString(path);
    }
    return rc;
}

} // namespace

FileShim::FileShim(const char *name, FileShimHooks hooks)
{
    EXPECT_FALSE(g_installed) << "one file shim at a time";
    g_installed = true;
    g_hooks = std::move(hooks);
    g_real = sqlite3_vfs_find(nullptr);
    g_shim = *g_real;
    g_shim.zName = name;
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

FileShim::~FileShim()
{
    sqlite3_vfs_register(g_real, 1);
    sqlite3_vfs_unregister(&g_shim);
    g_hooks = {};
    g_installed = false;
}

} // namespace testing_support
