#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

// The read-only view of a system registry that the About window asks for
// the system information tool. This platform has no registry: the desktop
// implementation finds no key. Tests install a fake.
enum class RegistryRoot : quint32 {
    ClassesRoot = 0x80000000u,
    CurrentUser = 0x80000001u,
    LocalMachine = 0x80000002u,
    Users = 0x80000003u,
};

namespace RegistryStatus {
constexpr long Success = 0;
constexpr long FileNotFound = 2;
constexpr long AccessDenied = 5;
constexpr long MoreData = 234;
} // namespace RegistryStatus

namespace RegistryType {
constexpr quint32 None = 0;
constexpr quint32 String = 1;
constexpr quint32 ExpandString = 2;
constexpr quint32 Binary = 3;
constexpr quint32 DWord = 4;
} // namespace RegistryType

using RegistryKey = quintptr;

class Registry
{
public:
    virtual ~Registry() = default;
    virtual long openKey(RegistryRoot root, const QString &keyName, quint32 access, RegistryKey *key) = 0;
    // `data` holds `*size` bytes on entry; on success the value's bytes are
    // copied into it and `*size` becomes the number of bytes written.
    virtual long queryValue(RegistryKey key, const QString &valueName, quint32 *type, QByteArray *data,
                            quint32 *size) = 0;
    virtual long closeKey(RegistryKey key) = 0;
};

// A registry with no keys: every open fails with "file not found".
class EmptyRegistry : public Registry
{
public:
    long openKey(RegistryRoot, const QString &, quint32, RegistryKey *) override;
    long queryValue(RegistryKey, const QString &, quint32 *, QByteArray *, quint32 *) override;
    long closeKey(RegistryKey) override;
};

Registry &registry();
void setRegistry(Registry *replacement);

} // namespace platform
