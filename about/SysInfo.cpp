#include "about/SysInfo.h"

#include "platform/Services.h"

#include <QFileInfo>
#include <QProcess>

namespace about {

namespace {
const QString kToolPathKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO");
const QString kToolPathValue = QStringLiteral("PATH");
const QString kToolFolderKey = QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location");
const QString kToolFolderValue = QStringLiteral("MSINFO");
constexpr int kBufferSize = 1024;

ProgramStarter &starter()
{
    static ProgramStarter s;
    return s;
}

bool startProgram(const QString &path)
{
    if (starter())
        return starter()(path);
    return QProcess::startDetached(path, {});
}

// Folder names from the registry are written with backslashes.
bool fileExists(const QString &windowsPath)
{
    QString path = windowsPath;
    path.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QFileInfo(path).isFile();
}
} // namespace

void setProgramStarter(ProgramStarter s)
{
    starter() = std::move(s);
}

bool GetKeyValue(platform::RegistryRoot KeyRoot, const QString &KeyName, const QString &SubKeyRef, QString &KeyVal)
{
    platform::Registry &reg = platform::registry();
    platform::RegistryKey hKey = 0;
    if (reg.openKey(KeyRoot, KeyName, KeyAllAccess, &hKey) != platform::RegistryStatus::Success) {
        KeyVal.clear();
        return false;
    }

    QByteArray buffer(kBufferSize, '\0');
    quint32 size = kBufferSize;
    quint32 type = platform::RegistryType::None;
    if (reg.queryValue(hKey, SubKeyRef, &type, &buffer, &size) != platform::RegistryStatus::Success) {
        KeyVal.clear();
        reg.closeKey(hKey);
        return false;
    }

    QByteArray value = buffer.left(int(qMin<quint32>(size, kBufferSize)));
    if (!value.isEmpty() && value.endsWith('\0'))
        value.chop(1);

    switch (type) {
    case platform::RegistryType::String: KeyVal = QString::fromLocal8Bit(value); break;
    case platform::RegistryType::DWord: {
        // Least significant byte first.
        quint32 number = 0;
        for (int i = qMin<int>(int(value.size()), 4) - 1; i >= 0; --i)
            number = (number << 8) | quint8(value.at(i));
        KeyVal = QString::number(number);
        break;
    }
    default: break;
    }
    reg.closeKey(hKey);
    return true;
}

bool StartSysInfo()
{
    const auto root = platform::RegistryRoot::LocalMachine;
    QString toolPath;
    QString found;
    if (GetKeyValue(root, kToolPathKey, kToolPathValue, found)) {
        toolPath = found;
    } else if (GetKeyValue(root, kToolFolderKey, kToolFolderValue, found)) {
        const QString candidate = found + QStringLiteral("\\MSINFO32.EXE");
        if (fileExists(candidate))
            toolPath = candidate;
    }

    if (!toolPath.isEmpty() && startProgram(toolPath))
        return true;
    platform::msgBox(QStringLiteral("System Information Is Unavailable At This Time"), platform::Buttons::OKOnly,
                     platform::Icon::None);
    return false;
}

} // namespace about
