// Where the program folder is, and the first start of an installed program
// in the operator's data folder.
#include "app/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class DataFolder : public ::testing::Test
{
public:
    QString path(const QString &relative) const { return QDir(dir.path()).filePath(relative); }
    void write(const QString &relative, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path(relative)).absolutePath());
        QFile f(path(relative));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray read(const QString &relative) const
    {
        QFile f(path(relative));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
    // A delivered share/vantrel with a database and two report files.
    void deliver()
    {
        write("share/vantrel/Vantrel.mdb", "delivered database");
        write("share/vantrel/Complete.rpt", "delivered complete");
        write("share/vantrel/Labels.rpt", "delivered labels");
    }
    app::FolderLayout layout() const
    {
        return {path("bin"), path("build/bin"), path("share/vantrel"), path("site.conf"), path("home/Vantrel")};
    }

    QTemporaryDir dir;
};

TEST_F(DataFolder, TheExecutablesFolderStaysUnlessInstalled)
{
    struct Case {
        const char *what;
        std::function<void(DataFolder &, app::FolderLayout &)> arrange;
        QString folder; // relative to the temporary folder; empty: an error
        bool installed;
    };
    const std::vector<Case> cases = {
        {"build folder",
         [](DataFolder &t, app::FolderLayout &l) {
             t.deliver();
             l.buildFolder = l.executableFolder;
         },
         "bin", false},
        {"a database beside the program, in any case",
         [](DataFolder &t, app::FolderLayout &) {
             t.deliver();
             t.write("bin/VANTREL.MDB", "operator");
         },
         "bin", false},
        {"nothing delivered", [](DataFolder &, app::FolderLayout &) {}, "bin", false},
        {"installed", [](DataFolder &t, app::FolderLayout &) { t.deliver(); }, "home/Vantrel", true},
        {"site folder",
         [](DataFolder &t, app::FolderLayout &) {
             t.deliver();
             t.write("site.conf", "[General]\nDataFolder=" + t.path("srv/vantrel/").toUtf8() + "\n");
         },
         "srv/vantrel", true},
        {"site file without a folder",
         [](DataFolder &t, app::FolderLayout &) {
             t.deliver();
             t.write("site.conf", "[General]\nOther=1\n");
         },
         "home/Vantrel", true},
        {"site folder not a full path",
         [](DataFolder &t, app::FolderLayout &) {
             t.deliver();
             t.write("site.conf", "[General]\nDataFolder=srv/vantrel\n");
         },
         "", true},
        {"no home",
         [](DataFolder &t, app::FolderLayout &l) {
             t.deliver();
             l.userDataFolder.clear();
         },
         "", true},
    };
    for (const Case &c : cases) {
        QDir(dir.path()).removeRecursively();
        QDir().mkpath(dir.path());
        app::FolderLayout l = layout();
        QDir().mkpath(l.executableFolder);
        c.arrange(*this, l);
        const app::ProgramFolderChoice choice = app::chooseProgramFolder(l);
        EXPECT_EQ(choice.installed, c.installed) << c.what;
        if (c.folder.isEmpty()) {
            EXPECT_FALSE(choice.error.isEmpty()) << c.what;
        } else {
            EXPECT_EQ(choice.error, "") << c.what;
            EXPECT_EQ(choice.folder, path(c.folder)) << c.what;
        }
    }
}

TEST_F(DataFolder, FirstStartMakesAnOwnerOnlyFolderOfTheDeliveredFiles)
{
    deliver();
    QString error;
    ASSERT_TRUE(app::fillDataFolder(path("home/.local/share/Vantrel"), path("share/vantrel"), &error))
        << error.toStdString();
    EXPECT_EQ(QFileInfo(path("home/.local/share/Vantrel")).permissions() & 0x7077,
              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_EQ(QFile::permissions(path("home/.local/share/Vantrel/Vantrel.mdb")) & 0x7077,
              QFile::ReadOwner | QFile::WriteOwner);
    for (const char *name : {"Vantrel.mdb", "Complete.rpt", "Labels.rpt"})
        EXPECT_EQ(read(QStringLiteral("home/.local/share/Vantrel/") + name),
                  read(QStringLiteral("share/vantrel/") + name));
}

TEST_F(DataFolder, AnOperatorsFilesStayByteForByte)
{
    deliver();
    write("data/vantrel.mdb", "the operator's rows");
    write("data/Complete.rpt", "the center's edited report");
    QString error;
    ASSERT_TRUE(app::fillDataFolder(path("data"), path("share/vantrel"), &error)) << error.toStdString();
    EXPECT_EQ(read("data/vantrel.mdb"), "the operator's rows");
    EXPECT_FALSE(QFileInfo::exists(path("data/Vantrel.mdb"))) << "a second database beside the operator's";
    EXPECT_EQ(QDir(path("data")).entryList(QDir::Files).size(), 3);
    EXPECT_EQ(read("data/Complete.rpt"), "the center's edited report");
    EXPECT_EQ(read("data/Labels.rpt"), "delivered labels");
}

TEST_F(DataFolder, FailuresSayWhy)
{
    QString error;
    EXPECT_FALSE(app::fillDataFolder(path("data"), path("share/vantrel"), &error));
    EXPECT_EQ(error, "The delivered files are missing from " + path("share/vantrel") + ".");
    deliver();
    write("file", "not a folder");
    EXPECT_FALSE(app::fillDataFolder(path("file/Vantrel"), path("share/vantrel"), &error));
    EXPECT_EQ(error, "The data folder " + path("file/Vantrel") + " cannot be created.");
}

} // namespace
