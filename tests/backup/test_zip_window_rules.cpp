// The arithmetic and texts of the backup window.
#include "maintenance/DatabaseFiles.h"

#include "backup/ZipWindowRules.h"

#include <QDir>
#include <gtest/gtest.h>

using namespace backup::rules;

namespace {

TEST(ZipWindowRules, SummaryRatioTakesTheWholePartOfThePackedShare)
{
    EXPECT_EQ(summaryRatio(300, 1000), 70);
    EXPECT_EQ(summaryRatio(301, 1000), 70);
    EXPECT_EQ(summaryRatio(299, 1000), 71);
    EXPECT_EQ(summaryRatio(1010, 1000), -1);
    EXPECT_EQ(summaryRatio(0, 5), 100);
}

TEST(ZipWindowRules, SummaryTexts)
{
    ListingTotals totals;
    EXPECT_EQ(summaryText(totals), "No files in this archive.");
    for (int i = 0; i < 3; ++i)
        totals.add(0, 0);
    EXPECT_EQ(summaryText(totals), " 3 files, 0 bytes");
    totals.add(1000, 300);
    EXPECT_EQ(summaryText(totals), " 4 files, 1000 bytes, 300 bytes compressed, 70%");
}

TEST(ZipWindowRules, SumsBeyondTwoGigabytesKeepTheirTrueSizeAndRatio)
{
    ListingTotals totals;
    totals.add(3'000'000'000LL, 900'000'000LL);
    totals.add(2'000'000'000LL, 600'000'000LL);
    EXPECT_EQ(summaryText(totals), " 2 files, 5000000000 bytes, 1500000000 bytes compressed, 70%");
}

TEST(ZipWindowRules, ListingProgressRoundsHalvesToEven)
{
    EXPECT_EQ(readingText(101), "Reading 101 files...");
    EXPECT_EQ(listingProgress(1, 101), 1); // 0.99
    EXPECT_EQ(listingProgress(101, 101), 100);
    EXPECT_EQ(listingProgress(1, 200), 0); // 0.5 -> 0
    EXPECT_EQ(listingProgress(3, 200), 2); // 1.5 -> 2
    EXPECT_EQ(listingProgress(5, 200), 2); // 2.5 -> 2
    EXPECT_EQ(listingProgress(100, 101), 99);
}

TEST(ZipWindowRules, ListedRowsSplitTheFolderAndSwapTheDateFields)
{
    const ListedRow db = listedRow("Vantrel.mdb", 5000, 1200, "07/12/26 23:59", 76);
    EXPECT_EQ(db.name, "Vantrel.mdb");
    EXPECT_EQ(db.path, "");
    EXPECT_EQ(db.date, "12/07/26");
    EXPECT_EQ(db.time, "23:59");
    EXPECT_EQ(db.size, "5000");
    EXPECT_EQ(db.packed, "1200");
    EXPECT_EQ(db.ratio, "76%");

    const ListedRow folder = listedRow("data\\old\\", 0, 0, "01/02/03 04:05", 0);
    EXPECT_EQ(folder.name, "<dir>");
    EXPECT_EQ(folder.path, "data\\old");
    EXPECT_EQ(entryPath(folder.path, folder.name), "data\\old\\");
    EXPECT_EQ(entryPath("", "Vantrel.mdb"), "Vantrel.mdb");
    EXPECT_EQ(entryPath("data", "a.txt"), "data\\a.txt");
}

TEST(ZipWindowRules, SelectionTextsOfOneAndOfSeveralFiles)
{
    const QString one = selectionText({"/home/center/Vantrel.mdb"});
    EXPECT_EQ(CountSelectedFiles(one), 1);
    EXPECT_EQ(GetSelectedFile(one, 1), "/home/center/Vantrel.mdb");

    const QString three = selectionText({"/home/center/a.mdb", "/home/center/b.txt", "/home/center/c.rpt"});
    EXPECT_EQ(three, QString("/home/center") + QChar(0) + "a.mdb" + QChar(0) + "b.txt" + QChar(0) + "c.rpt");
    EXPECT_EQ(CountSelectedFiles(three), 3);
    EXPECT_EQ(GetSelectedFile(three, 1), "/home/center/a.mdb");
    EXPECT_EQ(GetSelectedFile(three, 3), "/home/center/c.rpt");
    EXPECT_EQ(GetSelectedFile(QString("/") + QChar(0) + "x" + QChar(0) + "y", 2), "/y") << "no doubled separator";
}

TEST(ZipWindowRules, MenusFollowTheArchiveAndMultidiskMode)
{
    ArchiveState closed;
    FileMenu f = fileMenu(closed);
    EXPECT_FALSE(f.close);
    EXPECT_TRUE(f.fix && f.test && f.deleteArchive);
    closed.multidisk = true;
    EXPECT_FALSE(fileMenu(closed).fix);

    ArchiveState open{true, true, true, true};
    EditMenu e = editMenu(open);
    EXPECT_FALSE(e.add) << "multidisk with rows";
    EXPECT_FALSE(e.deleteEntries);
    EXPECT_TRUE(e.restore);
    EXPECT_FALSE(e.update);
    EXPECT_FALSE(e.updateZipDate);
    EXPECT_TRUE(e.selectAll);
    open.rows = false;
    open.selection = false;
    e = editMenu(open);
    EXPECT_TRUE(e.add) << "an empty multidisk archive takes files";
    EXPECT_FALSE(e.restore || e.selectAll);

    OptionsSettings s;
    s.useTempFile = true;
    s.multidisk = true;
    s.compressionLevel = 9;
    OptionsMenu o = optionsMenu(s);
    EXPECT_FALSE(o.useTempFileChecked);
    EXPECT_FALSE(o.useTempFileEnabled);
    EXPECT_TRUE(o.clearDisksEnabled);
    EXPECT_FALSE(o.clearDisksChecked);
    EXPECT_TRUE(o.multidiskChecked);
    EXPECT_TRUE(o.best && !o.normal && !o.fastest && !o.store);
    s.compressionLevel = 4;
    o = optionsMenu(s);
    EXPECT_FALSE(o.best || o.normal || o.fastest || o.store) << "a level of no item checks none";
}

TEST(ZipWindowRules, ResizingSnapsBackAndMovesTheControlsByTheGrowth)
{
    const Layout design{9000, 5400, 120, 4020, 7200, 3960, 9000, 3900};
    Resized r = resized(design, 8000, 5000);
    EXPECT_EQ(r.width, 9000);
    EXPECT_EQ(r.height, 5400);
    EXPECT_EQ(r.pathColumnWidth, 1620);
    EXPECT_EQ(r.listWidth, 9000);

    r = resized(design, 9600, 5400);
    EXPECT_EQ(r.listWidth, 9600);
    EXPECT_EQ(r.pathColumnWidth, 2220);
    EXPECT_EQ(r.progressLeft, 720);
    EXPECT_EQ(r.abortLeft, 7800);
    EXPECT_EQ(r.progressTop, 4020);
    r = resized(design, 9000, 6000);
    EXPECT_EQ(r.listHeight, 4500);
    EXPECT_EQ(r.abortTop, 4560);
    EXPECT_EQ(toTwips(600, 96), 9000);
    EXPECT_EQ(toPixels(9000, 96), 600);
}

TEST(ZipWindowRules, EventTexts)
{
    EXPECT_EQ(skippingText("a", 8), "Can't process 'a', ");
    EXPECT_EQ(newDiskText(2), "Please insert disk #2 of the set.");
    EXPECT_EQ(newDiskText(0), "Please insert the last disk of the set.");
}

} // namespace
