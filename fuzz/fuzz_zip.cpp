// Feeds arbitrary bytes to the archive reader, tester, extractor and fixer.
//
// Input: the parts of a split set separated by the marker below (one part:
// an ordinary archive). The first byte's low bit picks the aggressive fix.
// Checks: nothing crashes, hangs or leaks; a rebuilt archive is one that the
// reader lists without error.
#include "zip/ZipMain.h"
#include "zip/ZipRepair.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {

const QByteArray diskMarker("\0VANTREL-DISK\0", 14);

QTemporaryDir *scratch = nullptr;

void writeFile(const QString &path, const QByteArray &data)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(data);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication app(*argc, *argv);
    scratch = new QTemporaryDir();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1 || size > 1 << 20)
        return 0;
    const bool aggressive = data[0] & 1;
    const QByteArray input(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    QList<QByteArray> parts;
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = input.indexOf(diskMarker, from);
        if (at < 0 || parts.size() >= 20) {
            parts << input.mid(from);
            break;
        }
        parts << input.mid(from, at - from);
        from = at + diskMarker.size();
    }

    QDir dir(scratch->path());
    dir.removeRecursively();
    dir.mkpath(QStringLiteral("out"));
    for (qsizetype i = 0; i + 1 < parts.size(); ++i)
        writeFile(dir.filePath(QStringLiteral("set.z%1").arg(i + 1, 2, 10, QLatin1Char('0'))), parts[i]);
    writeFile(dir.filePath(QStringLiteral("set.zip")), parts.last());

    backup::ZipMain zip;
    zip.setMultidisk(true);
    zip.setZipFilename(dir.filePath(QStringLiteral("set.zip")));
    zip.setExtractFolder(dir.filePath(QStringLiteral("out")));
    qint64 total = 0;
    zip.events().Listing = [&](const QString &, qint64 entrySize, qint64, const QString &, int) { total += entrySize; };
    if (zip.List() == backup::zipresult::Success && total < 4 * 1024 * 1024) {
        zip.Test();
        zip.Extract(0);
    }

    QByteArray rebuilt;
    const backup::RepairOutcome outcome = backup::repairBytes(parts.last(), aggressive, rebuilt);
    if (outcome.code == backup::zipresult::Success) {
        writeFile(dir.filePath(QStringLiteral("fixed.zip")), rebuilt);
        backup::ZipMain check;
        check.setZipFilename(dir.filePath(QStringLiteral("fixed.zip")));
        const quint16 listed = check.List();
        if (listed != backup::zipresult::Success || check.entryCount() != outcome.recovered) {
            fprintf(stderr, "rebuilt archive: list %d, %d entries of %d\n", listed, check.entryCount(),
                    outcome.recovered);
            std::abort();
        }
    }
    return 0;
}
