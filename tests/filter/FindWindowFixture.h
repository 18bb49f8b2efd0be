#pragma once

#include "support/TwelveCustomers.h"

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
        insertTwelveCustomers(folder.databasePath());
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
