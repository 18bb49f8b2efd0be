// A compaction puts its copy on the disk before naming it, never names it
// over an existing file, and puts the new name on the disk before it
// reports success. The system calls that do so are watched here by
// standing in for them in this program and passing each one on.
#include "DatabaseFiles.h"

#include "store/DBEngine.h"
#include "store/Schema.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::mutex g_lock;
bool g_watching = false;
std::vector<std::string> g_calls;

std::string pathOf(int fd)
{
    char buffer[4096];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), buffer, sizeof buffer - 1);
    return n < 0 ? std::string("?") : std::string(buffer, std::size_t(n));
}

void record(const std::string &call)
{
    const std::lock_guard<std::mutex> guard(g_lock);
    if (g_watching)
        g_calls.push_back(call);
}

} // namespace

extern "C" int fsync(int fd)
{
    static const auto real = reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, "fsync"));
    record("fsync " + pathOf(fd));
    return real(fd);
}

extern "C" int renameat2(int fromFolder, const char *from, int toFolder, const char *to, unsigned int flags) noexcept
{
    static const auto real =
        reinterpret_cast<int (*)(int, const char *, int, const char *, unsigned int)>(::dlsym(RTLD_NEXT, "renameat2"));
    record(std::string(flags & RENAME_NOREPLACE ? "rename-no-replace " : "rename ") + from + " -> " + to);
    return real(fromFolder, from, toFolder, to, flags);
}

namespace {

using namespace store;
using namespace testing_support;

TEST(CompactionOnDisk, TheCopyIsSyncedThenNamedWithoutReplacingThenTheFolderSynced)
{
    QTemporaryDir dir;
    const QString folder = QFileInfo(dir.path()).canonicalFilePath();
    const QString source = folder + "/VANTREL.MDB";
    const QString destination = folder + "/VANTRELOLD.MDB";
    const QString partial = destination + ".partial";
    EngineError e;
    ASSERT_TRUE(Schema::createDeliveredDatabase(source, &e)) << e.text.toStdString();
    insertVariedCustomers(source, 500);

    {
        const std::lock_guard<std::mutex> guard(g_lock);
        g_calls.clear();
        g_watching = true;
    }
    const bool compacted = DBEngine::CompactDatabase(source, destination, &e);
    std::vector<std::string> calls;
    {
        const std::lock_guard<std::mutex> guard(g_lock);
        g_watching = false;
        calls.swap(g_calls);
    }
    ASSERT_TRUE(compacted) << e.text.toStdString();

    // Only the calls on the copy and its folder; the engine's own on the
    // source would be in the list too.
    std::vector<std::string> onCopy;
    for (const std::string &call : calls) {
        if (call.find(partial.toStdString()) != std::string::npos || call == "fsync " + folder.toStdString())
            onCopy.push_back(call);
    }
    const std::vector<std::string> expected{
        "fsync " + partial.toStdString(),
        "rename-no-replace " + partial.toStdString() + " -> " + destination.toStdString(),
        "fsync " + folder.toStdString(),
    };
    EXPECT_EQ(onCopy, expected);
}

} // namespace
