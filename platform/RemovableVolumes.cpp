#include "platform/RemovableVolumes.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSettings>
#include <QStorageInfo>

namespace platform {

namespace {

const QString kService = QStringLiteral("org.freedesktop.UDisks2");
const QString kBlock = QStringLiteral("org.freedesktop.UDisks2.Block");
const QString kFilesystem = QStringLiteral("org.freedesktop.UDisks2.Filesystem");
const QString kDrive = QStringLiteral("org.freedesktop.UDisks2.Drive");
const QString kDriveASetting = QStringLiteral("Backup/driveA");

using Interfaces = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, Interfaces>;

std::unique_ptr<RemovableVolumeSource> &installed()
{
    static std::unique_ptr<RemovableVolumeSource> source;
    return source;
}

QString fromBytes(const QByteArray &bytes)
{
    // UDisks2 sends paths as NUL-terminated byte arrays.
    const qsizetype end = bytes.indexOf('\0');
    return QFile::decodeName(end < 0 ? bytes : bytes.left(end));
}

QString readSys(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

class UDisksSource : public RemovableVolumeSource
{
public:
    explicit UDisksSource(QDBusConnection bus) : m_bus(std::move(bus)) {}

    QList<RemovableVolume> volumes() const override
    {
        QList<RemovableVolume> result;
        QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/UDisks2"),
                                                           QStringLiteral("org.freedesktop.DBus.ObjectManager"),
                                                           QStringLiteral("GetManagedObjects"));
        const QDBusReply<ManagedObjects> reply = m_bus.call(call, QDBus::Block, 5000);
        if (!reply.isValid())
            return result;
        const ManagedObjects objects = reply.value();
        for (auto object = objects.cbegin(); object != objects.cend(); ++object) {
            const Interfaces &interfaces = object.value();
            if (!interfaces.contains(kFilesystem) || !interfaces.contains(kBlock))
                continue;
            const QVariantMap block = interfaces.value(kBlock);
            const QVariantMap drive =
                objects.value(block.value(QStringLiteral("Drive")).value<QDBusObjectPath>()).value(kDrive);
            if (drive.isEmpty())
                continue;
            const bool removable = drive.value(QStringLiteral("Removable")).toBool()
                || drive.value(QStringLiteral("MediaRemovable")).toBool()
                || drive.value(QStringLiteral("ConnectionBus")).toString() == QLatin1String("usb");
            if (!removable)
                continue;
            QString mountPoint;
            const QVariant points = interfaces.value(kFilesystem).value(QStringLiteral("MountPoints"));
            const QDBusArgument list = points.value<QDBusArgument>();
            list.beginArray();
            while (!list.atEnd() && mountPoint.isEmpty()) {
                QByteArray point;
                list >> point;
                mountPoint = fromBytes(point);
            }
            list.endArray();
            if (mountPoint.isEmpty())
                continue;
            RemovableVolume v;
            v.mountPoint = mountPoint;
            v.device = fromBytes(block.value(QStringLiteral("Device")).toByteArray());
            v.label = block.value(QStringLiteral("IdLabel")).toString();
            const QString uuid = block.value(QStringLiteral("IdUUID")).toString();
            v.id = uuid.isEmpty() ? v.device : uuid;
            v.model = QStringList{drive.value(QStringLiteral("Vendor")).toString().trimmed(),
                                  drive.value(QStringLiteral("Model")).toString().trimmed()}
                          .join(QLatin1Char(' '))
                          .trimmed();
            v.size = block.value(QStringLiteral("Size")).toLongLong();
            v.ejectable = drive.value(QStringLiteral("Ejectable")).toBool()
                || drive.value(QStringLiteral("CanPowerOff")).toBool();
            m_objects.insert(v.id,
                             {object.key().path(), block.value(QStringLiteral("Drive")).value<QDBusObjectPath>().path(),
                              drive.value(QStringLiteral("Ejectable")).toBool()});
            result << v;
        }
        std::sort(result.begin(), result.end(),
                  [](const RemovableVolume &a, const RemovableVolume &b) { return a.mountPoint < b.mountPoint; });
        return result;
    }

    bool eject(const RemovableVolume &volume, QString *why) const override
    {
        const auto found = m_objects.constFind(volume.id);
        if (found == m_objects.cend()) {
            *why = QStringLiteral("the drive is no longer known.");
            return false;
        }
        const QVariantMap none;
        QDBusInterface filesystem(kService, found->block, kFilesystem, m_bus);
        QDBusMessage unmounted = filesystem.call(QStringLiteral("Unmount"), none);
        if (unmounted.type() == QDBusMessage::ErrorMessage) {
            *why = unmounted.errorMessage();
            return false;
        }
        QDBusInterface drive(kService, found->drive, kDrive, m_bus);
        QDBusMessage ejected =
            drive.call(found->ejectable ? QStringLiteral("Eject") : QStringLiteral("PowerOff"), none);
        if (ejected.type() == QDBusMessage::ErrorMessage) {
            *why = ejected.errorMessage();
            return false;
        }
        return true;
    }

private:
    struct Objects {
        QString block;
        QString drive;
        bool ejectable = false;
    };
    QDBusConnection m_bus;
    mutable QHash<QString, Objects> m_objects;
};

// The removable flag of the disk a block device (or its partition) is on.
bool kernelSaysRemovable(const QString &device, QString *model)
{
    if (!device.startsWith(QLatin1String("/dev/")))
        return false;
    const QString name = QFileInfo(device).canonicalFilePath().section(QLatin1Char('/'), -1);
    if (name.isEmpty())
        return false;
    QFileInfo sys(QStringLiteral("/sys/class/block/") + name);
    if (!sys.exists())
        return false;
    QString dir = sys.canonicalFilePath();
    // A partition's folder sits inside its disk's folder.
    if (!QFileInfo::exists(dir + QStringLiteral("/device")))
        dir = QFileInfo(dir).path();
    *model =
        QStringList{readSys(dir + QStringLiteral("/device/vendor")), readSys(dir + QStringLiteral("/device/model"))}
            .join(QLatin1Char(' '))
            .trimmed();
    // Some USB sticks call themselves fixed disks; the bus tells.
    return readSys(dir + QStringLiteral("/removable")) == QLatin1String("1") || dir.contains(QLatin1String("/usb"));
}

class KernelSource : public RemovableVolumeSource
{
public:
    QList<RemovableVolume> volumes() const override
    {
        QList<RemovableVolume> result;
        for (const QStorageInfo &storage : QStorageInfo::mountedVolumes()) {
            if (!storage.isValid() || !storage.isReady())
                continue;
            const QString device = QString::fromLocal8Bit(storage.device());
            QString model;
            if (!kernelSaysRemovable(device, &model))
                continue;
            RemovableVolume v;
            v.id = device;
            v.mountPoint = storage.rootPath();
            v.device = device;
            v.label = storage.name();
            v.model = model;
            v.size = storage.bytesTotal();
            result << v;
        }
        std::sort(result.begin(), result.end(),
                  [](const RemovableVolume &a, const RemovableVolume &b) { return a.mountPoint < b.mountPoint; });
        return result;
    }
};

} // namespace

QString RemovableVolume::description() const
{
    const QString name = !label.isEmpty() ? label : !model.isEmpty() ? model : device;
    if (size <= 0)
        return name;
    return QStringLiteral("%1 (%2)").arg(name, QLocale::c().formattedDataSize(size, 1, QLocale::DataSizeSIFormat));
}

bool RemovableVolumeSource::eject(const RemovableVolume &, QString *why) const
{
    *why = QStringLiteral("this computer offers no safe removal for it.");
    return false;
}

std::unique_ptr<RemovableVolumeSource> udisksVolumeSource()
{
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kService).value())
        return nullptr;
    qDBusRegisterMetaType<Interfaces>();
    qDBusRegisterMetaType<ManagedObjects>();
    return std::make_unique<UDisksSource>(bus);
}

std::unique_ptr<RemovableVolumeSource> kernelVolumeSource()
{
    return std::make_unique<KernelSource>();
}

const RemovableVolumeSource &removableVolumeSource()
{
    std::unique_ptr<RemovableVolumeSource> &source = installed();
    if (!source)
        source = udisksVolumeSource();
    if (!source)
        source = kernelVolumeSource();
    return *source;
}

void setRemovableVolumeSource(std::unique_ptr<RemovableVolumeSource> source)
{
    installed() = std::move(source);
}

QString chosenDriveAVolume()
{
    return QSettings(QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"))
        .value(kDriveASetting)
        .toString();
}

void chooseDriveAVolume(const QString &id)
{
    QSettings settings(QSettings::UserScope, QStringLiteral("Vantrel"), QStringLiteral("Vantrel"));
    settings.setValue(kDriveASetting, id);
    settings.sync();
}

} // namespace platform
