#pragma once

#include "filter/frmFindWindow.h"
#include "store/DataControl.h"
#include "store/ProgramFolder.h"
#include "store/Statement.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>
#include <sqlite3.h>

// A customer window as the filter window sees it: Data1, FilterLabel and the
// Print and Sort menus.
class StandInCustomerWindow : public QWidget
{
public:
    StandInCustomerWindow()
    {
        auto *layout = new QVBoxLayout(this);
        auto *bar = new QMenuBar(this);
        layout->setMenuBar(bar);
        print = bar->addMenu("&Print");
        print->setObjectName("MnuPrint");
        sort = bar->addMenu("&Sort");
        sort->setObjectName("MnuSort");
        filterLabel = new QLabel("Filter is ON", this);
        filterLabel->setObjectName("FilterLabel");
        filterLabel->hide();
        layout->addWidget(filterLabel);
        data = new store::DataControl(this);
        data->setObjectName("Data1");
        data->setDatabaseName(store::programPath("\\Vantrel.mdb"));
        data->setRecordSource("Information");
        print->menuAction()->setEnabled(false);
    }
    QMenu *print;
    QMenu *sort;
    QLabel *filterLabel;
    store::DataControl *data;
};

class FindWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Twelve customers with known contents.
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open_v2(folder.databasePath().toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
        const char *rows[][5] = {
            {"1", "SMITH", "ANN", "SPRINGFIELD", "2024-01-15"}, {"2", "Smith", "Bob", "Shelbyville", "2023-03-01"},
            {"3", "O'NEIL", "Cy", "Springfield", "1999-01-15"},  {"4", "Adams", "Di", "Ogdenville", "2005-01-15"},
            {"5", "Baker", "Ed", "Springfield", nullptr},        {"6", nullptr, "Fay", "Shelbyville", "2024-02-29"},
            {"7", "Cole", "Gus", "Springfield", "2010-06-01"},   {"8", "Dunn", "Hal", "Ogdenville", "2011-07-04"},
            {"9", "Evans", "Ida", "Springfield", "2012-12-24"},  {"10", "Ford", "Jo", "Shelbyville", "2013-05-05"},
            {"11", "Gray", "Kim", "Springfield", "2014-08-08"},  {"12", "Hill", "Lou", "Ogdenville", "2015-09-09"},
        };
        for (auto &r : rows)
            store::execSql(db, "INSERT INTO Information (LockerNumber, LastName, FirstName, City, DateRented, KeyDeposit, "
                               "Adult) VALUES (?, ?, ?, ?, ?, ?, ?)",
                           nullptr,
                           {QString(r[0]).toInt(), r[1] ? QVariant(QString(r[1])) : QVariant(), QString(r[2]),
                            QString(r[3]), r[4] ? QVariant(QString(r[4])) : QVariant(), QString(r[0]).toInt() * 5,
                            QString(r[0]).toInt() % 2});
        sqlite3_close(db);
        customer = new StandInCustomerWindow;
        ASSERT_TRUE(customer->data->Refresh());
        window = new filter::frmFindWindow;
        window->showFor(customer);
    }
    void TearDown() override
    {
        delete window;
        delete customer;
    }

    QComboBox *list(const QString &name) { return window->findChild<QComboBox *>(name); }
    QLineEdit *criteria(int i) { return window->findChild<QLineEdit *>(QString("Criteria_%1").arg(i)); }
    QCheckBox *check(const char *name) { return window->findChild<QCheckBox *>(name); }
    QPushButton *button(const char *name) { return window->findChild<QPushButton *>(name); }
    QString label(const char *name) { return window->findChild<QLabel *>(name)->text(); }
    bool shown(const QString &name)
    {
        QWidget *w = window->findChild<QWidget *>(name);
        return w && !w->isHidden();
    }

    // Picks an entry by its text, as the operator does.
    void choose(const QString &listName, const QString &text)
    {
        QComboBox *l = list(listName);
        ASSERT_TRUE(l) << listName.toStdString();
        const int i = l->findText(text);
        ASSERT_GE(i, 0) << text.toStdString();
        l->setCurrentIndex(i);
        emit l->activated(i);
    }
    void type(int row, const QString &text)
    {
        criteria(row)->clear();
        QTest::keyClicks(criteria(row), text);
    }
    int customers()
    {
        int n = 0;
        store::Statement st(customer->data->database()->handle(), "SELECT count(*) FROM Information");
        if (st.step())
            n = int(st.int64(0));
        return n;
    }

    testing_support::ScriptedServices ui;
    testing_support::TempProgramFolder folder;
    StandInCustomerWindow *customer = nullptr;
    filter::frmFindWindow *window = nullptr;
};
