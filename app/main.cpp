#include "app/CommandLine.h"
#include "app/frmMainMenu.h"
#include "platform/QtServices.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWindow>
#include <cstdio>

namespace {

QStringList argumentList(int argc, char *argv[])
{
    QStringList list;
    for (int i = 0; i < argc; ++i)
        list << QString::fromLocal8Bit(argv[i]);
    return list;
}

// A command's standard error carries its own messages only: a scheduled job
// mails whatever appears there. Qt's notices about the missing desktop
// session (no runtime folder, no display) are dropped; its errors are kept.
void commandMessages(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

void setNames()
{
    QCoreApplication::setApplicationName(QStringLiteral("Vantrel"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.34"));
}

// Ends the program at the window's first expose.
void quitWhenExposed(QWidget *window)
{
    struct Watch : QObject {
        using QObject::QObject;
        bool eventFilter(QObject *, QEvent *event) override
        {
            if (event->type() == QEvent::Expose)
                QCoreApplication::exit(0);
            return false;
        }
    };
    window->winId();
    window->windowHandle()->installEventFilter(new Watch(window));
}

} // namespace

int main(int argc, char *argv[])
{
    platform::installQtServices();
    QTextStream out(stdout);
    QTextStream err(stderr);
    app::CommandLine commandLine;
    if (!commandLine.parse(argumentList(argc, argv))) {
        err << commandLine.errorText() << "\nTry --help for the options.\n";
        return 2;
    }
    if (commandLine.helpRequested()) {
        out << commandLine.helpText();
        return 0;
    }
    if (commandLine.versionRequested()) {
        out << "Vantrel 1.0.34\n";
        return 0;
    }

    if (commandLine.command()) {
        // Commands run without a display: rendering reports needs fonts and
        // a paint device, not a screen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(commandMessages);
        QGuiApplication application(argc, argv);
        setNames();
        const int status = commandLine.run(out, err);
        out.flush();
        err.flush();
        return status;
    }

    QApplication application(argc, argv);
    setNames();
    // At start only the main menu is shown; the database is first touched
    // when a data window opens.
    app::frmMainMenu mainMenu;
    // The start benchmark times the launch up to the main menu on the screen.
    if (qEnvironmentVariableIsSet("VANTREL_QUIT_WHEN_SHOWN"))
        quitWhenExposed(&mainMenu);
    mainMenu.show();
    return application.exec();
}
