#include "printing/PdfOutput.h"

#include "store/OutputPaths.h"
#include "store/SafeFiles.h"

#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QTemporaryDir>

namespace printing {

namespace {
bool paintInto(QFile &file, const QString &title, const PaintPdf &paint, QString *error)
{
    QPdfWriter writer(&file);
    writer.setResolution(1200);
    writer.setTitle(title);
    writer.setCreator(QStringLiteral("Vantrel"));
    return paint(writer, error);
}
} // namespace

bool writePdfFile(const QString &path, const QString &title, const PaintPdf &paint, QString *error)
{
    // Written beside the destination, readable by its owner only (it lists
    // customers), and renamed over it when whole: a link planted at the
    // name is replaced, never written through, and the program's own files
    // are never the destination.
    store::OutputFile output(path);
    QString refused;
    if (!output.prepare(&refused)) {
        if (error)
            *error = refused;
        return false;
    }
    const QString partial = output.partialPath();
    store::EngineError e;
    QFile file(partial);
    if (!store::createOwnerOnlyFile(partial, &e) || !file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("The file %1 cannot be written: %2.")
                         .arg(path, e.isError() ? e.text : file.errorString());
        output.discard();
        return false;
    }
    const auto fail = [&](const QString &reason) {
        file.close();
        output.discard();
        if (error)
            *error = reason;
        return false;
    };
    QString why;
    if (!paintInto(file, title, paint, &why))
        return fail(why.isEmpty() ? QStringLiteral("%1 was not written.").arg(path) : why);
    if (!file.flush())
        return fail(QStringLiteral("The file %1 cannot be written: %2.").arg(path, file.errorString()));
    file.close();
    if (!output.commit(&why))
        return fail(QStringLiteral("The file %1 cannot be written: %2.").arg(path, why));
    return true;
}

int printPdf(const QString &queue, const QString &title, const JobOptions &options, const PaintPdf &paint,
             QString *error)
{
    // Checked before the pages are painted: a long report is not painted
    // for a printer that cannot take it.
    const QString refused = PrintQueues::refusal(queue, PrintQueues::state(queue), QStringLiteral("\"%1\"").arg(title));
    if (!refused.isEmpty()) {
        if (error)
            *error = refused;
        return 0;
    }
    // QTemporaryDir makes its folder for its owner only.
    QTemporaryDir folder;
    if (!folder.isValid()) {
        if (error)
            *error = QStringLiteral("\"%1\" was not printed: no temporary folder could be made (%2).")
                         .arg(title, folder.errorString());
        return 0;
    }
    const QString pdf = folder.filePath(QStringLiteral("print.pdf"));
    QFile file(pdf);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("\"%1\" was not printed: %2.").arg(title, file.errorString());
        return 0;
    }
    QString why;
    const bool painted = paintInto(file, title, paint, &why);
    file.close();
    if (!painted) {
        if (error)
            *error = why.isEmpty() ? QStringLiteral("\"%1\" was not printed.").arg(title) : why;
        return 0;
    }
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = QStringLiteral("\"%1\" was not printed: %2.").arg(title, file.errorString());
        return 0;
    }
    return PrintQueues::sendPdf(queue, pdf, title, options, error);
}

QPageSize PrintChoice::paper(const QPageSize &otherwise) const
{
    if (queue.isEmpty() || !pdfFile.isEmpty())
        return otherwise;
    return PrintQueues::state(queue).paper.value_or(otherwise);
}

bool deliver(const PrintChoice &choice, const QString &title, const PaintPdf &paint, QString *done, QString *error)
{
    if (!choice.pdfFile.isEmpty()) {
        if (!writePdfFile(choice.pdfFile, title, paint, error))
            return false;
        if (done)
            *done = QStringLiteral("Saved to %1.").arg(choice.pdfFile);
        return true;
    }
    const int job = printPdf(choice.queue, title, choice.options, paint, error);
    if (job == 0)
        return false;
    if (done)
        *done = QStringLiteral("Sent to the printer %1 as job %2.").arg(choice.queue).arg(job);
    return true;
}

} // namespace printing
