#pragma once

#include <QString>
#include <QtGlobal>

// The arithmetic and texts of the backup window, kept apart from the window
// so that they are checked without one.
namespace backup::rules {

// --- Listing -------------------------------------------------------------

// The sums of a listing. They are 64-bit: an archive of more than 2 GB lists
// its true sizes and ratio.
struct ListingTotals {
    qint64 fileCount = 0;
    qint64 totalSize = 0;
    qint64 totalPacked = 0;

    void add(qint64 size, qint64 packed)
    {
        ++fileCount;
        totalSize += size;
        totalPacked += packed;
    }
};

// 100 minus the whole part of packed / size x 100 (size above 0).
qint64 summaryRatio(qint64 packed, qint64 size);

// The status line after a listing: " 3 files, 1000 bytes, 300 bytes
// compressed, 70%", " 3 files, 0 bytes" or "No files in this archive.".
QString summaryText(const ListingTotals &totals);

// More entries than this show the reading message and move the bar.
constexpr qint64 kQuietListing = 100;
QString readingText(qint64 expectedCount);

// The bar while listing: listed / expected x 100, to the nearest whole
// number, halves to the even one.
int listingProgress(qint64 listed, qint64 expected);

// One entry of the list view, from the component's Listing event.
struct ListedRow {
    QString name; // "<dir>" for a folder entry
    QString date; // the first two fields of the entry date swapped
    QString time; // the last five characters of the entry time
    QString size;
    QString packed;
    QString ratio; // e.g. "70%"
    QString path;  // the folder part, without its closing backslash
};
ListedRow listedRow(const QString &fileName, qint64 size, qint64 packedSize, const QString &fTime, int ratio);

// The name by which a selected row is given to the component: the path and
// the name joined with a backslash, the name alone without a path, and a
// folder row ("<dir>") as its path followed by a backslash.
QString entryPath(const QString &path, const QString &name);

// --- Choosing files --------------------------------------------------------

// A multiple choice of the file dialog as one text: the full name of one
// file, or the folder, a character 0 and the names separated by characters 0.
QString selectionText(const QStringList &chosenFiles);
int CountSelectedFiles(const QString &selection);
// The n-th (from 1) full file name of a selection text.
QString GetSelectedFile(const QString &selection, int n);

// --- Menus -------------------------------------------------------------------

struct ArchiveState {
    bool open = false; // an archive file name is set
    bool rows = false; // the list has at least one row
    bool multidisk = false;
    bool selection = false; // HasSelection
};

struct FileMenu {
    bool close, fix, test, deleteArchive;
};
FileMenu fileMenu(const ArchiveState &s);

struct EditMenu {
    bool add, deleteEntries, restore, update, updateZipDate, selectAll;
};
EditMenu editMenu(const ArchiveState &s);

struct OptionsSettings {
    int compressionLevel = 6;
    bool multidisk = false;
    bool clearDisks = false;
    bool useTempFile = false;
};
struct OptionsMenu {
    bool useTempFileChecked, useTempFileEnabled;
    bool clearDisksChecked, clearDisksEnabled;
    bool multidiskChecked;
    bool store, fastest, normal, best;
};
OptionsMenu optionsMenu(const OptionsSettings &s);

// --- Resizing ----------------------------------------------------------------

// Sizes and positions in twips, as recorded when the window loaded.
struct Layout {
    int width = 0, height = 0;
    int progressLeft = 0, progressTop = 0;
    int abortLeft = 0, abortTop = 0;
    int listWidth = 0, listHeight = 0;
};
struct Resized {
    int width, height; // never below the recorded size
    int progressLeft, progressTop;
    int abortLeft, abortTop;
    int listWidth, listHeight;
    int pathColumnWidth; // dW + 1620
};
Resized resized(const Layout &recorded, int width, int height);

constexpr int kTwipsPerInch = 1440;
int toTwips(int pixels, int dpi);
int toPixels(int twips, int dpi);

// --- Messages of the events ----------------------------------------------------

// The text of a SkippingFile event.
QString skippingText(const QString &fileName, int reason);
QString newDiskText(int diskNumber);
QString replaceText(const QString &originalName);

} // namespace backup::rules
