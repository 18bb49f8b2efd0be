#pragma once

#include "BackendDatabase.h"
#include "customers/frmInformation.h"
#include "support/ScriptedServices.h"

#include <QAction>
#include <QApplication>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

namespace testing_support {

// A fresh database (see BackendDatabase), scripted boxes, and the record
// window opened on it, active, so that focus moves as an operator's do.
template<typename OnBackend>
class RecordWindowOn : public OnBackend
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
        ASSERT_EQ(window->data()->DatabaseName(), this->database.name());
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
    QVariantMap stored(qint64 locker) const { return this->database.stored("LockerNumber", locker); }
    void insert(const QVariantMap &values) { this->database.insert({values}); }

    const TempProgramFolder &folder = this->database.folder();
    ScriptedServices services;
    QPointer<customers::frmInformation> window;
};

// On the database file alone.
using RecordWindowTest = RecordWindowOn<FileTest>;
// The same test on the file and on a server (see VANTREL_ON_BOTH_BACKENDS).
using RecordWindowOnBackends = RecordWindowOn<BackendTest>;

} // namespace testing_support
