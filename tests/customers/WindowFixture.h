#pragma once

#include "customers/frmInformation.h"
#include "support/Customers.h"
#include "support/ScriptedServices.h"
#include "support/TempProgramFolder.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

namespace testing_support {

// A fresh program folder, scripted boxes, and the record window opened on
// it, active, so that focus moves as an operator's do.
class RecordWindowTest : public ::testing::Test
{
protected:
    void TearDown() override { delete window.data(); }

    void open()
    {
        window = new customers::frmInformation;
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
        QApplication::processEvents();
    }
    template<typename T = QWidget>
    T *control(const QString &name) const
    {
        T *found = window->findChild<T *>(name);
        EXPECT_TRUE(found) << "no control " << name.toStdString();
        return found;
    }
    QAction *action(const QString &name) const { return control<QAction>(name); }
    void trigger(const QString &actionName)
    {
        action(actionName)->trigger();
        QApplication::processEvents();
    }
    // Moves the focus into a control as the Tab key does.
    void enter(const QString &name)
    {
        control(name)->setFocus(Qt::TabFocusReason);
        QApplication::processEvents();
    }
    void type(const QString &name, const QString &keys)
    {
        enter(name);
        QTest::keyClicks(control(name), keys);
    }
    // Replaces what a field holds, as an operator selecting it and typing does.
    void retype(const QString &name, const QString &keys);
    void click(const QString &navigatorButton)
    {
        control(navigatorButton)->setFocus(Qt::MouseFocusReason);
        QTest::mouseClick(control(navigatorButton), Qt::LeftButton);
        QApplication::processEvents();
    }
    QString shown(const QString &name) const;
    QWidget *focused() const { return QApplication::focusWidget(); }
    QVariantMap stored(qint64 locker) const { return storedCustomer(folder.databasePath(), locker); }
    void insert(const QVariantMap &values) { insertCustomer(folder.databasePath(), values); }

    TempProgramFolder folder;
    ScriptedServices services;
    QPointer<customers::frmInformation> window;
};

} // namespace testing_support
