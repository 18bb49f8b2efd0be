#pragma once

#include <QPageSize>
#include <QString>
#include <optional>

namespace printing {

// What a print queue of the system (CUPS) says of itself.
struct QueueState {
    bool found = false;             // the queue is there
    bool accepting = false;         // it takes new jobs
    bool stopped = false;           // it takes jobs but prints none until started again
    QString message;                // why it refuses or stopped, as its administrator put it
    std::optional<QPageSize> paper; // the paper it prints on unless told otherwise
};

// What a job asks of the queue besides its pages.
struct JobOptions {
    int copies = 1;
    bool collate = true;
    enum class Sides { Default, OneSided, LongEdge, ShortEdge };
    Sides sides = Sides::Default;
};

// The system's print queues, through the CUPS client library (which finds
// the server as every CUPS client does, CUPS_SERVER included).
class PrintQueues
{
public:
    // The default queue's name; empty when the system has none.
    static QString defaultQueue();
    static QueueState state(const QString &queue);
    // The paper a page set that does not fix its own is laid out on before a
    // queue is chosen: the default queue's, else Letter.
    static QPageSize defaultPaper();

    // Why the queue cannot print now ("The printer ... is stopped ..."), or
    // an empty text when it can. `what` names what was to be printed.
    static QString refusal(const QString &queue, const QueueState &state, const QString &what);

    // Sends a PDF file to the queue as one job, after checking that the
    // queue is there, started and accepting. The job's number, or 0 with the
    // reason in *error (nothing was sent then).
    static int sendPdf(const QString &queue, const QString &pdfPath, const QString &title, const JobOptions &options,
                       QString *error);
};

} // namespace printing
