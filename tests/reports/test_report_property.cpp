// For random filters put in force through the filter window, the "Report"
// listing holds exactly the customers the record window shows, in the same
// order, and "Labels" holds the same customers.
#include "SampleCenter.h"
#include "app/frmMainMenu.h"
#include "customers/frmInformation.h"
#include "filter/frmFindWindow.h"
#include "platform/Services.h"
#include "reports/ui/CrystalReport.h"
#include "store/Database.h"
#include "store/Recordset.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// Answers every box the filter flows may raise as an operator who wants to
// get on: no match is not retried, a duplicate is re-read, the rest is OK.
class AnsweringServices : public platform::Services
{
public:
    AnsweringServices() { platform::setServices(this); }
    ~AnsweringServices() override { platform::setServices(nullptr); }

    platform::Button messageBox(const platform::MessageBoxRequest &box) override
    {
        titles << box.title;
        if (box.title == QLatin1String("Sorry!"))
            return platform::Button::No;
        if (box.title == QLatin1String("Filter Duplicated!"))
            return platform::Button::Yes;
        return box.defaultAnswer();
    }
    void beep() override {}
    void setPointer(platform::Pointer p) override { m_pointer = p; }
    platform::Pointer pointer() const override { return m_pointer; }
    std::optional<QString> openFileName(const platform::FileDialogRequest &) override { return std::nullopt; }
    std::optional<QString> saveFileName(const platform::FileDialogRequest &) override { return std::nullopt; }
    std::optional<QString> existingFolder(const platform::FileDialogRequest &) override { return std::nullopt; }

    QStringList titles;

private:
    platform::Pointer m_pointer = platform::Pointer::Default;
};

class ReportProperty : public ::testing::Test
{
protected:
    void SetUp() override
    {
        testing_support::fillSampleCenter(folder.databasePath());
        testing_support::installDeliveredReports(folder.path());
        menu = std::make_unique<app::frmMainMenu>();
        customers::frmInformation::setFilterWindowLauncher(
            [this](customers::frmInformation &w) { menu->findWindow()->showFor(&w); });
        menu->Image1_Click();
        record = menu->informationWindow();
        control = record->findChild<reports::CrystalReport *>("CrystalReport1");
        control->setDestination(reports::CrystalReport::Destination::File);
    }

    template<typename T>
    const T &pick(const QList<T> &list)
    {
        return list.at(int(rng.bounded(qsizetype(list.size()))));
    }
    int between(int lo, int hi) { return lo + int(rng.bounded(hi - lo + 1)); }

    filter::frmFindWindow *find() { return menu->findWindow(); }
    QComboBox *list(const QString &name) { return find()->findChild<QComboBox *>(name); }
    void choose(const QString &name, const QString &text)
    {
        QComboBox *l = list(name);
        ASSERT_TRUE(l) << name.toStdString();
        const int i = l->findText(text);
        ASSERT_GE(i, 0) << name.toStdString() << " " << text.toStdString();
        l->setCurrentIndex(i);
        emit l->activated(i);
    }
    void chooseAny(const QString &name, int from = 0)
    {
        QComboBox *l = list(name);
        ASSERT_TRUE(l && l->count() > from) << name.toStdString();
        choose(name, l->itemText(between(from, l->count() - 1)));
    }

    QString criteriaFor(const QString &field)
    {
        if (field == "Adult")
            return pick(QStringList{"YES", "NO", "true", "False"});
        if (field == "KeyDeposit")
            return pick(QStringList{"5", "10", "7"});
        if (field == "LockerNumber" || field == "KeyNumber")
            return QString::number(field == "KeyNumber" ? between(600, 632) : between(99, 131));
        if (field == "DateToRenew" || field == "DateRented")
            return pick(QStringList{"12/31/2024", "01/01/2025", "1/15/2025", "02/14/25", "03/31/2025", "12/20/2023"});
        return pick(
            QStringList{"SPRINGFIELD", "spr", "Chatham", "empty", "a", "son", "O'MALLEY", "IL", "Apt", "M", "zz"});
    }

