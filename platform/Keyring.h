#pragma once

#include <QString>
#include <optional>

namespace platform {

// The desktop's keyring (the Secret Service, through QtKeychain): secrets
// are kept there, never in a file of ours. A keyring that does not answer
// within a few seconds counts as none.
namespace Keyring {

// Without a session bus no keyring can answer; asking would only wait.
bool available();
// The secret kept under service/key: empty when none is kept, nullopt when
// no keyring answers.
std::optional<QString> read(const QString &service, const QString &key);
// Keeps the secret (an empty one removes it). False when no keyring took it.
bool write(const QString &service, const QString &key, const QString &secret);

} // namespace Keyring
} // namespace platform
