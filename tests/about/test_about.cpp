#include "about/SysInfo.h"
#include "about/frmAbout.h"
#include "support/FakeRegistry.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

using platform::RegistryRoot;
using testing_support::FakeRegistry;
using testing_support::ScriptedServices;

namespace {

const QString kMsinfo = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kLocation = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");

TEST(GetKeyValue, ReadsNumbersStringsAndReportsMissingKeys)
{
    FakeRegistry registry;
    registry.setValue(RegistryRoot::LocalMachine, "Key", "Number", platform::RegistryType::DWord,
                      QByteArray::fromHex("05010000"));
    registry.setValue(RegistryRoot::LocalMachine, "Key", "Text", platform::RegistryType::String,
                      QByteArray("C:\\Tools\\msinfo32.exe\0", 22));
    registry.setValue(RegistryRoot::LocalMachine, "Key", "Big", platform::RegistryType::DWord,
                      QByteArray::fromHex("ffffffff"));
    registry.setValue(RegistryRoot::LocalMachine, "Key", "Blob", platform::RegistryType::Binary, "xyz");

    QString value = QStringLiteral("left over");
    EXPECT_TRUE(about::GetKeyValue(RegistryRoot::LocalMachine, "Key", "Number", value));
    EXPECT_EQ(value, "261");
    EXPECT_TRUE(about::GetKeyValue(RegistryRoot::LocalMachine, "Key", "Text", value));
    EXPECT_EQ(value, "C:\\Tools\\msinfo32.exe");
    EXPECT_TRUE(about::GetKeyValue(RegistryRoot::LocalMachine, "Key", "Big", value));
    EXPECT_EQ(value, "4294967295");
    EXPECT_TRUE(about::GetKeyValue(RegistryRoot::LocalMachine, "Key", "Blob", value));
    EXPECT_EQ(value, "4294967295") << "other kinds leave the text as it was";

    EXPECT_FALSE(about::GetKeyValue(RegistryRoot::LocalMachine, "Key", "Missing", value));
    EXPECT_EQ(value, "");
    value = "x";
    EXPECT_FALSE(about::GetKeyValue(RegistryRoot::LocalMachine, "No\\Such\\Key", "Number", value));
    EXPECT_EQ(value, "");
    EXPECT_EQ(registry.openKeys(), 0) << "every opened key is closed";
    EXPECT_EQ(registry.accessRequested.first(), 131135u);
}

class SysInfoTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        about::setProgramStarter([this](const QString &path) {
            started << path;
            return startSucceeds;
        });
    }
    void TearDown() override { about::setProgramStarter(nullptr); }

    void expectUnavailable()
    {
        ASSERT_EQ(ui.boxes.size(), 1);
        EXPECT_EQ(ui.lastBox().text, "System Information Is Unavailable At This Time");
        EXPECT_EQ(ui.lastBox().shownTitle(), "Vantrel");
        EXPECT_EQ(ui.lastBox().icon, platform::Icon::None);
        EXPECT_EQ(ui.lastBox().buttons, platform::Buttons::OKOnly);
    }

    ScriptedServices ui;
    FakeRegistry registry;
    QStringList started;
    bool startSucceeds = true;
};

TEST_F(SysInfoTest, NoRegistryValuesMeansUnavailable)
{
    ui.answer(platform::Button::OK);
    EXPECT_FALSE(about::StartSysInfo());
    expectUnavailable();
    EXPECT_TRUE(started.isEmpty());
}

TEST_F(SysInfoTest, PathValueStartsTheTool)
{
    registry.setValue(RegistryRoot::LocalMachine, kMsinfo, "PATH", platform::RegistryType::String,
                      "C:\\x\\msinfo32.exe");
    EXPECT_TRUE(about::StartSysInfo());
    EXPECT_EQ(started, QStringList{"C:\\x\\msinfo32.exe"});
    EXPECT_TRUE(ui.boxes.isEmpty());
}

TEST_F(SysInfoTest, FolderValueNeedsTheFileInIt)
{
    QTemporaryDir folder;
    registry.setValue(RegistryRoot::LocalMachine, kLocation, "MSINFO", platform::RegistryType::String,
                      folder.path().toLocal8Bit());
    ui.answer(platform::Button::OK);
    EXPECT_FALSE(about::StartSysInfo());
    expectUnavailable();

    QFile tool(QDir(folder.path()).filePath("MSINFO32.EXE"));
    ASSERT_TRUE(tool.open(QIODevice::WriteOnly));
    tool.close();
    EXPECT_TRUE(about::StartSysInfo());
    EXPECT_EQ(started, QStringList{folder.path() + "\\MSINFO32.EXE"});
}

TEST_F(SysInfoTest, ToolThatWillNotStartIsUnavailable)
{
    registry.setValue(RegistryRoot::LocalMachine, kMsinfo, "PATH", platform::RegistryType::String, "C:\\gone.exe");
    startSucceeds = false;
    ui.answer(platform::Button::OK);
    EXPECT_FALSE(about::StartSysInfo());
    expectUnavailable();
}

TEST(frmAbout, ShowsTitleVersionAndEnablesTheMainMenuHoweverItCloses)
{
    ScriptedServices ui;
    testing_support::TempProgramFolder folder;
    QWidget mainMenu;
    for (int way = 0; way < 3; ++way) {
        mainMenu.setEnabled(false);
        QPointer<about::frmAbout> window = new about::frmAbout(&mainMenu);
        window->show();
        EXPECT_EQ(window->windowTitle(), "Revised  December 17, 2004");
        EXPECT_EQ(window->findChild<QLabel *>("lblTitle")->text(), "Vantrel");
        EXPECT_EQ(window->findChild<QLabel *>("lblVersion")->text(), "Version 1.0.34");
        EXPECT_EQ(window->findChild<QLabel *>("lblDescription")->text(), "For Windows 95, 98, ME, 2000, and XP");
        EXPECT_EQ(window->findChild<QLabel *>("lblFolder")->text(), "Program folder: " + folder.path());
        EXPECT_EQ(window->findChild<QPushButton *>("cmdSysInfo")->text(), "&System Info...");
        EXPECT_TRUE(window->isEnabled()) << "the About window takes input while the main menu is disabled";
        if (way == 0)
            window->findChild<QPushButton *>("cmdOK")->click();
        else if (way == 1)
            window->close(); // the frame
        else
            QTest::keyClick(window, Qt::Key_Escape);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(mainMenu.isEnabled()) << "way " << way;
        EXPECT_TRUE(window.isNull());
    }
}

TEST(frmAbout, SystemInfoButtonShowsTheUnavailableMessageHere)
{
    ScriptedServices ui;
    QWidget mainMenu;
    about::frmAbout window(&mainMenu);
    window.setAttribute(Qt::WA_DeleteOnClose, false);
    ui.answer(platform::Button::OK);
    window.findChild<QPushButton *>("cmdSysInfo")->click();
    ASSERT_EQ(ui.boxes.size(), 1);
    EXPECT_EQ(ui.lastBox().text, "System Information Is Unavailable At This Time");
}

} // namespace
