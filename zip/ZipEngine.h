#pragma once

// The inner working of ZipMain: its settings, the events it raises and the
// methods over libzip. Only ZipMain.cpp and the engine's own files include it.

#include "zip/ZipMain.h"
#include "zip/ZipPump.h"

#include <QStringList>
#include <functional>
#include <memory>

namespace backup {

// The libzip method new entries are encrypted with (AES-256); tests put one
// libzip cannot write to see a failing encryption.
quint16 encryptionMethod();
void setEncryptionMethod(quint16 method);

class WorkFolder;

// The joined copy of the split set last read from drive A (or just written
// there): the methods that follow read it instead of asking for every disk
// again, until another archive is named or an archive is written.
struct JoinedSet {
    QString zipFilename;
    QString path;
    std::shared_ptr<WorkFolder> folder;
};

struct ZipMain::Private {
    ZipSettings settings;
    ZipEvents events;
    JoinedSet joined;

    int entryCount();
    // Runs one method: clears a stale abort request first, empties the
    // processing list afterwards.
    quint16 run(const std::function<quint16(Private &)> &method);

    quint16 test();
    quint16 fix(bool aggressive);
    quint16 add(int mode);
    quint16 extract(int mode);
    quint16 list();
    quint16 updateZipDate();
    quint16 remove();

    // The names of the processing list, without the separators.
    QStringList namesToProcess() const;
};

} // namespace backup
