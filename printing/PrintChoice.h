#pragma once

#include "printing/PdfOutput.h"

#include <functional>

class QPagedPaintDevice;
class QPrinter;
class QWidget;

namespace printing {

// What the print dialog left in the printer: the queue or the PDF file, the
// copies, the sides and the page range.
PrintChoice choiceOf(const QPrinter &printer);

// The program's print dialog on `printer`, which starts on the default
// queue; pages is how many there are to choose from. True when the operator
// chose to print.
bool askPrinter(QPrinter &printer, int pages, const QString &caption, QWidget *parent);

// Sets up the printer (the print dialog in the program, a script in
// tests) and answers whether to print; pages is how many there are.
using PrinterChooser = std::function<bool(QPrinter &printer, int pages)>;

// Pages a window prints that lay themselves out on whatever paper they get.
struct PageSet {
    QString title;
    std::function<int(QPagedPaintDevice *device)> pageCount;
    // Pages fromPage..toPage (from 1; 0 and 0 for all).
    std::function<bool(QPagedPaintDevice *device, int fromPage, int toPage, QString *error)> paint;
};

// Asks the chooser, then sends the pages, laid out on the chosen queue's
// paper, where it says. A failure is told to the operator. True once the
// queue took the job or the file was written; *done then says where.
bool printPageSet(const PageSet &pages, const PrinterChooser &chooser, QString *done = nullptr);

} // namespace printing
