#pragma once

// The settings a method runs with and the pump that raises its events: what
// every part of the engine, the split writer and joiner included, needs.

#include "zip/ZipMain.h"

namespace backup {

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

} // namespace backup
