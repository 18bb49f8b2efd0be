#include "printing/PrintChoice.h"

#include "platform/Services.h"

#include <QPdfWriter>
#include <QPrintDialog>
#include <QPrinter>

namespace printing {

PrintChoice choiceOf(const QPrinter &printer)
{
    PrintChoice choice;
    if (printer.outputFormat() == QPrinter::PdfFormat)
        choice.pdfFile = printer.outputFileName();
    else
        choice.queue = printer.printerName();
    choice.options.copies = printer.copyCount();
    choice.options.collate = printer.collateCopies();
    switch (printer.duplex()) {
    case QPrinter::DuplexNone: choice.options.sides = JobOptions::Sides::OneSided; break;
    case QPrinter::DuplexLongSide: choice.options.sides = JobOptions::Sides::LongEdge; break;
    case QPrinter::DuplexShortSide: choice.options.sides = JobOptions::Sides::ShortEdge; break;
    case QPrinter::DuplexAuto: choice.options.sides = JobOptions::Sides::Default; break;
    }
    if (printer.printRange() == QPrinter::PageRange) {
        choice.fromPage = printer.fromPage();
        choice.toPage = printer.toPage();
    }
    return choice;
}

bool askPrinter(QPrinter &printer, int pages, const QString &caption, QWidget *parent)
{
    QPrintDialog dialog(&printer, parent);
    dialog.setWindowTitle(caption);
    dialog.setMinMax(1, qMax(1, pages));
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    return dialog.exec() == QDialog::Accepted;
}

bool printPageSet(const PageSet &pages, const PrinterChooser &chooser, QString *done)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setDocName(pages.title);
    if (!chooser || !chooser(printer, pages.pageCount(&printer)))
        return false;
    const PrintChoice choice = choiceOf(printer);
    const QPageSize paper = choice.paper(printer.pageLayout().pageSize());
    QString error;
    bool sent = false;
    {
        platform::Hourglass busy;
        sent = deliver(
            choice, pages.title,
            [&](QPdfWriter &writer, QString *why) {
                writer.setPageSize(paper);
                return pages.paint(&writer, choice.fromPage, choice.toPage, why);
            },
            done, &error);
    }
    if (!sent)
        platform::msgBox(error, platform::Buttons::OKOnly, platform::Icon::Exclamation);
    return sent;
}

} // namespace printing
