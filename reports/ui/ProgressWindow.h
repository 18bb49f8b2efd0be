#pragma once

#include "reports/ReportRows.h"

#include <QString>
#include <memory>

class QProgressDialog;
class QWidget;

namespace reports {

// A progress dialog with Cancel for long report work. It shows itself only
// when the work lasts, and only where the program has windows; elsewhere
// the work simply runs.
class ProgressWindow
{
public:
    ProgressWindow(QWidget *parent, const QString &label);
    ~ProgressWindow();

    Progress callback();

private:
    std::unique_ptr<QProgressDialog> m_dialog;
};

} // namespace reports
