#include "backup/ZipWindowRules.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <algorithm>

namespace backup::rules {

qint64 summaryRatio(qint64 packed, qint64 size)
{
    // Whole numbers throughout: 29.9 % must come out as 29, not as 30 after a
    // rounding error of the floating division.
    const qint64 whole = packed >= 0 ? (packed * 100) / size : -((-packed * 100 + size - 1) / size);
    return 100 - whole;
}

QString summaryText(const ListingTotals &totals)
{
    if (totals.totalSize > 0)
        return QStringLiteral(" %1 files, %2 bytes, %3 bytes compressed, %4%")
            .arg(totals.fileCount)
            .arg(totals.totalSize)
            .arg(totals.totalPacked)
            .arg(summaryRatio(totals.totalPacked, totals.totalSize));
    if (totals.fileCount != 0)
        return QStringLiteral(" %1 files, 0 bytes").arg(totals.fileCount);
    return QStringLiteral("No files in this archive.");
}

QString readingText(qint64 expectedCount)
{
    return QStringLiteral("Reading %1 files...").arg(expectedCount);
}

int listingProgress(qint64 listed, qint64 expected)
{
    if (expected <= 0)
        return 0;
    const qint64 scaled = listed * 100;
    qint64 q = scaled / expected;
    const qint64 twiceRest = 2 * (scaled % expected);
    if (twiceRest > expected || (twiceRest == expected && (q % 2) != 0))
        ++q;
    return int(q);
}

ListedRow listedRow(const QString &fileName, qint64 size, qint64 packedSize, const QString &fTime, int ratio)
{
    ListedRow row;
    const qsizetype slash = fileName.lastIndexOf(QLatin1Char('\\'));
    row.path = slash >= 0 ? fileName.left(slash) : QString();
    row.name = slash >= 0 ? fileName.mid(slash + 1) : fileName;
    if (row.name.isEmpty())
        row.name = QStringLiteral("<dir>");
    row.date = fTime.mid(3, 2) + QLatin1Char('/') + fTime.mid(0, 3) + fTime.mid(6, 2);
    row.time = fTime.right(5);
    row.size = QString::number(size);
    row.packed = QString::number(packedSize);
    row.ratio = QString::number(ratio) + QLatin1Char('%');
    return row;
}

QString entryPath(const QString &path, const QString &name)
{
    const QString shown = name == QLatin1String("<dir>") ? QString() : name;
    if (path.isEmpty())
        return shown;
    return path + QLatin1Char('\\') + shown;
}

QString selectionText(const QStringList &chosenFiles)
{
    if (chosenFiles.isEmpty())
        return QString();
    if (chosenFiles.size() == 1)
        return chosenFiles.first();
    // A file dialog chooses in one folder.
    QString text = QFileInfo(chosenFiles.first()).absolutePath();
    for (const QString &file : chosenFiles)
        text += QChar(0) + QFileInfo(file).fileName();
    return text;
}

int CountSelectedFiles(const QString &selection)
{
    const int zeros = int(selection.count(QChar(0)));
    return zeros == 0 ? 1 : zeros;
}

QString GetSelectedFile(const QString &selection, int n)
{
    if (!selection.contains(QChar(0)))
        return selection;
    const QStringList parts = selection.split(QChar(0));
    QString folder = parts.first();
    if (!folder.endsWith(QDir::separator()) && !folder.endsWith(QLatin1Char('/')))
        folder += QDir::separator();
    const QString name = n >= 1 && n < parts.size() ? parts.at(n) : QString();
    return name.isEmpty() ? QString() : folder + name;
}

FileMenu fileMenu(const ArchiveState &s)
{
    return {s.open, !s.open && !s.multidisk, !s.open, !s.open};
}

EditMenu editMenu(const ArchiveState &s)
{
    return {
        s.open && (!s.multidisk || !s.rows),
        s.selection && !s.multidisk,
        s.selection,
        s.open && !s.multidisk,
        s.rows && !s.multidisk,
        s.rows,
    };
}

OptionsMenu optionsMenu(const OptionsSettings &s)
{
    return {
        s.useTempFile && !s.multidisk,
        !s.multidisk,
        s.multidisk && s.clearDisks,
        s.multidisk,
        s.multidisk,
        s.compressionLevel == 0,
        s.compressionLevel == 1,
        s.compressionLevel == 6,
        s.compressionLevel == 9,
    };
}

Resized resized(const Layout &recorded, int width, int height)
{
    Resized r{};
    r.width = std::max(width, recorded.width);
    r.height = std::max(height, recorded.height);
    const int dW = r.width - recorded.width;
    const int dH = r.height - recorded.height;
    r.progressLeft = recorded.progressLeft + dW;
    r.progressTop = recorded.progressTop + dH;
    r.abortLeft = recorded.abortLeft + dW;
    r.abortTop = recorded.abortTop + dH;
    r.listWidth = recorded.listWidth + dW;
    r.listHeight = recorded.listHeight + dH;
    r.pathColumnWidth = dW + 1620;
    return r;
}

int toTwips(int pixels, int dpi)
{
    return int((qint64(pixels) * kTwipsPerInch + dpi / 2) / dpi);
}

int toPixels(int twips, int dpi)
{
    return int((qint64(twips) * dpi + kTwipsPerInch / 2) / kTwipsPerInch);
}

QString skippingText(const QString &fileName, int reason)
{
    static const char *const reasons[] = {
        "file not found.",
        "unknown compression.",
        "CRC does not check out.",
        "file is already up to date.",
        "unable to open file.",
        "invalid or no password to decrypt file.",
        "file's compressed data is corrupted.",
        "instructed not to overwrite.",
    };
    QString text = QStringLiteral("Can't process '") + fileName + QStringLiteral("', ");
    if (reason >= 0 && reason <= 7)
        text += QString::fromLatin1(reasons[reason]);
    return text;
}

QString newDiskText(int diskNumber)
{
    return diskNumber != 0 ? QStringLiteral("Please insert disk #%1 of the set.").arg(diskNumber)
                           : QStringLiteral("Please insert the last disk of the set.");
}

QString replaceText(const QString &originalName)
{
    return QStringLiteral("The file '") + originalName
        + QStringLiteral("' already exists. Do you want to replace this file?");
}

} // namespace backup::rules
