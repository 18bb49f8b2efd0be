#pragma once

// The inner working of ZipMain: its settings, the events it raises and the
// methods over libzip. Only ZipMain.cpp and the engine's own files include it.

#include "backup/ZipMain.h"

#include <QStringList>
#include <functional>
#include <memory>

namespace backup {

// The libzip method new entries are encrypted with (AES-256); tests put one
// libzip cannot write to see a failing encryption.
quint16 encryptionMethod();
void setEncryptionMethod(quint16 method);

struct ZipSettings {
    bool abort = false;
    int level = 6;
    bool clearDisks = false;
    QString extractFolder;
    bool multidisk = false;
    bool useTempFile = true;
    QString zipFilename;
    QString filesToProcess;
    QString password;
};

// Raises the events of one running method, lets window events through
// between them and watches for an abort request.
class EventPump
{
public:
    EventPump(ZipEvents &events, ZipSettings &settings) : m_events(events), m_settings(settings) {}

    ZipEvents &events() { return m_events; }
    // Lets pending window events run (an Abort click among them).
    void pump();
    // An abort was asked for and may be honoured (temporary file on).
    bool aborted();
    // Status(percent) only when the percent changed since the last call;
    // reset() starts a new entry.
    void status(int percent);
    void resetStatus() { m_lastStatus = -1; }

private:
    ZipEvents &m_events;
    ZipSettings &m_settings;
    int m_lastStatus = -1;
};

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
