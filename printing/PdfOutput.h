#pragma once

#include "printing/PrintQueues.h"

#include <QString>
#include <functional>

class QPdfWriter;

namespace printing {

// Paints the pages on a PDF writer: sets its page layout, begins a painter
// on it, paints. False with the reason (a cancelled run says so).
using PaintPdf = std::function<bool(QPdfWriter &writer, QString *error)>;

// Writes the pages as the PDF file `path`: beside it first, readable by its
// owner only (pages list customers), and renamed over it once whole, so a
// link planted at the name is replaced, never written through. Nothing is
// left at the name on failure.
bool writePdfFile(const QString &path, const QString &title, const PaintPdf &paint, QString *error);

// Paints the pages into a PDF in a folder only the operator may enter and
// sends it to the queue as one job (see PrintQueues::sendPdf); the PDF is
// removed again whatever the outcome. The job's number, or 0 with the reason.
int printPdf(const QString &queue, const QString &title, const JobOptions &options, const PaintPdf &paint,
             QString *error);

// Where the print dialog sends pages, and how.
struct PrintChoice {
    QString queue;   // a queue of the system
    QString pdfFile; // "Print to File": this PDF instead of a queue
    JobOptions options;
    int fromPage = 0; // from 1; 0 and 0 for every page
    int toPage = 0;

    // The paper for pages that do not fix their own: the queue's, else
    // `otherwise` (a file keeps the paper the pages were shown on).
    QPageSize paper(const QPageSize &otherwise) const;
};

// Sends the pages where the choice says. On success *done says where they
// went ("Sent to the printer Office as job 12."); otherwise *error says why
// nothing went.
bool deliver(const PrintChoice &choice, const QString &title, const PaintPdf &paint, QString *done, QString *error);

} // namespace printing
