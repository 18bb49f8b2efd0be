#pragma once

#include <QString>
#include <functional>

namespace testing_support {

// What a FileShim does besides passing every call on.
struct FileShimHooks {
    // Before a write of `bytes` bytes: SQLITE_OK lets it through, any other
    // code is what the write fails with.
    std::function<int(int bytes)> beforeWrite;
    // Whether to hand a file opened with these flags to afterClose.
    std::function<bool(const QString &path, int openFlags)> watch;
    // After a watched file was closed by the engine.
    std::function<void(const QString &path)> afterClose;
};

// While it lives, every database connection the engine opens reaches its
// files through the engine's own file layer wrapped by the hooks. One shim
// at a time; connections opened before it came are not affected.
class FileShim
{
public:
    FileShim(const char *name, FileShimHooks hooks);
    ~FileShim();
    FileShim(const FileShim &) = delete;
    FileShim &operator=(const FileShim &) = delete;
};

} // namespace testing_support
