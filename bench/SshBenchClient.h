#pragma once

#include "SshTestServer.h"
#include "server/SshSession.h"

#include <QFile>
#include <QTemporaryDir>

// The client side of an SSH benchmark: a login to the tests' sshd, with the server's key
// and known_hosts copied into a folder of its own, so that Kestrel and OpenSSH's client,
// compared in the same run, log in with the same key and nothing of the user's own
// (no agent either). Empty strSshDir when the folder could not be made.
// The key both clients log in with.
inline QString SshBenchKey(const QTemporaryDir &sshDir)
{
    return sshDir.filePath(QStringLiteral("id_ed25519"));
}

inline CSshLogin SshBenchLogin(const CSshTestServer &server, const QTemporaryDir &sshDir)
{
    CSshLogin login;
    login.strHost = QStringLiteral("127.0.0.1");
    login.nPort = server.Port();
    login.strUser = server.User();
    const QString key = SshBenchKey(sshDir);
    QFile::copy(server.KeyFile(), key);
    QFile::copy(server.KeyFile() + QStringLiteral(".pub"), key + QStringLiteral(".pub"));
    QFile::setPermissions(key, QFile::ReadOwner | QFile::WriteOwner);
    QFile knownHosts(sshDir.filePath(QStringLiteral("known_hosts")));
    if (!knownHosts.open(QIODevice::WriteOnly) || knownHosts.write(server.KnownHostsLine()) <= 0)
        return login;
    login.strSshDir = sshDir.path();
    qunsetenv("SSH_AUTH_SOCK");
    return login;
}
