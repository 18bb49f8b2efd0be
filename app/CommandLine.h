#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QStringList>
#include <QTextStream>
#include <functional>
#include <memory>
#include <vector>

namespace store {
class ServerConnection;
}

namespace app {

// A command of the command line: one option that selects it (plus any
// options only it reads) and the routine that runs it without a window.
// The routine returns the process's exit status: 0 only on success.
struct CommandLineCommand {
    QString option; // the option that selects the command, e.g. "report"
    std::function<int(const QCommandLineParser &, QTextStream &out, QTextStream &err)> run;
    // Options that only this command reads, e.g. "check"; given without the
    // command they are an error.
    QStringList modifiers = {};
    // A command that replaces the database file runs alone: not beside a
    // main menu or another such command on the same folder.
    bool alone = false;
    // Modifiers that point the command at a server rather than the folder's
    // file: given one, it need not run alone.
    QStringList elsewhere = {};
    // The command paints (reports): it needs the fonts and paint devices of
    // a QGuiApplication. One that works on files alone starts without them.
    bool paints = true;
};

// The program's one command line. Without a command the main menu starts.
class CommandLine
{
public:
    CommandLine();

    // Parses the arguments (argv[0] included). False when they are not valid;
    // errorText() then says why.
    bool parse(const QStringList &arguments);
    QString errorText() const { return m_conflict.isEmpty() ? m_parser.errorText() : m_conflict; }

    bool helpRequested() const;
    // The server given by --database, empty without one.
    QString databaseUrl() const;
    bool versionRequested() const;
    // The usage line names the program, whether or not an application object
    // exists yet.
    QString helpText() const
    {
        return m_parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("vantrel"));
    }

    // The command the arguments name, or nullptr to start the windows.
    // More than one command is an error (errorText after parse()).
    const CommandLineCommand *command() const { return m_command; }
    // Whether the selected command must run alone, as it is given.
    bool runsAlone() const;

    // Runs the selected command. A QCoreApplication (or QGuiApplication for
    // rendering) must exist.
    int run(QTextStream &out, QTextStream &err) const;

    const QCommandLineParser &parser() const { return m_parser; }

private:
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    std::vector<CommandLineCommand> m_commands;
    const CommandLineCommand *m_command = nullptr;
    QString m_conflict;
};

// Each command adds its options and its routine from its own file, through
// a function of this shape declared here and called in CommandLine's
// constructor, e.g.
//   void addReportCommand(QCommandLineParser &, std::vector<CommandLineCommand> &);
void addCsvCommands(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands);

void addReportCommand(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands);

void addBackupCommand(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands);

// --compact and --repair (MaintenanceCommandLine.cpp).
void addMaintenanceCommands(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands);

// --list-changes and --undo-last (UndoFlows.cpp).
void addUndoCommands(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands);

// --create-server-schema, --copy-to-server and --copy-from-server, with
// --database (ServerCommands.cpp).
void addServerCommands(QCommandLineParser &parser, std::vector<CommandLineCommand> &commands);

// The server --database names, connected, for `command`; nullptr after
// saying why on err (ServerCommands.cpp).
std::unique_ptr<store::ServerConnection> connectToServer(const QCommandLineParser &parser, const QString &command,
                                                         QTextStream &err);

} // namespace app
