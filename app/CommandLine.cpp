#include "app/CommandLine.h"

namespace app {

CommandLine::CommandLine()
    : m_help(QStringList{QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows these options and ends."))
    , m_version(QStringLiteral("version"), QStringLiteral("Shows the version and ends."))
{
    m_parser.setApplicationDescription(
        QStringLiteral("Vantrel: locker rentals for a bowling center.\n"
                       "Without options the main menu starts (with --database URL alone, on that\n"
                       "PostgreSQL database). Each command below works on the\n"
                       "database of the program folder (or, where it says so, on the PostgreSQL\n"
                       "database given by --database) without a window and ends with status 0\n"
                       "only when it succeeded."));
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(m_help);
    m_parser.addOption(m_version);
    // Commands register themselves in their own files; the order here is the
    // order of --help.
    addReportCommand(m_parser, m_commands);
    addBackupCommand(m_parser, m_commands);
    addCsvCommands(m_parser, m_commands);
    addMaintenanceCommands(m_parser, m_commands);
    addUndoCommands(m_parser, m_commands);
    addServerCommands(m_parser, m_commands);
}

bool CommandLine::parse(const QStringList &arguments)
{
    m_command = nullptr;
    m_conflict.clear();
    if (!m_parser.parse(arguments))
        return false;
    if (!m_parser.positionalArguments().isEmpty()) {
        m_conflict = QStringLiteral("Unexpected argument '%1'.").arg(m_parser.positionalArguments().first());
        return false;
    }
    for (const CommandLineCommand &c : m_commands) {
        if (!m_parser.isSet(c.option))
            continue;
        if (m_command) {
            m_conflict = QStringLiteral("--%1 and --%2 cannot be given together.").arg(m_command->option, c.option);
            m_command = nullptr;
            return false;
        }
        m_command = &c;
    }
    // A modifier may serve several commands; given, it needs one of them.
    QStringList modifiers;
    for (const CommandLineCommand &c : m_commands)
        modifiers += c.modifiers;
    modifiers.removeDuplicates();
    for (const QString &modifier : modifiers) {
        if (!m_parser.isSet(modifier) || (m_command && m_command->modifiers.contains(modifier)))
            continue;
        // Alone, --database starts the main menu on the server.
        if (!m_command && modifier == QLatin1String("database"))
            continue;
        QStringList owners;
        for (const CommandLineCommand &c : m_commands) {
            if (c.modifiers.contains(modifier))
                owners << QStringLiteral("--") + c.option;
        }
        const QString last = owners.takeLast();
        m_conflict = QStringLiteral("--%1 goes with %2.")
                         .arg(modifier, owners.isEmpty() ? last : owners.join(QStringLiteral(", ")) + " or " + last);
        m_command = nullptr;
        return false;
    }
    return true;
}

QString CommandLine::databaseUrl() const
{
    return m_parser.isSet(QStringLiteral("database")) ? m_parser.value(QStringLiteral("database")) : QString();
}

bool CommandLine::helpRequested() const
{
    return m_parser.isSet(m_help);
}
bool CommandLine::versionRequested() const
{
    return m_parser.isSet(m_version);
}

bool CommandLine::runsAlone() const
{
    if (!m_command || !m_command->alone)
        return false;
    for (const QString &option : m_command->elsewhere) {
        if (m_parser.isSet(option))
            return false;
    }
    return true;
}

int CommandLine::run(QTextStream &out, QTextStream &err) const
{
    return m_command ? m_command->run(m_parser, out, err) : 0;
}

} // namespace app
