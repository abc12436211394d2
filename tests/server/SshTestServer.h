#pragma once

#include "FixtureServer.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QMultiHash>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <unistd.h>

// OpenSSH's sshd on 127.0.0.1 at a free port (tests/fixtures/sshd-server.sh), with a host
// key of its own, a login user that takes a password and two keys (one with a
// passphrase), and a folder of its own for that user (Files()). Runs as root only.
// It stops with the object, or when Kill() says so.
class CSshTestServer
{
public:
    // hostKeyFile: a private host key to serve (restarting with the same key, or with
    // another one); empty for a fresh key. extraConfig: sshd_config lines that win over
    // the fixture's own ("PasswordAuthentication no").
    bool Start(const QString &hostKeyFile = QString(), const QString &extraConfig = QString())
    {
        if (!m_dir.isValid())
            return false;
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_nPort = CFixtureServer::FreePort();
            QStringList args = {QString::number(m_nPort), m_dir.path()};
            if (!hostKeyFile.isEmpty())
                args << hostKeyFile;
            m_process.setProgram(QStringLiteral(KESTREL_FIXTURES_DIR "/sshd-server.sh"));
            m_process.setArguments(args);
            m_process.setProcessChannelMode(QProcess::SeparateChannels);
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert(QStringLiteral("SSHD_EXTRA_CONFIG"), extraConfig);
            m_process.setProcessEnvironment(env);
            m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
            m_process.start();
            if (!m_process.waitForStarted(5000))
                return false;
            if (!ReadFacts())
                return false;
            QDeadlineTimer deadline(15000);
            while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, quint16(m_nPort));
                if (probe.waitForConnected(200)) {
                    probe.abort();
                    return true;
                }
                QThread::msleep(50);
            }
            // sshd ended (most likely the port was taken meanwhile): try another port.
            m_log += m_process.readAllStandardError();
            Kill();
        }
        qWarning("sshd did not start: %s", m_log.constData());
        return false;
    }

    // Ends sshd and every session it forked at once, as a crash or a cut cable would.
    // The sessions start sessions of their own (setsid), so the process group does not
    // hold them: they are found as sshd's descendants.
    void Kill()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        const pid_t sshd = pid_t(m_process.processId());
        QList<pid_t> doomed = Descendants(sshd);
        ::kill(sshd, SIGKILL);
        for (pid_t pid : doomed)
            ::kill(pid, SIGKILL);
        m_process.waitForFinished(5000);
    }

    ~CSshTestServer() { Kill(); }

    int Port() const { return m_nPort; }
    QString Fact(const char *name) const { return m_facts.value(QString::fromLatin1(name)); }
    QString User() const { return Fact("USER"); }
    QString Password() const { return Fact("PASSWORD"); }
    // The login user's own folder on the server, where the tests put and get files.
    QString Files() const { return Fact("FILES"); }
    QString KeyFile() const { return Fact("KEY"); }
    QString PhraseKeyFile() const { return Fact("KEY_WITH_PHRASE"); }
    QString Passphrase() const { return Fact("PASSPHRASE"); }
    QString HostKeyFile() const { return Fact("HOST_KEY_FILE"); }
    QString OtherHostKeyFile() const { return Fact("OTHER_HOST_KEY_FILE"); }
    // "ssh-ed25519 AAAA..." of the key the server shows, and of a spare one.
    QString HostKey() const { return Fact("HOST_KEY"); }
    QString OtherHostKey() const { return Fact("OTHER_HOST_KEY"); }
    // The known_hosts line that trusts this server.
    QByteArray KnownHostsLine() const
    {
        return QStringLiteral("[127.0.0.1]:%1 %2\n").arg(m_nPort).arg(HostKey()).toUtf8();
    }
    // Writes the line into `$HOME/.ssh/known_hosts` (HOME is the test's own).
    bool TrustInHome() const
    {
        const QString ssh = QDir::homePath() + QStringLiteral("/.ssh");
        QDir().mkpath(ssh);
        QFile f(ssh + QStringLiteral("/known_hosts"));
        if (!f.open(QIODevice::Append))
            return false;
        return f.write(KnownHostsLine()) > 0;
    }
    QString PathOf(const QString &rel) const { return Files() + QLatin1Char('/') + rel; }

    // Whether OpenSSH's own client, trusting nothing but the known_hosts file given,
    // logs in with the fixture's key (and runs pwd there: the user's home folder).
    bool OpenSshLogsIn(const QString &knownHostsFile, QByteArray *pOutput = nullptr) const
    {
        QProcess ssh;
        ssh.start(QStringLiteral("ssh"),
                  {QStringLiteral("-o"), QStringLiteral("BatchMode=yes"), QStringLiteral("-o"),
                   QStringLiteral("IdentitiesOnly=yes"), QStringLiteral("-o"),
                   QStringLiteral("UserKnownHostsFile=") + knownHostsFile, QStringLiteral("-o"),
                   QStringLiteral("GlobalKnownHostsFile=/dev/null"), QStringLiteral("-o"),
                   QStringLiteral("StrictHostKeyChecking=yes"), QStringLiteral("-i"), KeyFile(), QStringLiteral("-p"),
                   QString::number(m_nPort), User() + QStringLiteral("@127.0.0.1"), QStringLiteral("pwd")});
        if (!ssh.waitForFinished(30000))
            return false;
        const bool ok = ssh.exitStatus() == QProcess::NormalExit && ssh.exitCode() == 0;
        // What ssh printed; with its complaint when it failed.
        if (pOutput)
            *pOutput = ssh.readAllStandardOutput() + (ok ? QByteArray() : ssh.readAllStandardError());
        return ok;
    }

    // Whether `ssh-keygen -F` finds a line for this server in the file.
    bool SshKeygenFinds(const QString &knownHostsFile) const
    {
        QProcess keygen;
        keygen.start(QStringLiteral("ssh-keygen"), {QStringLiteral("-F"), QStringLiteral("[127.0.0.1]:%1").arg(m_nPort),
                                                    QStringLiteral("-f"), knownHostsFile});
        return keygen.waitForFinished(10000) && keygen.exitCode() == 0
               && keygen.readAllStandardOutput().contains(HostKey().section(QLatin1Char(' '), 1, 1).toLatin1());
    }

    // What the user's OpenSSH configuration says for this server: new known_hosts lines
    // hashed ("hashknownhosts yes" from `ssh -G`).
    bool OpenSshHashesNames() const
    {
        QProcess ssh;
        ssh.setStandardInputFile(QProcess::nullDevice());
        ssh.start(QStringLiteral("ssh"), {QStringLiteral("-G"), QStringLiteral("-p"), QString::number(m_nPort),
                                          QStringLiteral("127.0.0.1")});
        return ssh.waitForFinished(10000) && ssh.readAllStandardOutput().contains("\nhashknownhosts yes\n");
    }
    // sshd's log so far (standard error), with what it writes in the next moment.
    QByteArray Log()
    {
        m_process.setReadChannel(QProcess::StandardError);
        while (m_process.waitForReadyRead(300))
            m_log += m_process.readAllStandardError();
        m_log += m_process.readAllStandardError();
        m_process.setReadChannel(QProcess::StandardOutput);
        return m_log;
    }

