// The result messages, the archive file dialog and the extract-folder dialog.
#include "ZipTestKit.h"

#include "backup/XZIPDEMO1.h"
#include "support/ScriptedServices.h"
#include "zip/ZipMain.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace backup;
using platform::Icon;
using testing_support::ScriptedServices;

TEST(ZipMessages, TheOperationNameMultidiskModeAndSilentCodes)
{
    ScriptedServices services;
    for (int silent : {0, -5, 10, 30, 140})
        ShowResultMessage(silent, QStringLiteral("listing"));
    EXPECT_TRUE(services.boxes.isEmpty());

    ZipMain zip;
    zip.setMultidisk(true);
    services.answer(platform::Button::OK);
    ShowResultMessage(150, QStringLiteral("adding"), zip);
    EXPECT_EQ(services.lastBox().text, QStringLiteral("A full disk was inserted instead of an empty one."));
    zip.setMultidisk(false);
    services.answer(platform::Button::OK);
    ShowResultMessage(150, QStringLiteral("extracting"), zip);
    EXPECT_EQ(services.lastBox().text, QStringLiteral("Disk full while extracting."));
    services.answer(platform::Button::OK);
    ShowResultMessage(20, QStringLiteral("listing"));
    EXPECT_EQ(services.lastBox().text, QStringLiteral("An error occured while listing the specified files."));
    services.answer(platform::Button::OK);
    ShowResultMessage(190, QStringLiteral("updating zip date"));
    EXPECT_EQ(services.lastBox().text, QStringLiteral("The updating zip date operation was aborted."));
}

TEST(ZipDialogs, SelectArchiveByKind)
{
    ScriptedServices services;
    const char *titles[] = {"Open Archive", "New Archive", "Test Archive", "Fix Archive", "Delete Archive"};
    for (int kind = 0; kind <= 4; ++kind) {
        services.answerFile(QStringLiteral("/tmp/a%1.zip").arg(kind));
        EXPECT_EQ(SelectArchive(kind), QStringLiteral("/tmp/a%1.zip").arg(kind));
        const platform::FileDialogRequest &r = services.fileDialogs.last();
        EXPECT_EQ(r.title, QString::fromUtf8(titles[kind]));
        EXPECT_TRUE(r.fileName.isEmpty());
        EXPECT_EQ(r.mustExist, kind != dialogkind::New);
        EXPECT_EQ(r.defaultSuffix, QStringLiteral("zip"));
        EXPECT_EQ(r.filter,
                  QStringLiteral("Zip archives (*.zip);;Self-extracting Zip archives (*.exe);;All files (*.*)"));
    }
    // A name typed without an extension comes back with zip added.
    services.answerFile(QStringLiteral("/tmp/backup"));
    EXPECT_EQ(SelectArchive(dialogkind::New), QStringLiteral("/tmp/backup.zip"));
    services.answerFile(QStringLiteral("/tmp/old.exe"));
    EXPECT_EQ(SelectArchive(dialogkind::Open), QStringLiteral("/tmp/old.exe"));
    services.answerFile(std::nullopt);
    EXPECT_EQ(SelectArchive(dialogkind::Open), QString());
}

class ExtractDialogTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QDir(dir.path()).mkpath(QStringLiteral("restore/inner"));
        previous = QDir::currentPath();
        QDir::setCurrent(dir.path());
        qputenv("VANTREL_DRIVE_A", QFile::encodeName(dir.filePath(QStringLiteral("no disk"))));
    }
    void TearDown() override
    {
        QDir::setCurrent(previous);
        qunsetenv("VANTREL_DRIVE_A");
    }

    QTemporaryDir dir;
    QString previous;
    ZipMain zip;
    ScriptedServices services;
};

