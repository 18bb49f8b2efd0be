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

    // Backups are to be encrypted but no password is had (the keyring does
    // not answer, or lost it): asks for it once for this window. False when
    // the operator gave none, or whether backups are protected cannot be
    // read (told); true when there is nothing to ask.
    bool ensureForBackup(QWidget *parent);

    // Whether backups are to be encrypted. It is kept twice whenever a
    // password is set or cleared, the password itself never: in the user's
    // settings (Backup/encrypted) and in the program folder's database (the
    // table VantrelSettings), so that neither a lost settings file nor a
    // database restored from an older backup forgets it. Either saying so
    // is enough; a record that cannot be read, while the other does not say
    // so, leaves it unknown, and no backup is made then.
    enum class Protection { Off, On, Unknown };
    struct ProtectionState {
        Protection protection = Protection::Off;
        QString why; // Unknown: what could not be read
    };
    static ProtectionState protection();
    // What the operator reads when it is not known: no backup was made.
    static QString protectionNotKnownText(const QString &why);
    // False when one of the two records could not be written.
    static bool rememberEncryption(bool encrypted);

    // The password from a file of its own (for scheduled jobs without a
    // keyring): a regular file of this user, readable by its owner only, its
    // first line the password. nullopt and a reason otherwise.
    static std::optional<QString> readPasswordFile(const QString &path, QString *why);

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
