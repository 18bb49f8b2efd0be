#include "support/FakeRegistry.h"

#include <cstring>

namespace testing_support {

FakeRegistry::FakeRegistry()
{
    platform::setRegistry(this);
}

FakeRegistry::~FakeRegistry()
{
    platform::setRegistry(nullptr);
}

QString FakeRegistry::keyPath(platform::RegistryRoot root, const QString &key)
{
    return QString::number(quint32(root)) + QLatin1Char('\\') + key.toLower();
}

void FakeRegistry::addKey(platform::RegistryRoot root, const QString &key)
{
    m_keys[keyPath(root, key)];
}

void FakeRegistry::setValue(platform::RegistryRoot root, const QString &key, const QString &valueName, quint32 type,
                            const QByteArray &bytes)
{
    m_keys[keyPath(root, key)][valueName.toLower()] = qMakePair(type, bytes);
}

long FakeRegistry::openKey(platform::RegistryRoot root, const QString &keyName, quint32 access,
                           platform::RegistryKey *key)
{
    accessRequested.append(access);
    const QString path = keyPath(root, keyName);
    if (!m_keys.contains(path))
        return platform::RegistryStatus::FileNotFound;
    *key = m_next++;
    m_open.insert(*key, path);
    return platform::RegistryStatus::Success;
}

long FakeRegistry::queryValue(platform::RegistryKey key, const QString &valueName, quint32 *type, QByteArray *data,
                              quint32 *size)
{
    const auto open = m_open.constFind(key);
    if (open == m_open.constEnd())
        return platform::RegistryStatus::FileNotFound;
    const auto &values = m_keys.value(*open);
    const auto value = values.constFind(valueName.toLower());
    if (value == values.constEnd())
        return platform::RegistryStatus::FileNotFound;
    if (quint32(value->second.size()) > *size)
        return platform::RegistryStatus::MoreData;
    *type = value->first;
    std::memcpy(data->data(), value->second.constData(), size_t(value->second.size()));
    *size = quint32(value->second.size());
    return platform::RegistryStatus::Success;
}

long FakeRegistry::closeKey(platform::RegistryKey key)
{
    m_open.remove(key);
    return platform::RegistryStatus::Success;
}

} // namespace testing_support
