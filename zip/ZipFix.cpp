#include "zip/ZipCommon.h"

#include "zip/ZipRepair.h"

#include <QFile>

#include <cstdio>

namespace backup {

using namespace zipresult;
using namespace engine;

quint16 ZipMain::Private::fix(bool aggressive)
{
    joined = {};
    EventPump pump(events, settings);
    std::optional<Location> where;
    if (const quint16 refused = checkArchiveToChange(settings, where))
        return refused;

    OwnerOnlyUmask mask;
    const QString fixed = where->local + QStringLiteral(".vantrel-fix");
    RepairOutcome outcome = repairArchive(where->local, fixed, aggressive, [&](const QString &name) {
        if (events.Fixing)
            events.Fixing(name);
        pump.pump();
        return !pump.aborted();
    });
    if (outcome.code != Success) {
        QFile::remove(fixed);
        return outcome.code;
    }
    makeOwnerOnly(fixed);
    if (::rename(QFile::encodeName(fixed).constData(), QFile::encodeName(where->local).constData()) != 0) {
        QFile::remove(fixed);
        return WriteError;
    }
    return Success;
}

} // namespace backup
