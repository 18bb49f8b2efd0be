#include "printing/PrintQueues.h"

#include <QFile>
#include <QSizeF>
#include <cups/cups.h>
#include <memory>

namespace printing {

namespace {
// The printer's attributes a state needs, in one request.
constexpr const char *kAttributes[] = {"printer-state", "printer-state-message", "printer-is-accepting-jobs",
                                       "media-default"};

QString latin(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

std::optional<QPageSize> paperNamed(const char *media)
{
    if (!media)
        return std::nullopt;
    const pwg_media_t *pwg = pwgMediaForPWG(media);
    if (!pwg)
        pwg = pwgMediaForPPD(media);
    if (!pwg || pwg->width <= 0 || pwg->length <= 0)
        return std::nullopt;
    // CUPS measures in hundredths of millimetres.
    return QPageSize(QSizeF(pwg->width / 100.0, pwg->length / 100.0), QPageSize::Millimeter, QString(),
                     QPageSize::FuzzyMatch);
}
} // namespace

QString PrintQueues::defaultQueue()
{
    cups_dest_t *dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, nullptr, nullptr);
    if (!dest)
        return QString();
    const QString name = latin(dest->name);
    cupsFreeDests(1, dest);
    return name;
}

QueueState PrintQueues::state(const QString &queue)
{
    QueueState result;
    if (queue.isEmpty())
        return result;
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(), "/printers/%s",
                     queue.toUtf8().constData());
    ipp_t *request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri);
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  int(sizeof kAttributes / sizeof *kAttributes), nullptr, kAttributes);
    const std::unique_ptr<ipp_t, void (*)(ipp_t *)> response(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/"), ippDelete);
    if (!response || cupsLastError() > IPP_STATUS_OK_CONFLICTING) {
        result.message = latin(cupsLastErrorString());
        return result;
    }
    result.found = true;
    if (ipp_attribute_t *a = ippFindAttribute(response.get(), "printer-state", IPP_TAG_ENUM))
        result.stopped = ippGetInteger(a, 0) == IPP_PSTATE_STOPPED;
    if (ipp_attribute_t *a = ippFindAttribute(response.get(), "printer-is-accepting-jobs", IPP_TAG_BOOLEAN))
        result.accepting = ippGetBoolean(a, 0);
    if (ipp_attribute_t *a = ippFindAttribute(response.get(), "printer-state-message", IPP_TAG_TEXT))
        result.message = latin(ippGetString(a, 0, nullptr));
    if (ipp_attribute_t *a = ippFindAttribute(response.get(), "media-default", IPP_TAG_ZERO))
        result.paper = paperNamed(ippGetString(a, 0, nullptr));
    return result;
}

QPageSize PrintQueues::defaultPaper()
{
    const QString queue = defaultQueue();
    if (!queue.isEmpty()) {
        if (const auto paper = state(queue).paper)
            return *paper;
    }
    return QPageSize(QPageSize::Letter);
}

QString PrintQueues::refusal(const QString &queue, const QueueState &state, const QString &what)
{
    const QString why = state.message.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(state.message);
    if (queue.isEmpty())
        return QStringLiteral("No printer is set up on this computer: %1 was not printed.").arg(what);
    if (!state.found)
        return QStringLiteral("The printer %1 cannot be found%2: %3 was not printed. Choose another printer and "
                              "print again.")
            .arg(queue, why, what);
    if (!state.accepting)
        return QStringLiteral("The printer %1 does not take jobs now%2: %3 was not printed. Print again once it "
                              "takes jobs, or choose another printer.")
            .arg(queue, why, what);
    if (state.stopped)
        return QStringLiteral("The printer %1 is stopped%2: %3 was not printed. Start the printer and print again, or "
                              "choose another printer.")
            .arg(queue, why, what);
    return QString();
}

int PrintQueues::sendPdf(const QString &queue, const QString &pdfPath, const QString &title, const JobOptions &options,
                         QString *error)
{
    // A stopped queue would keep the job and print it whenever it is
    // started: the operator, told it did not print, would print it twice.
    const QString refused = refusal(queue, state(queue), QStringLiteral("\"%1\"").arg(title));
    if (!refused.isEmpty()) {
        if (error)
            *error = refused;
        return 0;
    }
    cups_option_t *cupsOptions = nullptr;
    int count = 0;
    count = cupsAddOption("copies", QByteArray::number(qMax(1, options.copies)).constData(), count, &cupsOptions);
    count =
        cupsAddOption("multiple-document-handling",
                      options.collate ? "separate-documents-collated-copies" : "separate-documents-uncollated-copies",
                      count, &cupsOptions);
    switch (options.sides) {
    case JobOptions::Sides::Default: break;
    case JobOptions::Sides::OneSided: count = cupsAddOption("sides", "one-sided", count, &cupsOptions); break;
    case JobOptions::Sides::LongEdge: count = cupsAddOption("sides", "two-sided-long-edge", count, &cupsOptions); break;
    case JobOptions::Sides::ShortEdge:
        count = cupsAddOption("sides", "two-sided-short-edge", count, &cupsOptions);
        break;
    }
    const int job =
        cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.toUtf8().constData(), QFile::encodeName(pdfPath).constData(),
                       title.toUtf8().constData(), count, cupsOptions);
    cupsFreeOptions(count, cupsOptions);
    if (job <= 0 && error)
        *error = QStringLiteral("The printer %1 did not take \"%2\": %3. Nothing was printed; print again when the "
                                "printer is ready.")
                     .arg(queue, title, latin(cupsLastErrorString()));
    return qMax(job, 0);
}

} // namespace printing