private:
    static QList<pid_t> Descendants(pid_t root)
    {
        QMultiHash<pid_t, pid_t> children;
        const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
        for (const QString &entry : entries) {
            bool ok = false;
            const pid_t pid = pid_t(entry.toInt(&ok));
            if (!ok)
                continue;
            QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
            if (!stat.open(QIODevice::ReadOnly))
                continue;
            // "pid (comm) state ppid ...": comm may hold blanks and parentheses.
            const QByteArray line = stat.readAll();
            const QList<QByteArray> rest = line.mid(line.lastIndexOf(')') + 2).split(' ');
            if (rest.size() > 1)
                children.insert(pid_t(rest.at(1).toInt()), pid);
        }
        QList<pid_t> found;
        QList<pid_t> todo = {root};
        while (!todo.isEmpty()) {
            const pid_t parent = todo.takeFirst();
            for (pid_t child : children.values(parent)) {
                found << child;
                todo << child;
            }
        }
        return found;
    }

    bool ReadFacts()
    {
        m_facts.clear();
        QByteArray out;
        QDeadlineTimer deadline(60000);
        while (!deadline.hasExpired()) {
            while (m_process.canReadLine()) {
                const QString line = QString::fromUtf8(m_process.readLine()).trimmed();
                if (line == QLatin1String("READY"))
                    return true;
                const int eq = line.indexOf(QLatin1Char('='));
                if (eq > 0)
                    m_facts.insert(line.left(eq), line.mid(eq + 1));
            }
            if (m_process.state() == QProcess::NotRunning || !m_process.waitForReadyRead(1000)) {
                if (m_process.state() == QProcess::NotRunning) {
                    m_log += m_process.readAllStandardError();
                    qWarning("sshd-server.sh ended: %s", m_log.constData());
                    return false;
                }
            }
        }
        return false;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    QHash<QString, QString> m_facts;
    QByteArray m_log;
    int m_nPort = 0;
};
