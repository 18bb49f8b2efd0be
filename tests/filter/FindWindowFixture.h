#pragma once

#include "support/TwelveCustomers.h"

#include "BackendDatabase.h"
#include "filter/frmFindWindow.h"
#include "store/DataControl.h"
#include "support/ScriptedServices.h"

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

// A customer window as the filter window sees it: Data1, FilterLabel and the
// Print and Sort menus.
class StandInCustomerWindow : public QWidget
{
public:
    explicit StandInCustomerWindow(const QString &databaseName)
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
        data->setDatabaseName(databaseName);
        data->setRecordSource("Information");
        print->menuAction()->setEnabled(false);
    }
    QMenu *print;
    QMenu *sort;
    QLabel *filterLabel;
    store::DataControl *data;
};

template<typename OnBackend>
class FindWindowOn : public OnBackend
{
protected:
    void SetUp() override
    {
        this->database.insert(twelveCustomers());
        customer = new StandInCustomerWindow(this->database.name());
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
    int customers() const { return this->database.storedCount(); }

    testing_support::ScriptedServices ui;
    StandInCustomerWindow *customer = nullptr;
    filter::frmFindWindow *window = nullptr;
};

// The window's own rules, on the database file alone.
using FindWindowTest = FindWindowOn<testing_support::FileTest>;
