#include "csv/CsvFlows.h"

#include "csv/CsvExport.h"
#include "csv/CsvImport.h"
#include "csv/OpenDataWindows.h"
#include "csv/dlgImportPreview.h"
#include "platform/Services.h"
#include "store/Database.h"
#include "store/DatabaseChoice.h"
#include "store/ProgramFolder.h"
#include "store/Recordset.h"

#include <QDir>
#include <QProgressDialog>

namespace csv {

namespace {

QString exportTitle()
{
    return QStringLiteral("Export Customers");
}

QString importTitle()
{
    return QStringLiteral("Import Customers");
}

QString databasePath()
{
    return store::DatabaseChoice::databaseName();
}

} // namespace

bool exportCustomers(QWidget *parent, const std::shared_ptr<store::Recordset> &rows)
{
    const bool fromWindow = rows && rows->isOpen();
    const QString database = fromWindow ? rows->database()->openedAs() : databasePath();
    // What the operator typed into the window is part of what is exported.
    QString error;
    if (fromWindow && !writeOpenEdits(database, &error)) {
        platform::msgBox(error, platform::Buttons::OKOnly, platform::Icon::Exclamation, exportTitle());
        return false;
    }

    platform::FileDialogRequest request;
    request.parent = parent;
    request.title = exportTitle();
    request.folder = QDir::homePath();
    request.fileName = QStringLiteral("Customers.csv");
    request.filter = QStringLiteral("CSV files (*.csv);;All files (*)");
    request.mustExist = false;
    const std::optional<QString> chosen = platform::services().saveFileName(request);
    if (!chosen || chosen->isEmpty())
        return false;

    ExportResult result;
    {
        platform::Hourglass busy;
        QProgressDialog progress(QStringLiteral("Exporting customers..."), QStringLiteral("Cancel"), 0, 1000, parent);
        progress.setObjectName(QStringLiteral("ExportProgress"));
        progress.setWindowTitle(exportTitle());
        progress.setWindowModality(Qt::ApplicationModal); // no window may go while it works
        progress.setMinimumDuration(500);
        const Progress report = [&progress](qint64 done, qint64 total) {
            progress.setValue(total > 0 ? int(done * 1000 / total) : 1000);
            return !progress.wasCanceled();
        };
        result = fromWindow ? CustomerExport::recordset(*rows, *chosen, report)
                            : CustomerExport::allCustomers(database, *chosen, report);
    }
    if (result.succeeded) {
        platform::msgBox(result.rows == 1
                             ? QStringLiteral("1 customer was exported to %1.").arg(*chosen)
                             : QStringLiteral("%1 customers were exported to %2.").arg(result.rows).arg(*chosen),
                         platform::Buttons::OKOnly, platform::Icon::Information, exportTitle());
        return true;
    }
    if (result.cancelled)
        platform::msgBox(QStringLiteral("The export was cancelled; no file was written."), platform::Buttons::OKOnly,
                         platform::Icon::Information, exportTitle());
    else
        platform::msgBox(QStringLiteral("The customers could not be exported; no file was written.")
                             + platform::kParagraphBreak + result.error,
                         platform::Buttons::OKOnly, platform::Icon::Critical, exportTitle());
    return false;
}

std::unique_ptr<CsvImport> chooseFileToImport(QWidget *parent)
{
    platform::FileDialogRequest request;
    request.parent = parent;
    request.title = importTitle();
    request.folder = QDir::homePath();
    request.filter = QStringLiteral("CSV files (*.csv *.txt);;All files (*)");
    request.mustExist = true;
    const std::optional<QString> chosen = platform::services().openFileName(request);
    if (!chosen || chosen->isEmpty())
        return nullptr;

    auto import = std::make_unique<CsvImport>();
    QString error;
    bool opened = false;
    {
        platform::Hourglass busy;
        opened = import->open(*chosen, databasePath(), &error);
    }
    if (!opened) {
        platform::msgBox(*chosen + QStringLiteral(" cannot be imported.") + platform::kParagraphBreak + error,
                         platform::Buttons::OKOnly, platform::Icon::Critical, importTitle());
        return nullptr;
    }
    return import;
}

void importCustomers(QWidget *parent)
{
    std::unique_ptr<CsvImport> import = chooseFileToImport(parent);
    if (!import)
        return;
    dlgImportPreview preview(std::move(import), databasePath(), parent);
    preview.exec();
}

} // namespace csv
