#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace backup {

// The password that protects the backups, where the operator set one. It is
// kept in the desktop's keyring, never in a file of ours; where no keyring
// answers, it is kept only while the backup window stays open, and asked
// again in the next one.
class BackupPassword
{
public:
    BackupPassword();

    // The password in force: the keyring's, or the one set in this window.
    // Empty when backups are not protected.
    QString current() const { return m_password; }

    // Asks for a new password twice and shows the advice to write it down;
    // an empty entry turns the protection off. False when cancelled or the
    // two entries differ (the operator was told).
    bool choose(QWidget *parent);

    // Asks for the password of an archive the current one does not open.
    static std::optional<QString> askForArchive(QWidget *parent);

    // The keyring, when one answers: false otherwise (the caller keeps the
    // password in memory).
    static std::optional<QString> readKeyring();
    static bool writeKeyring(const QString &password);
    static bool keyringAvailable();

private:
    QString m_password;
    bool m_inKeyring = false;
};

} // namespace backup
