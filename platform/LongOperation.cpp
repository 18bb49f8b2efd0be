#include "platform/LongOperation.h"

#include "platform/Services.h"

namespace platform {

namespace {
int g_depth = 0;
QString g_what;
} // namespace

LongOperation::LongOperation(const QString &what)
{
    if (g_depth++ == 0)
        g_what = what;
}

LongOperation::~LongOperation()
{
    if (--g_depth == 0)
        g_what.clear();
}

bool LongOperation::running()
{
    return g_depth > 0;
}

QString LongOperation::what()
{
    return g_what;
}

bool LongOperation::refuseWhileRunning(const QString &command)
{
    if (!running())
        return true;
    msgBox(
        QStringLiteral("%1 cannot start while %2 is under way. Try again when it has finished.").arg(command, g_what),
        Buttons::OKOnly, Icon::Exclamation);
    return false;
}

} // namespace platform
