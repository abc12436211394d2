#pragma once

#include <QString>
#include <QStringList>

// The user's own SSH keys, as OpenSSH finds them: the default identity files in
// ~/.ssh, and whether one is locked by a passphrase.
class CSshKeyFiles
{
public:
    // The readable default identity files in the folder (~/.ssh when none is given),
    // in the order OpenSSH tries them (id_rsa, id_ecdsa, id_ed25519, id_dsa).
    static QStringList UserKeys(const QString &strSshDir = QString());
    // Whether the key file needs a passphrase to be used (false when it cannot be read
    // as a key at all: the login will then simply not use it).
    static bool NeedsPassphrase(const QString &strKeyFile);
    // Whether the passphrase opens the key file.
    static bool OpensWith(const QString &strKeyFile, const QString &strPassphrase);
};
