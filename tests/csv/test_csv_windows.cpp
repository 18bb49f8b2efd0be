// The export and import as the operator runs them: from the main menu and
// the list window, through the file dialogs, the preview and the boxes.
#include "CsvTestData.h"

#include "app/frmMainMenu.h"
#include "csv/CsvFlows.h"
#include "csv/CsvImport.h"
#include "csv/dlgImportPreview.h"
#include "customers/frmInformation.h"
#include "customers/frmListWindow.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <gtest/gtest.h>

using namespace csv_testing;
using platform::Button;
using platform::Icon;
using testing_support::ScriptedServices;

namespace {

class CsvWindows : public ::testing::Test
{
protected:
    QString database() const { return folder.databasePath(); }
    QString file(const char *name) const { return folder.file(QString::fromLatin1(name)); }
    int customers() const { return int(storedRows(database()).size()); }

    testing_support::TempProgramFolder folder;
    ScriptedServices services;
    std::mt19937 random{7};
};

TEST_F(CsvWindows, ExportFromTheMainMenuWritesEveryCustomerOrWhatTheRecordWindowShows)
{
    insertRandomCustomers(database(), 120, random);
    app::frmMainMenu menu;
    services.answerFile(file("all.csv"));
    services.answer(Button::OK);
    menu.menuAction(QStringLiteral("MnuDatabaseExport"))->trigger();
    EXPECT_EQ(services.lastBox().text, QStringLiteral("120 customers were exported to %1.").arg(file("all.csv")));
    EXPECT_EQ(services.lastBox().title, QStringLiteral("Export Customers"));
    EXPECT_EQ(services.fileDialogs.last().fileName, QStringLiteral("Customers.csv"));
    {
        const csv::DecodedText text = csv::decodeText(fileBytes(file("all.csv")));
        csv::CsvParser parser(text.text, QLatin1Char(','));
        csv::CsvRecord record;
        int records = 0;
        while (parser.next(&record))
            ++records;
        EXPECT_EQ(records, 121); // the names and a line per customer
    }

    // A filter in force: the record window's rows, in the filter's order.
    menu.Image1_Click();
    customers::frmInformation *window = menu.informationWindow();
    ASSERT_TRUE(window);
    store::DataControl *data = window->data();
    data->setRecordsetType(store::Recordset::Dynaset);
    data->setRecordSource(QStringLiteral("Select * From Information Where [Junior] = Yes Order By [LockerNumber]"));
    ASSERT_TRUE(data->Refresh());
    const int shown = data->recordset()->RecordCount();
    ASSERT_GT(shown, 10);
    ASSERT_LT(shown, 110);
    services.answerFile(file("filtered.csv"));
    services.answer(Button::OK);
    menu.MnuDatabaseExport_Click();
    EXPECT_EQ(services.lastBox().text,
              QStringLiteral("%1 customers were exported to %2.").arg(shown).arg(file("filtered.csv")));

    // The list window exports the same rows from its own button.
    window->findChild<QAction *>(QStringLiteral("MnuList"))->trigger();
    auto *exportButton = window->listWindow()->findChild<QPushButton *>(QStringLiteral("cmdExport"));
    ASSERT_TRUE(exportButton);
    EXPECT_FALSE(exportButton->isHidden());
    services.answerFile(file("list.csv"));
    services.answer(Button::OK);
    exportButton->click();
    EXPECT_EQ(fileBytes(file("list.csv")), fileBytes(file("filtered.csv")));

    // Cancelling the save dialog writes nothing and says nothing.
    services.answerFile(std::nullopt);
    const int boxes = int(services.boxes.size());
    menu.MnuDatabaseExport_Click();
    EXPECT_EQ(services.boxes.size(), boxes);
}

TEST_F(CsvWindows, ThePreviewListsBadRowsAndImportsTheGoodOnes)
{
    writeFile(file("in.csv"),
              "Locker,Last Name,DateRented,Adult\n"
              "1,Ann,01/15/2024,Yes\n"
              "2,Bob,02/30/2024,No\n"
              "3,Cy,1/2/25,1\n");
    app::frmMainMenu menu;
    menu.Image1_Click(); // an open record window shows the new rows afterwards
    store::DataControl *data = menu.informationWindow()->data();
    EXPECT_EQ(data->recordset()->RecordCount(), 0);

    services.answerFile(file("in.csv"));
    std::unique_ptr<csv::CsvImport> import = csv::chooseFileToImport(&menu);
    ASSERT_TRUE(import);
    csv::dlgImportPreview preview(std::move(import), database());
    EXPECT_EQ(preview.windowTitle(), QStringLiteral("Import Customers"));
    auto *summary = preview.findChild<QLabel *>(QStringLiteral("lblSummary"));
    EXPECT_EQ(summary->text(),
              QStringLiteral("2 of 3 rows can go in; 1 cannot. 45 fields have no column and stay empty."));
    QAbstractItemModel *issues = preview.findChild<QTableView *>(QStringLiteral("tblIssues"))->model();
    ASSERT_EQ(issues->rowCount(), 2);
    EXPECT_EQ(issues->index(0, 3).data().toString(), QStringLiteral("The column 'Locker' is not imported."));
    EXPECT_EQ(issues->index(1, 0).data().toInt(), 3);
    EXPECT_EQ(issues->index(1, 2).data().toString(), QStringLiteral("DateRented"));

    // The operator gives the first column to the locker number.
    QComboBox *first = preview.fieldChoice(0);
    EXPECT_EQ(first->currentText(), QStringLiteral("(not imported)"));
    EXPECT_EQ(first->accessibleName(), QStringLiteral("Field for the column Locker"));
    first->setCurrentIndex(first->findText(QStringLiteral("LockerNumber")));
    EXPECT_EQ(issues->rowCount(), 1);
    EXPECT_EQ(summary->text(),
              QStringLiteral("2 of 3 rows can go in; 1 cannot. 44 fields have no column and stay empty."));

    // Two columns for one field cannot be imported.
    preview.fieldChoice(1)->setCurrentIndex(preview.fieldChoice(1)->findText(QStringLiteral("LockerNumber")));
    auto *importButton = preview.findChild<QPushButton *>(QStringLiteral("cmdImport"));
    EXPECT_FALSE(importButton->isEnabled());
    preview.fieldChoice(1)->setCurrentIndex(preview.fieldChoice(1)->findText(QStringLiteral("LastName")));
    EXPECT_TRUE(importButton->isEnabled());

    services.answer(Button::OK);
    importButton->click();
    EXPECT_EQ(services.lastBox().text, QStringLiteral("2 customers were imported. 1 row was not imported."));
    EXPECT_EQ(services.lastBox().icon, Icon::Information);
    EXPECT_EQ(preview.result(), QDialog::Accepted);
    EXPECT_EQ(customers(), 2);
    EXPECT_EQ(data->recordset()->RecordCount(), 2);
}

TEST_F(CsvWindows, CancelInThePreviewLeavesTheDatabaseAsItWas)
{
    insertRandomCustomers(database(), 20, random);
    writeFile(file("in.csv"), "LockerNumber,LastName\n1,Ann\n");
    const QByteArray before = fileBytes(database());
    services.answerFile(file("in.csv"));
    {
        csv::dlgImportPreview preview(csv::chooseFileToImport(nullptr), database());
        preview.findChild<QPushButton *>(QStringLiteral("CancelButton"))->click();
        EXPECT_EQ(preview.result(), QDialog::Rejected);
    }
    EXPECT_EQ(fileBytes(database()), before);
}

TEST_F(CsvWindows, AFileThatCannotBeImportedIsToldAtOnce)
{
    writeFile(file("data.bin"), QByteArray("\x00\x01\x02", 3));
    services.answerFile(file("data.bin"));
    services.answer(Button::OK);
    EXPECT_FALSE(csv::chooseFileToImport(nullptr));
    EXPECT_EQ(services.lastBox().icon, Icon::Critical);
    EXPECT_EQ(services.lastBox().title, QStringLiteral("Import Customers"));
    EXPECT_EQ(
        services.lastBox().text,
        QStringLiteral("%1 cannot be imported.\r\rLine 1: the file is not a text file (it holds a zero byte); nothing "
                       "can be imported from it.")
            .arg(file("data.bin")));
}

} // namespace
