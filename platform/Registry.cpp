#include "platform/Registry.h"

namespace platform {

long EmptyRegistry::openKey(RegistryRoot, const QString &, quint32, RegistryKey *key)
{
    if (key)
        *key = 0;
    return RegistryStatus::FileNotFound;
}

long EmptyRegistry::queryValue(RegistryKey, const QString &, quint32 *, QByteArray *, quint32 *)
{
    return RegistryStatus::FileNotFound;
}

long EmptyRegistry::closeKey(RegistryKey)
{
    return RegistryStatus::Success;
}

namespace {
Registry *g_registry = nullptr;
}

Registry &registry()
{
    if (g_registry)
        return *g_registry;
    static EmptyRegistry none;
    return none;
}

void setRegistry(Registry *replacement)
{
    g_registry = replacement;
}

} // namespace platform