TEST_F(ExtractDialogTest, OpensOnTheCurrentFolderOrTheExtractionFolder)
{
    {
        ExtractDialog dialog(zip);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Extract archive"));
        EXPECT_EQ(dialog.txtExtract()->text(), QDir::currentPath());
        EXPECT_EQ(dialog.txtExtract()->accessibleName(), QStringLiteral("Extract files to:"));
        EXPECT_EQ(dialog.findChild<QComboBox *>(QStringLiteral("drvExtract")), dialog.drvExtract());
        EXPECT_EQ(dialog.findChild<QListWidget *>(QStringLiteral("dirExtract"))
                      ->findItems(QStringLiteral("restore"), Qt::MatchExactly)
                      .size(),
                  1);
    }
    zip.setExtractFolder(dir.filePath(QStringLiteral("restore")));
    ExtractDialog dialog(zip);
    EXPECT_EQ(dialog.txtExtract()->text(), dir.filePath(QStringLiteral("restore")));
    EXPECT_EQ(dialog.currentFolder(), dir.filePath(QStringLiteral("restore")));
    // Going into a folder shows it in the text box.
    QListWidgetItem *inner = dialog.dirExtract()->findItems(QStringLiteral("inner"), Qt::MatchExactly).value(0);
    ASSERT_NE(inner, nullptr);
    emit dialog.dirExtract()->itemActivated(inner);
    EXPECT_EQ(dialog.txtExtract()->text(), dir.filePath(QStringLiteral("restore/inner")));
}

TEST_F(ExtractDialogTest, SelectSetsTheFolderCancelEscapeAndTheFrameDoNot)
{
    ExtractDialog dialog(zip);
    dialog.txtExtract()->setText(QStringLiteral("  ") + dir.filePath(QStringLiteral("restore")) + QStringLiteral("  "));
    dialog.cmdSelect()->click();
    EXPECT_EQ(zip.extractFolder(), dir.filePath(QStringLiteral("restore")));
    EXPECT_TRUE(dialog.selected());

    ExtractDialog second(zip);
    second.txtExtract()->setText(QStringLiteral("/elsewhere"));
    second.cmdCancel()->click();
    EXPECT_FALSE(second.selected());
    EXPECT_EQ(zip.extractFolder(), dir.filePath(QStringLiteral("restore")));

    // Escape while the dialog runs, and the window frame: no folder.
    QTimer::singleShot(0, [] {
        if (QWidget *shown = QApplication::activeModalWidget()) {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(shown, &escape);
        }
    });
    EXPECT_FALSE(ExtractDialog::run(zip));
    ExtractDialog framed(zip);
    framed.show();
    framed.close();
    EXPECT_FALSE(framed.selected());
    EXPECT_EQ(zip.extractFolder(), dir.filePath(QStringLiteral("restore")));
}

TEST_F(ExtractDialogTest, ADriveWithoutADiskIsNotAccessibleAndTheListGoesBack)
{
    ExtractDialog dialog(zip);
    const int before = dialog.drvExtract()->currentIndex();
    const int driveA = dialog.drvExtract()->findText(QStringLiteral("A:"));
    ASSERT_GE(driveA, 0);
    services.answer(platform::Button::OK);
    dialog.drvExtract()->setCurrentIndex(driveA);
    dialog.drvExtract_Change();
    ASSERT_EQ(services.boxes.size(), 1);
    EXPECT_EQ(services.lastBox().text, QStringLiteral("A:\\ is not accessible\r\rThe device is not ready"));
    EXPECT_EQ(services.lastBox().title, QStringLiteral("Error"));
    EXPECT_EQ(services.lastBox().icon, Icon::Critical);
    EXPECT_EQ(dialog.drvExtract()->currentIndex(), before);
    EXPECT_EQ(dialog.txtExtract()->text(), QDir::currentPath());

    // With a disk in, the folder list moves to it.
    QDir(dir.path()).mkpath(QStringLiteral("no disk"));
    ExtractDialog withDisk(zip);
    withDisk.drvExtract()->setCurrentIndex(withDisk.drvExtract()->findText(QStringLiteral("A:")));
    withDisk.drvExtract_Change();
    EXPECT_EQ(withDisk.txtExtract()->text(), dir.filePath(QStringLiteral("no disk")));
}
