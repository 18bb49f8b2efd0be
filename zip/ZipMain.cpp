#include "zip/ZipMain.h"

#include "zip/ZipEngine.h"

namespace backup {

ZipMain::ZipMain(QObject *parent) : QObject(parent), d(std::make_unique<Private>())
{
}

ZipMain::~ZipMain() = default;

ZipEvents &ZipMain::events()
{
    return d->events;
}

void ZipMain::setAbort(bool abort)
{
    d->settings.abort = abort;
}
bool ZipMain::abortRequested() const
{
    return d->settings.abort;
}
void ZipMain::setCompressionLevel(int level)
{
    d->settings.level = qBound(0, level, 9);
}
int ZipMain::compressionLevel() const
{
    return d->settings.level;
}
void ZipMain::setClearDisks(bool clear)
{
    d->settings.clearDisks = clear;
}
bool ZipMain::clearDisks() const
{
    return d->settings.clearDisks;
}
void ZipMain::setExtractFolder(const QString &folder)
{
    d->settings.extractFolder = folder;
}
QString ZipMain::extractFolder() const
{
    return d->settings.extractFolder;
}
void ZipMain::setMultidisk(bool multidisk)
{
    d->settings.multidisk = multidisk;
    d->joined = {};
}
bool ZipMain::multidisk() const
{
    return d->settings.multidisk;
}
void ZipMain::setUseTempFile(bool use)
{
    d->settings.useTempFile = use;
}
bool ZipMain::useTempFile() const
{
    return d->settings.useTempFile;
}
void ZipMain::setZipFilename(const QString &fileName)
{
    d->settings.zipFilename = fileName;
    d->joined = {};
}
QString ZipMain::zipFilename() const
{
    return d->settings.zipFilename;
}
void ZipMain::setFilesToProcess(const QString &names)
{
    d->settings.filesToProcess = names;
}
QString ZipMain::filesToProcess() const
{
    return d->settings.filesToProcess;
}
void ZipMain::setPassword(const QString &password)
{
    d->settings.password = password;
}

int ZipMain::entryCount()
{
    return d->entryCount();
}

quint16 ZipMain::Test()
{
    return d->run(&Private::test);
}
quint16 ZipMain::Fix(bool aggressive)
{
    return d->run([aggressive](Private &p) { return p.fix(aggressive); });
}
quint16 ZipMain::Add(int mode)
{
    return d->run([mode](Private &p) { return p.add(mode); });
}
quint16 ZipMain::Extract(int mode)
{
    return d->run([mode](Private &p) { return p.extract(mode); });
}
quint16 ZipMain::List()
{
    return d->run(&Private::list);
}
quint16 ZipMain::UpdateZipDate()
{
    return d->run(&Private::updateZipDate);
}
quint16 ZipMain::Delete()
{
    return d->run(&Private::remove);
}

QVariant ZipMain::value(int id) const
{
    switch (id) {
    case zipid::Abort: return abortRequested();
    case zipid::CompressionLevel: return compressionLevel();
    case zipid::ClearDisks: return clearDisks();
    case zipid::ExtractFolder: return extractFolder();
    case zipid::Multidisk: return multidisk();
    case zipid::UseTempFile: return useTempFile();
    case zipid::ZipFilename: return zipFilename();
    case zipid::EntryCount: return d->entryCount();
    case zipid::FilesToProcess: return filesToProcess();
    default: return QVariant();
    }
}

void ZipMain::setValue(int id, const QVariant &value)
{
    switch (id) {
    case zipid::Abort: setAbort(value.toBool()); break;
    case zipid::CompressionLevel: setCompressionLevel(value.toInt()); break;
    case zipid::ClearDisks: setClearDisks(value.toBool()); break;
    case zipid::ExtractFolder: setExtractFolder(value.toString()); break;
    case zipid::Multidisk: setMultidisk(value.toBool()); break;
    case zipid::UseTempFile: setUseTempFile(value.toBool()); break;
    case zipid::ZipFilename: setZipFilename(value.toString()); break;
    case zipid::FilesToProcess: setFilesToProcess(value.toString()); break;
    default: break;
    }
}

quint16 ZipMain::invoke(int id, const QVariant &argument)
{
    switch (id) {
    case zipid::Test: return Test();
    case zipid::Fix: return Fix(argument.toBool());
    case zipid::Add: return Add(argument.toInt());
    case zipid::Extract: return Extract(argument.toInt());
    case zipid::List: return List();
    case zipid::UpdateZipDate: return UpdateZipDate();
    case zipid::Delete: return Delete();
    default: return zipresult::InvalidSettings;
    }
}

} // namespace backup
