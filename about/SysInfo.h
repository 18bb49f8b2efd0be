#pragma once

#include "platform/Registry.h"

#include <QString>
#include <functional>

namespace about {

// The access mask asked for when the key is opened: all access rights.
constexpr quint32 KeyAllAccess = 131135;

// Reads one registry value as text. A string value is taken unchanged, a
// 32-bit number value becomes its decimal text, other kinds leave KeyVal as
// it was. On failure KeyVal becomes empty and the result is false. The key
// is closed in every case.
bool GetKeyValue(platform::RegistryRoot KeyRoot, const QString &KeyName, const QString &SubKeyRef, QString &KeyVal);

// Starts a program in a normal window; false when it could not be started.
using ProgramStarter = std::function<bool(const QString &path)>;
void setProgramStarter(ProgramStarter starter); // nullptr: the desktop's own

// Starts the system information tool, or tells the operator that it is
// unavailable. Returns whether the tool was started.
bool StartSysInfo();

} // namespace about
