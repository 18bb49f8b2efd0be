#pragma once

#include "platform/Registry.h"

#include <QHash>
#include <QPair>

namespace testing_support {

// A registry with the keys and values a test puts in it. Installs itself on
// construction and restores the empty registry on destruction.
class FakeRegistry : public platform::Registry
{
public:
    FakeRegistry();
    ~FakeRegistry() override;

    void setValue(platform::RegistryRoot root, const QString &key, const QString &valueName, quint32 type,
                  const QByteArray &bytes);
    void addKey(platform::RegistryRoot root, const QString &key);

    int openKeys() const { return int(m_open.size()); }
    QList<quint32> accessRequested;

    long openKey(platform::RegistryRoot root, const QString &keyName, quint32 access,
                 platform::RegistryKey *key) override;
    long queryValue(platform::RegistryKey key, const QString &valueName, quint32 *type, QByteArray *data,
                    quint32 *size) override;
    long closeKey(platform::RegistryKey key) override;

private:
    static QString keyPath(platform::RegistryRoot root, const QString &key);

    QHash<QString, QHash<QString, QPair<quint32, QByteArray>>> m_keys; // lower-case path -> value name -> value
    QHash<platform::RegistryKey, QString> m_open;
    platform::RegistryKey m_next = 1;
};

} // namespace testing_support
