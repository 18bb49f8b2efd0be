#pragma once

#include "app/CommandLine.h"

#include <QStringList>
#include <QTextStream>

namespace testing_support {

// What one run of the command line gave: its status and both streams.
struct CommandOutcome {
    int status = -1;
    QString out;
    QString err;
};

// Runs `vantrel ARGUMENTS` in this process, as the program's main() does.
// Arguments the parser refuses give status -1 and the parser's text.
inline CommandOutcome runCommandLine(const QStringList &arguments)
{
    app::CommandLine commandLine;
    CommandOutcome result;
    if (!commandLine.parse(QStringList{"vantrel"} + arguments)) {
        result.err = commandLine.errorText();
        return result;
    }
    QTextStream out(&result.out);
    QTextStream err(&result.err);
    result.status = commandLine.run(out, err);
    out.flush();
    err.flush();
    return result;
}

} // namespace testing_support
