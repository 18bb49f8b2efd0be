#include "support/KillAtRandom.h"

#include <QProcess>
#include <csignal>
#include <gtest/gtest.h>
#include <thread>

namespace testing_support {

bool killAtRandomMoment(const QString &program, const QStringList &arguments, QRandomGenerator &random,
                        qint64 withinMicroseconds, std::chrono::microseconds *delay)
{
    QProcess helper;
    helper.start(program, arguments);
    EXPECT_TRUE(helper.waitForStarted()) << program.toStdString();
    *delay = std::chrono::microseconds(random.bounded(withinMicroseconds));
    std::this_thread::sleep_for(*delay);
    ::kill(pid_t(helper.processId()), SIGKILL);
    EXPECT_TRUE(helper.waitForFinished());
    return helper.exitStatus() == QProcess::CrashExit;
}

} // namespace testing_support
