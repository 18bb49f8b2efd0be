#include "reports/ui/ProgressWindow.h"

#include <QApplication>
#include <QProgressDialog>

#include <limits>

namespace reports {

ProgressWindow::ProgressWindow(QWidget *parent, const QString &label)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return;
    m_dialog = std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0, 100, parent);
    m_dialog->setObjectName(QStringLiteral("ReportProgress"));
    m_dialog->setWindowTitle(QStringLiteral("Vantrel"));
    m_dialog->setWindowModality(Qt::ApplicationModal);
    m_dialog->setMinimumDuration(700);
    m_dialog->setAutoReset(false);
    m_dialog->setValue(0);
}

ProgressWindow::~ProgressWindow() = default;

Progress ProgressWindow::callback()
{
    QProgressDialog *dialog = m_dialog.get();
    return [dialog](qint64 done, qint64 total) {
        if (!dialog)
            return true;
        if (dialog->maximum() != total && total <= std::numeric_limits<int>::max())
            dialog->setMaximum(int(total));
        // setValue lets the dialog's events run, Cancel included.
        dialog->setValue(int(qMin<qint64>(done, dialog->maximum())));
        return !dialog->wasCanceled();
    };
}

} // namespace reports
