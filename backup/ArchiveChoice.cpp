#include "backup/ArchiveChoice.h"

#include "platform/MessageBox.h"
#include "platform/Services.h"
#include "zip/ZipMain.h"

#include <QFileInfo>

namespace backup {

void ShowResultMessage(int code, const QString &operation, bool multidisk)
{
    const QString text = resultMessageText(code, operation, multidisk);
    if (text.isEmpty())
        return;
    platform::msgBox(text, platform::Buttons::OKOnly, resultMessageIcon(code), platform::applicationTitle());
}

void ShowResultMessage(int code, const QString &operation, const ZipMain &zip)
{
    ShowResultMessage(code, operation, zip.multidisk());
}

QString SelectArchive(int kind, QWidget *parent)
{
    platform::FileDialogRequest request;
    request.parent = parent;
    // The filter pairs of the archive dialog, in Qt's form.
    request.filter = QStringLiteral("Zip archives (*.zip);;Self-extracting Zip archives (*.exe);;All files (*.*)");
    request.defaultSuffix = QStringLiteral("zip");
    request.mustExist = kind != dialogkind::New;
    std::optional<QString> chosen;
    switch (kind) {
    case dialogkind::New:
        request.title = QStringLiteral("New Archive");
        chosen = platform::services().saveFileName(request);
        break;
    case dialogkind::Test: request.title = QStringLiteral("Test Archive"); break;
    case dialogkind::Fix: request.title = QStringLiteral("Fix Archive"); break;
    case dialogkind::Delete: request.title = QStringLiteral("Delete Archive"); break;
    default: request.title = QStringLiteral("Open Archive"); break;
    }
    if (kind != dialogkind::New)
        chosen = platform::services().openFileName(request);
    if (!chosen || chosen->isEmpty())
        return QString();
    QString name = *chosen;
    // A name typed without an extension gets the default one.
    if (QFileInfo(name).suffix().isEmpty() && !name.endsWith(QLatin1Char('.')))
        name += QStringLiteral(".zip");
    return name;
}

} // namespace backup