    // Fills one random filter and presses "&OK".
    void applyRandomFilter()
    {
        record->findChild<QAction *>("MnuFilterCreate")->trigger();
        find()->ClearButton_Click();
        find()->ClearSortButton_Click();
        const QStringList fields = {"City",         "LastName",  "FirstName",   "Address2",   "KeyDeposit",
                                    "LockerNumber", "KeyNumber", "DateToRenew", "DateRented", "Adult"};
        const int rows = between(1, 3);
        for (int r = 0; r < rows; ++r) {
            const QString field = pick(fields);
            choose(QStringLiteral("Field_%1").arg(r), field);
            chooseAny(QStringLiteral("Operator_%1").arg(r));
            auto *box = find()->findChild<QLineEdit *>(QStringLiteral("Criteria_%1").arg(r));
            box->clear();
            QTest::keyClicks(box, criteriaFor(field));
            if (r + 1 < rows)
                choose(QStringLiteral("Condition_%1").arg(r), pick(QStringList{"And", "Or"}));
        }
        const int sorts = between(0, 3);
        for (int k = 0; k < sorts; ++k) {
            chooseAny(QStringLiteral("SortField_%1").arg(k), k == 0 ? 1 : 0);
            chooseAny(QStringLiteral("SortOrder_%1").arg(k));
        }
        find()->OKButton_Click();
        if (find()->isVisible())
            find()->CancelButton_Click();
    }

    QList<int> shownLockers()
    {
        QList<int> lockers;
        const auto rs = record->data()->recordset();
        const int field = rs->fieldIndex("LockerNumber");
        for (int i = 0; i < rs->RecordCount(); ++i)
            lockers << rs->rowAt(i).value(field).toInt();
        return lockers;
    }
    // The sample's names by locker, as a label's first line shows them.
    QString nameOf(int locker)
    {
        if (m_names.isEmpty()) {
            store::EngineError e;
            auto rs = record->data()->database()->OpenRecordset("Information", store::Recordset::Snapshot, &e);
            for (int i = 0; rs && i < rs->RecordCount(); ++i) {
                const QVariantList row = rs->rowAt(i);
                m_names.insert(row.value(rs->fieldIndex("LockerNumber")).toInt(),
                               row.value(rs->fieldIndex("FirstName")).toString() + " "
                                   + row.value(rs->fieldIndex("LastName")).toString());
            }
        }
        return m_names.value(locker);
    }
    QHash<int, QString> m_names;

    QRandomGenerator rng{20241231};
    testing_support::TempProgramFolder folder;
    AnsweringServices ui;
    std::unique_ptr<app::frmMainMenu> menu;
    customers::frmInformation *record = nullptr;
    reports::CrystalReport *control = nullptr;
};

TEST_F(ReportProperty, ReportAndLabelsHoldWhatTheRecordWindowShows)
{
    const QRegularExpression listingRow(QStringLiteral("(?m)^\\s*(1[0-3][0-9])\\s+\\S"));
    int compared = 0;
    for (int round = 0; round < 200; ++round) {
        applyRandomFilter();
        if (record->filterLabel()->isHidden())
            continue; // nothing matched, or the rows selected every customer
        const QList<int> shown = shownLockers();

        control->setPrintFileName(folder.file("report.pdf"));
        record->MnuPrintReport_Click();
        ASSERT_EQ(control->LastErrorString(), "") << round;
        // Counted and read through the filter's statement, not the formula.
        ASSERT_TRUE(control->SelectionStatement().startsWith("Select Information.* From Information Where ",
                                                             Qt::CaseInsensitive))
            << control->SelectionStatement().toStdString();
        control->setPrintFileName(folder.file("labels.pdf"));
        record->MnuPrintLabels_Click();
        ASSERT_EQ(control->LastErrorString(), "") << round;
        const QStringList texts = testing_support::pdfTexts({folder.file("report.pdf"), folder.file("labels.pdf")});

        QList<int> printed;
        auto rows = listingRow.globalMatch(texts[0]);
        while (rows.hasNext())
            printed << rows.next().captured(1).toInt();
        ASSERT_EQ(printed, shown) << "round " << round << ": " << control->lastRun().selectionFormula.toStdString()
                                  << " sorted " << control->lastRun().sortFields.join(' ').toStdString();

        // Every customer's name where the labels show it, in reading order.
        QList<std::pair<qsizetype, QString>> found;
        for (int locker = 101; locker <= 130; ++locker) {
            const QString name = nameOf(locker);
            for (qsizetype at = texts[1].indexOf(name); at >= 0; at = texts[1].indexOf(name, at + 1))
                found.append({at, name});
        }
        std::sort(found.begin(), found.end());
        QStringList labelled;
        for (const auto &f : found)
            labelled << f.second;
        QStringList expected;
        for (int locker : shown)
            expected << nameOf(locker);
        // Labels read across then down, so they follow the same order.
        ASSERT_EQ(labelled, expected) << "round " << round;
        ++compared;
    }
    EXPECT_GE(compared, 80) << "too few of the random filters matched anything";
    EXPECT_EQ(ui.pointer(), platform::Pointer::Default);
}

} // namespace
