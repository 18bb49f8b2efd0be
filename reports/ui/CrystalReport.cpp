#include "reports/ui/CrystalReport.h"

#include "reports/ReportJob.h"
#include "reports/ui/ProgressWindow.h"
#include "reports/ui/ReportPreview.h"

#include <QWidget>

namespace reports {

CrystalReport::CrystalReport(QWidget *owner) : QObject(owner), m_owner(owner)
{
    setObjectName(QStringLiteral("CrystalReport1"));
}

QString CrystalReport::SortFields(int index) const
{
    return index >= 0 && index < 3 ? m_sort[index] : QString();
}

void CrystalReport::setSortFields(int index, const QString &key)
{
    if (index >= 0 && index < 3)
        m_sort[index] = key;
}

ReportPreview *CrystalReport::lastPreview() const
{
    return qobject_cast<ReportPreview *>(m_preview.data());
}

bool CrystalReport::setAction(int action)
{
    m_error.clear();
    if (action != 1) {
        m_error = QStringLiteral("The report control knows the action 1 (run the report) only, not %1.").arg(action);
        return false;
    }
    return run();
}

bool CrystalReport::run()
{
    ++m_runs;
    m_lastRun = Run{m_formula, {m_sort[0], m_sort[1], m_sort[2]}, m_reportFile};
    if (m_reportFile.isEmpty()) {
        m_error = QStringLiteral("No report file was given to the report control.");
        return false;
    }
    ReportRequest request;
    request.reportFile = m_reportFile;
    request.selectionFormula = m_formula;
    request.selectionStatement = m_statement;
    request.sortFields = m_lastRun.sortFields;
    std::unique_ptr<ReportJob> job = ReportJob::open(request, &m_error);
    if (!job)
        return false;
    {
        ProgressWindow progress(m_owner,
                                QStringLiteral("Selecting the customers for %1...").arg(job->definition().title));
        if (!job->prepare(progress.callback())) {
            m_error = job->readError().isEmpty()
                ? QStringLiteral("The report %1 was cancelled.").arg(job->definition().title)
                : QStringLiteral("The report %1 cannot be made: %2").arg(job->definition().title, job->readError());
            return false;
        }
    }
    if (m_destination == Destination::File) {
        if (m_printFile.isEmpty()) {
            m_error = QStringLiteral("No file was given for the report's PDF.");
            return false;
        }
        ProgressWindow progress(m_owner, QStringLiteral("Writing %1...").arg(job->definition().title));
        return job->writePdf(m_printFile, progress.callback(), &m_error);
    }
    auto *preview = new ReportPreview(std::move(job), m_owner);
    m_preview = preview;
    preview->show();
    preview->raise();
    preview->activateWindow();
    return true;
}

} // namespace reports
