#include "app/CommandLine.h"
#include "app/DataFolder.h"
#include "app/ServerChoice.h"
#include "app/SingleInstance.h"
#include "app/frmMainMenu.h"
#include "platform/Leftovers.h"
#include "platform/MessageBox.h"
#include "platform/QtServices.h"
#include "platform/Services.h"
#include "store/ProgramFolder.h"

#include <QApplication>
#include <QGuiApplication>
#include <QWindow>
#include <cstdio>
#include <memory>

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
    // The desktop entry that starts the program: its icon and name in task bars.
    QGuiApplication::setDesktopFileName(QStringLiteral("example.vantrel.Vantrel"));
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
    // Before any application object: --help names the data folder, which
    // the application's name places.
    setNames();
    QTextStream out(stdout);
    QTextStream err(stderr);
    app::CommandLine commandLine;
    if (!commandLine.parse(argumentList(argc, argv))) {
        err << commandLine.errorText() << "\nTry --help for the options.\n";
        return 2;
    }
    if (commandLine.helpRequested()) {
        const app::ProgramFolderChoice folder = app::chooseProgramFolder(app::runningLayout());
        out << commandLine.helpText()
            << "\nProgram folder in use: " << (folder.error.isEmpty() ? folder.folder : folder.error) << "\n";
        return 0;
    }
    if (commandLine.versionRequested()) {
        out << "Vantrel 1.0.34\n";
        return 0;
    }

    if (const app::CommandLineCommand *command = commandLine.command()) {
        // Commands run without a display: rendering reports needs fonts and
        // a paint device, not a screen. The others need neither: loading the
        // platform and the fonts would be most of a short command's time.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qInstallMessageHandler(commandMessages);
        const std::unique_ptr<QCoreApplication> application = command->paints
            ? std::make_unique<QGuiApplication>(argc, argv)
            : std::make_unique<QCoreApplication>(argc, argv);
        QString problem;
        if (!app::setUpProgramFolder(&problem)) {
            err << problem << "\n";
            return 1;
        }
        platform::Leftovers::sweep();
        app::SingleInstance instance(store::programFolder());
        if (commandLine.runsAlone() && instance.claim() != app::SingleInstance::Outcome::First) {
            err << instance.message() << " --" << commandLine.command()->option
                << " runs only while no main menu or other such command works on it.\n";
            return 1;
        }
        const int status = commandLine.run(out, err);
        out.flush();
        err.flush();
        return status;
    }

    QApplication application(argc, argv);
    QString problem;
    if (!app::setUpProgramFolder(&problem)) {
        platform::msgBox(problem, platform::Buttons::OKOnly, platform::Icon::Critical);
        return 1;
    }
    // What a killed backup or export of this account left goes first.
    platform::Leftovers::sweep();
    app::ServerChoice::applyAtStart(commandLine.databaseUrl());
    app::SingleInstance instance(store::programFolder());
    switch (instance.claimOrRaise()) {
    case app::SingleInstance::Outcome::First: break;
    case app::SingleInstance::Outcome::Raised: out << instance.message() << "\n"; return 0;
    case app::SingleInstance::Outcome::Busy:
    case app::SingleInstance::Outcome::Failed:
        platform::msgBox(instance.message(), platform::Buttons::OKOnly, platform::Icon::Exclamation);
        return 1;
    }
    // At start only the main menu is shown; the database is first touched
    // when a data window opens.
    app::frmMainMenu mainMenu;
    // The start benchmark times the launch up to the main menu on the screen.
    if (qEnvironmentVariableIsSet("VANTREL_QUIT_WHEN_SHOWN"))
        quitWhenExposed(&mainMenu);
    mainMenu.show();
    if (!instance.listen(&mainMenu))
        err << instance.message() << "\n";
    return application.exec();
}
