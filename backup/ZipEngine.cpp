#include "backup/ZipEngine.h"

#include <QCoreApplication>

namespace backup {

void EventPump::pump()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool EventPump::aborted()
{
    return m_settings.abort && m_settings.useTempFile;
}

void EventPump::status(int percent)
{
    percent = qBound(0, percent, 100);
    if (percent == m_lastStatus)
        return;
    m_lastStatus = percent;
    if (m_events.Status)
        m_events.Status(percent);
    pump();
}

QStringList ZipMain::Private::namesToProcess() const
{
    QStringList names;
    const QStringList parts = settings.filesToProcess.split(QLatin1Char('\r'));
    for (QString name : parts) {
        if (name.startsWith(QLatin1Char('\n')))
            name.remove(0, 1);
        if (!name.isEmpty())
            names << name;
    }
    return names;
}

quint16 ZipMain::Private::run(const std::function<quint16(Private &)> &method)
{
    settings.abort = false;
    const quint16 result = method(*this);
    settings.filesToProcess.clear();
    settings.abort = false;
    return result;
}

int ZipMain::Private::entryCount() { return 0; }
quint16 ZipMain::Private::test() { return zipresult::InvalidSettings; }
quint16 ZipMain::Private::fix(bool) { return zipresult::InvalidSettings; }
quint16 ZipMain::Private::add(int) { return zipresult::InvalidSettings; }
quint16 ZipMain::Private::extract(int) { return zipresult::InvalidSettings; }
quint16 ZipMain::Private::list() { return zipresult::InvalidSettings; }
quint16 ZipMain::Private::updateZipDate() { return zipresult::InvalidSettings; }
quint16 ZipMain::Private::remove() { return zipresult::InvalidSettings; }

} // namespace backup
