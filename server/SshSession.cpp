#include "server/SshSession.h"

#include "server/HostKeyQuestion.h"
#include "server/KnownHostsFile.h"
#include "server/SshKeyFiles.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QStringList>

#include <libssh/libssh.h>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Received data the owner has not taken yet beyond which the session stops reading,
// so that a flooding server waits in TCP's flow control instead of in memory.
constexpr qint64 kMaxUntakenBytes = 1024 * 1024;
constexpr int kPassphraseTries = 3;
constexpr int kMaxKeyboardRounds = 8;

QString tr(const char *text)
{
    return QCoreApplication::translate("CSshSession", text);
}

// Refuses the passphrase question libssh would otherwise leave to the crypto library
// (which asks on the process's terminal): the first try of a key is without one.
int RefusePassphrase(const char *, char *, size_t, int, int, void *)
{
    return -1;
}

QString MethodsText(int nMethods)
{
    QStringList names;
    if (nMethods & SSH_AUTH_METHOD_PUBLICKEY)
        names << QStringLiteral("publickey");
    if (nMethods & SSH_AUTH_METHOD_PASSWORD)
        names << QStringLiteral("password");
    if (nMethods & SSH_AUTH_METHOD_INTERACTIVE)
        names << QStringLiteral("keyboard-interactive");
    if (nMethods & SSH_AUTH_METHOD_HOSTBASED)
        names << QStringLiteral("hostbased");
    if (nMethods & SSH_AUTH_METHOD_GSSAPI_MIC)
        names << QStringLiteral("gssapi-with-mic");
    return names.join(QLatin1Char(','));
}

bool IsSameSocket(int fd, int fdOther)
{
    struct stat a, b;
    return fstat(fd, &a) == 0 && fstat(fdOther, &b) == 0 && S_ISSOCK(a.st_mode) && a.st_dev == b.st_dev
           && a.st_ino == b.st_ino;
}
}

struct CSshSession::Impl
{
    CSshSession &self;
    ssh_session session = nullptr;
    ssh_channel channel = nullptr;
    QString strFailure;
    QStringList notes;  // what went wrong on the way that the final message should name

    // Two descriptors of the one connection: libssh gets a duplicate, since it closes
    // its descriptor itself after a socket error but leaves it open after an orderly
    // end; the owner's Cancel() shuts the connection down through ours, which stays
    // valid (never a number the system may have handed out again) until the end.
    int fdOwn = -1;
    int fdLibssh = -1;
    bool bLibsshHasSocket = false;  // ssh_connect was called with fdLibssh

    ~Impl()
    {
        if (channel) {
            ssh_channel_close(channel);
            ssh_channel_free(channel);
        }
        if (session) {
            ssh_disconnect(session);
            ssh_free(session);
        }
        // Whether libssh closed its descriptor is not told: it still is ours when it
        // is open and is the same connection as fdOwn (which holds that connection's
        // socket, so no other socket can have its identity meanwhile).
        if (fdLibssh >= 0 && (!bLibsshHasSocket || IsSameSocket(fdLibssh, fdOwn)))
            close(fdLibssh);
        if (fdOwn >= 0) {
            std::lock_guard lock(self.m_mutex);
            self.m_fdSocket = -1;
            close(fdOwn);
        }
    }

    QString Error() const { return QString::fromLocal8Bit(ssh_get_error(session)); }
    bool Cancelled() const { return self.m_bCancel.load(); }
    // Why an open session broke. A server (or its session process) that dies closes
    // the TCP connection without the SSH goodbye; libssh calls that a socket error.
    QString LostReason() const
    {
        const QString error = Error();
        if (!ssh_is_connected(session) || error.contains(QLatin1String("disconnected")))
            return tr("the server went away without ending the session (%1).").arg(error);
        return error;
    }
    // The notes, as a sentence to add to a message.
    QString Notes() const
    {
        if (notes.isEmpty())
            return {};
        QString text = QLatin1Char(' ') + notes.join(QStringLiteral("; ")) + QLatin1Char('.');
        text[1] = text.at(1).toUpper();
        return text;
    }

    int OpenSocket();
    bool CheckHostKey();
    bool Authenticate();
    bool TryKeys();
    bool TryKey(const QString &strPath);
    bool AskSecret(const QString &strPrompt, QByteArray &secret);
    bool OpenShell();
    CSshSession::End Pump(QString &strReason);
};

CSshSession::CSshSession(const CSshLogin &login, Events events)
    : m_login(login)
    , m_events(std::move(events))
    , m_nColumns(login.nColumns)
    , m_nRows(login.nRows)
{
    if (pipe2(m_fdWake, O_CLOEXEC | O_NONBLOCK) != 0)
        m_fdWake[0] = m_fdWake[1] = -1;
}

CSshSession::~CSshSession()
{
    for (int fd : m_fdWake) {
        if (fd >= 0)
            close(fd);
    }
}

void CSshSession::Wake()
{
    m_cv.notify_all();
    if (m_fdWake[1] >= 0) {
        const char c = 1;
        [[maybe_unused]] ssize_t n = write(m_fdWake[1], &c, 1);
    }
}

void CSshSession::DrainWake()
{
    char drain[64];
    while (read(m_fdWake[0], drain, sizeof drain) > 0) {
    }
}

void CSshSession::Write(const QByteArray &bytes)
{
    {
        std::lock_guard lock(m_mutex);
        m_baOutgoing += bytes;
    }
    Wake();
}

void CSshSession::Resize(int nColumns, int nRows)
{
    {
        std::lock_guard lock(m_mutex);
        if (nColumns == m_nColumns && nRows == m_nRows)
            return;
        m_nColumns = nColumns;
        m_nRows = nRows;
        m_bResize = true;
    }
    Wake();
}

void CSshSession::Cancel()
{
    m_bCancel = true;
    {
        std::lock_guard lock(m_mutex);
        // Whatever libssh waits for on the socket ends at once.
        if (m_fdSocket >= 0)
            shutdown(m_fdSocket, SHUT_RDWR);
    }
    Wake();
}

void CSshSession::AnswerHostKey(bool bTrust)
{
    {
        std::lock_guard lock(m_mutex);
        m_nAnswer = bTrust ? 1 : 0;
    }
    Wake();
}

void CSshSession::AnswerSecret(bool bGiven, const QByteArray &secret)
{
    {
        std::lock_guard lock(m_mutex);
        m_bSecretAnswered = true;
        m_bSecretGiven = bGiven;
        m_baSecret = secret;
    }
    Wake();
}

void CSshSession::Consumed(qint64 nBytes)
{
    if (m_nUntaken.fetch_sub(nBytes) - nBytes < kMaxUntakenBytes)
        Wake();
}

bool CSshSession::Wait(const std::function<bool()> &ready)
{
    std::unique_lock lock(m_mutex);
    m_cv.wait(lock, [&] { return m_bCancel.load() || ready(); });
    return !m_bCancel.load();
}

int CSshSession::Impl::OpenSocket()
{
    const CSshLogin &login = self.m_login;
    if (login.nPort <= 0 || login.nPort > 65535) {
        strFailure = tr("%1 is not a port number.").arg(login.nPort);
        return -1;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *list = nullptr;
    const int rcName = getaddrinfo(login.strHost.toUtf8().constData(), QByteArray::number(login.nPort).constData(),
                                   &hints, &list);
    if (rcName != 0) {
        strFailure = tr("the host name is not known (%1).").arg(QString::fromLocal8Bit(gai_strerror(rcName)));
        return -1;
    }
    int nError = 0;
    bool bTimedOut = false;
    for (addrinfo *ai = list; ai && !Cancelled(); ai = ai->ai_next) {
        const int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
        if (fd < 0) {
            nError = errno;
            continue;
        }
        if (::connect(fd, ai->ai_addr, ai->ai_addrlen) == 0) {
            freeaddrinfo(list);
            return fd;
        }
        if (errno == EINPROGRESS) {
            // Wait for the connection; the wake pipe also carries lines queued by the
            // owner meanwhile, which only a cancel turns into a reason to stop.
            QDeadlineTimer deadline(std::chrono::seconds(login.nTimeoutSeconds));
            for (;;) {
                pollfd fds[2] = {{fd, POLLOUT, 0}, {self.m_fdWake[0], POLLIN, 0}};
                const int rc = poll(fds, 2, int(qMin<qint64>(deadline.remainingTime(), 1000)));
                if (Cancelled())
                    break;
                if (rc > 0 && fds[0].revents) {
                    int err = 0;
                    socklen_t len = sizeof err;
                    getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
                    if (err == 0) {
                        freeaddrinfo(list);
                        return fd;
                    }
                    nError = err;
                    break;
                }
                if (rc < 0 && errno != EINTR) {
                    nError = errno;
                    break;
                }
                if (deadline.hasExpired()) {
                    bTimedOut = true;
                    break;
                }
                if (rc > 0 && (fds[1].revents & POLLIN))
                    self.DrainWake();
            }
        } else {
            nError = errno;
        }
        close(fd);
    }
    freeaddrinfo(list);
    if (bTimedOut && nError == 0)
        strFailure = tr("no answer within %1 seconds.").arg(login.nTimeoutSeconds);
    else
        strFailure = QString::fromLocal8Bit(strerror(nError ? nError : ECONNREFUSED)) + QLatin1Char('.');
    return -1;
}

bool CSshSession::Impl::CheckHostKey()
{
    ssh_key key = nullptr;
    if (ssh_get_server_publickey(session, &key) != SSH_OK) {
        strFailure = tr("the server sent no host key (%1).").arg(Error());
        return false;
    }
    // The key in SSH wire format, as a known_hosts line holds it in base64.
    char *base64 = nullptr;
    QByteArray keyBlob;
    if (ssh_pki_export_pubkey_base64(key, &base64) == SSH_OK) {
        keyBlob = QByteArray::fromBase64(QByteArray(base64));
        ssh_string_free_char(base64);
    }
    const QString strKeyType = QString::fromLatin1(ssh_key_type_to_char(ssh_key_type(key)));
    ssh_key_free(key);

    const CSshLogin &login = self.m_login;
    const QString strKnownHosts = login.strSshDir + QStringLiteral("/known_hosts");
    const QString strFingerprint = CHostKeyQuestion::Fingerprint(keyBlob);
    // libssh skips the lines with markers, so a revoked key would pass (or be offered
    // for trust): the file is read here too, as OpenSSH reads it, before libssh's
    // verdict counts.
    QByteArray recorded;
    {
        QFile file(strKnownHosts);
        if (file.open(QIODevice::ReadOnly))
            recorded = file.readAll();
    }
    const CHostKeyQuestion::Verdict verdict = CHostKeyQuestion::Check(recorded, login.strHost, login.nPort, keyBlob);
    if (verdict.state == CHostKeyQuestion::Verdict::Revoked) {
        strFailure = CHostKeyQuestion::RevokedKeyText(login.strHost, login.nPort, strKeyType, strFingerprint,
                                                      strKnownHosts, verdict.nLine);
        return false;
    }
    const ssh_known_hosts_e state = ssh_session_is_known_server(session);
    switch (state) {
    case SSH_KNOWN_HOSTS_OK:
        return true;
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER:
        // A different key (or a key of another type) is on record: someone may be in
        // the middle. OpenSSH refuses, and so do we; there is no way round it here.
        // The message names the line of the recorded key, so that the user can look
        // at it.
        strFailure = CHostKeyQuestion::ChangedKeyText(
            login.strHost, login.nPort, strKeyType, strFingerprint, strKnownHosts,
            verdict.state == CHostKeyQuestion::Verdict::Changed
                ? verdict.nLine
                : CHostKeyQuestion::FindHostLine(recorded, login.strHost, login.nPort));
        return false;
    case SSH_KNOWN_HOSTS_UNKNOWN:
    case SSH_KNOWN_HOSTS_NOT_FOUND:
        // What libssh could not read (a line after one it gave up on) still counts.
        if (verdict.state == CHostKeyQuestion::Verdict::Known)
            return true;
        if (verdict.state == CHostKeyQuestion::Verdict::Changed) {
            strFailure = CHostKeyQuestion::ChangedKeyText(login.strHost, login.nPort, strKeyType, strFingerprint,
                                                          strKnownHosts, verdict.nLine);
            return false;
        }
        break;
    case SSH_KNOWN_HOSTS_ERROR:
    default:
        strFailure = tr("the known hosts file %1 could not be read (%2).").arg(strKnownHosts, Error());
        return false;
    }
    {
        std::lock_guard lock(self.m_mutex);
        self.m_nAnswer = -1;
    }
    if (self.m_events.onHostKeyQuestion)
        self.m_events.onHostKeyQuestion(CHostKeyQuestion::UnknownHostText(login.strHost, login.nPort, strKeyType,
                                                                          strFingerprint, strKnownHosts));
    if (!self.Wait([this] { return self.m_nAnswer >= 0; }))
        return false;
    bool bTrusted;
    {
        std::lock_guard lock(self.m_mutex);
        bTrusted = self.m_nAnswer == 1;
    }
    if (!bTrusted) {
        strFailure = tr("the host key was not accepted.");
        return false;
    }
    // Written as the user's OpenSSH writes it (libssh would write the name in plain
    // text, where the user's ssh hashes it).
    const QString strBlobType = CHostKeyQuestion::KeyTypeOfBlob(keyBlob);
    QString strError;
    if (!CKnownHostsFile::Append(strKnownHosts,
                                 CKnownHostsFile::NewLine(login.strHost, login.nPort,
                                                          strBlobType.isEmpty() ? strKeyType : strBlobType, keyBlob),
                                 strError)) {
        strFailure = tr("the host key could not be added to %1 (%2).").arg(strKnownHosts, strError);
        return false;
    }
    return true;
}

bool CSshSession::Impl::AskSecret(const QString &strPrompt, QByteArray &secret)
{
    {
        std::lock_guard lock(self.m_mutex);
        self.m_bSecretAnswered = false;
        self.m_baSecret.clear();
    }
    if (!self.m_events.onSecretQuestion)
        return false;
    self.m_events.onSecretQuestion(strPrompt);
    if (!self.Wait([this] { return self.m_bSecretAnswered; }))
        return false;
    std::lock_guard lock(self.m_mutex);
    secret = self.m_baSecret;
    self.m_baSecret.fill('\0');
    self.m_baSecret.clear();
    return self.m_bSecretGiven;
}

bool CSshSession::Impl::TryKey(const QString &strPath)
{
    const QByteArray path = QFile::encodeName(strPath);
    // With the public half beside it, ask the server first whether it would take the
    // key, so that a passphrase is asked for only for a key that would do.
    ssh_key pub = nullptr;
    if (ssh_pki_import_pubkey_file((path + ".pub").constData(), &pub) == SSH_OK) {
        const int rc = ssh_userauth_try_publickey(session, nullptr, pub);
        ssh_key_free(pub);
        if (rc != SSH_AUTH_SUCCESS)
            return false;
    }
    ssh_key priv = nullptr;
    int rc = ssh_pki_import_privkey_file(path.constData(), nullptr, RefusePassphrase, nullptr, &priv);
    if (rc == SSH_EOF)
        return false;  // not readable
    for (int nTry = 0; rc != SSH_OK && nTry < kPassphraseTries; ++nTry) {
        QByteArray passphrase;
        const QString prompt = nTry == 0 ? tr("Enter the passphrase for the key %1:").arg(strPath)
                                         : tr("Wrong passphrase. Enter the passphrase for the key %1:").arg(strPath);
        if (!AskSecret(prompt, passphrase))
            return false;
        rc = ssh_pki_import_privkey_file(path.constData(), passphrase.constData(), RefusePassphrase, nullptr, &priv);
        passphrase.fill('\0');
    }
    if (rc != SSH_OK) {
        notes << tr("wrong passphrase for the key %1").arg(strPath);
        return false;
    }
    rc = ssh_userauth_publickey(session, nullptr, priv);
    ssh_key_free(priv);
    return rc == SSH_AUTH_SUCCESS;
}

bool CSshSession::Impl::TryKeys()
{
    for (const QString &path : CSshKeyFiles::UserKeys(self.m_login.strSshDir)) {
        if (Cancelled() || !ssh_is_connected(session))
            return false;
        if (TryKey(path))
            return true;
    }
    return false;
}

bool CSshSession::Impl::Authenticate()
{
    const CSshLogin &login = self.m_login;
    int rc = ssh_userauth_none(session, nullptr);
    if (rc == SSH_AUTH_SUCCESS)
        return true;
    if (rc == SSH_AUTH_ERROR) {
        strFailure = tr("the login failed (%1).").arg(Error());
        return false;
    }
    const int nMethods = ssh_userauth_list(session, nullptr);

    if ((nMethods & SSH_AUTH_METHOD_PUBLICKEY) && !qgetenv("SSH_AUTH_SOCK").isEmpty()) {
        if (ssh_userauth_agent(session, nullptr) == SSH_AUTH_SUCCESS)
            return true;
    }
    if ((nMethods & SSH_AUTH_METHOD_PUBLICKEY) && TryKeys())
        return true;
    if (Cancelled())
        return false;

    QByteArray password = login.strPassword.toUtf8();
    const bool bPasswordWay = nMethods & (SSH_AUTH_METHOD_PASSWORD | SSH_AUTH_METHOD_INTERACTIVE);
    if (bPasswordWay && password.isEmpty() && ssh_is_connected(session)) {
        // No password in the settings: ask, as ssh asks at its prompt.
        if (!AskSecret(tr("Password for %1@%2:").arg(login.strUser, login.strHost), password)) {
            if (!Cancelled())
                strFailure = tr("Permission denied (%1) for the user %2: no password was given.")
                                 .arg(MethodsText(nMethods), login.strUser)
                             + Notes();
            return false;
        }
    }
    if ((nMethods & SSH_AUTH_METHOD_PASSWORD) && !password.isEmpty() && ssh_is_connected(session)) {
        if (ssh_userauth_password(session, nullptr, password.constData()) == SSH_AUTH_SUCCESS)
            return true;
    }
    if ((nMethods & SSH_AUTH_METHOD_INTERACTIVE) && !password.isEmpty() && ssh_is_connected(session)) {
        rc = ssh_userauth_kbdint(session, nullptr, nullptr);
        for (int nRound = 0; rc == SSH_AUTH_INFO && nRound < kMaxKeyboardRounds; ++nRound) {
            const int nPrompts = ssh_userauth_kbdint_getnprompts(session);
            for (int i = 0; i < nPrompts; ++i) {
                char echo = 0;
                ssh_userauth_kbdint_getprompt(session, unsigned(i), &echo);
                // A hidden answer is the password; a shown one can only be the user.
                const QByteArray answer = echo ? login.strUser.toUtf8() : password;
                ssh_userauth_kbdint_setanswer(session, unsigned(i), answer.constData());
            }
            rc = ssh_userauth_kbdint(session, nullptr, nullptr);
        }
        if (rc == SSH_AUTH_SUCCESS)
            return true;
    }
    password.fill('\0');
    if (Cancelled())
        return false;
    if (!ssh_is_connected(session)) {
        strFailure = tr("the server closed the connection during the login (%1).").arg(Error());
        return false;
    }
    strFailure = tr("Permission denied (%1) for the user %2.").arg(MethodsText(nMethods), login.strUser) + Notes();
    return false;
}

bool CSshSession::Impl::OpenShell()
{
    channel = ssh_channel_new(session);
    if (!channel || ssh_channel_open_session(channel) != SSH_OK) {
        strFailure = tr("the server opened no session (%1).").arg(Error());
        return false;
    }
    int nColumns, nRows;
    {
        std::lock_guard lock(self.m_mutex);
        nColumns = self.m_nColumns;
        nRows = self.m_nRows;
        self.m_bResize = false;
    }
    // "dumb": a terminal without escape sequences, so that programs that ask (ls,
    // prompts, editors) send plain text to the read-only output area.
    if (ssh_channel_request_pty_size(channel, "dumb", nColumns, nRows) != SSH_OK) {
        strFailure = tr("the server gave no terminal (%1).").arg(Error());
        return false;
    }
    if (ssh_channel_request_shell(channel) != SSH_OK) {
        strFailure = tr("the server started no shell (%1).").arg(Error());
        return false;
    }
    return true;
}

CSshSession::End CSshSession::Impl::Pump(QString &strReason)
{
    char buffer[16384];
    const int fdSocket = ssh_get_fd(session);
    for (;;) {
        if (Cancelled())
            return End::Cancelled;
        // Send what the owner queued, and a new terminal size.
        QByteArray outgoing;
        bool bResize = false;
        int nColumns = 0, nRows = 0;
        {
            std::lock_guard lock(self.m_mutex);
            outgoing.swap(self.m_baOutgoing);
            bResize = std::exchange(self.m_bResize, false);
            nColumns = self.m_nColumns;
            nRows = self.m_nRows;
        }
        if (bResize)
            ssh_channel_change_pty_size(channel, nColumns, nRows);
        for (qsizetype nDone = 0; nDone < outgoing.size();) {
            const int n = ssh_channel_write(channel, outgoing.constData() + nDone, uint32_t(outgoing.size() - nDone));
            if (n == SSH_ERROR) {
                if (Cancelled())
                    return End::Cancelled;
                strReason = LostReason();
                return End::Lost;
            }
            nDone += n;
        }

        // Read while the owner keeps up.
        const bool bRead = self.m_nUntaken.load() < kMaxUntakenBytes;
        if (bRead) {
            for (int nStream = 0; nStream < 2; ++nStream) {
                int n;
                while ((n = ssh_channel_read_nonblocking(channel, buffer, sizeof buffer, nStream)) > 0) {
                    self.m_nUntaken += n;
                    self.m_events.onData(QByteArray(buffer, n));
                }
                if (n == SSH_ERROR) {
                    if (Cancelled())
                        return End::Cancelled;
                    strReason = LostReason();
                    return End::Lost;
                }
            }
            if (ssh_channel_is_eof(channel) || ssh_channel_is_closed(channel))
                return End::Closed;
            if (!ssh_is_connected(session)) {
                strReason = LostReason();
                return End::Lost;
            }
        }

        pollfd fds[2] = {{self.m_fdWake[0], POLLIN, 0}, {fdSocket, short(bRead ? POLLIN : 0), 0}};
        if (poll(fds, 2, 1000) < 0 && errno != EINTR) {
            strReason = QString::fromLocal8Bit(strerror(errno));
            return End::Lost;
        }
        if (fds[0].revents & POLLIN)
            self.DrainWake();
    }
}

void CSshSession::Run()
{
    Impl impl{*this};
    auto finish = [&](End end, const QString &reason) {
        if (m_bCancel.load())
            end = End::Cancelled;
        if (m_events.onEnd)
            m_events.onEnd(end, reason);
    };
    if (m_fdWake[0] < 0) {
        finish(End::Failed, QString::fromLocal8Bit(strerror(errno)));
        return;
    }
    impl.fdOwn = impl.OpenSocket();
    if (impl.fdOwn < 0) {
        finish(End::Failed, impl.strFailure);
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_fdSocket = impl.fdOwn;
    }
    impl.fdLibssh = fcntl(impl.fdOwn, F_DUPFD_CLOEXEC, 0);
    impl.session = impl.fdLibssh >= 0 ? ssh_new() : nullptr;
    if (!impl.session) {
        finish(End::Failed, QString::fromLocal8Bit(strerror(impl.fdLibssh < 0 ? errno : ENOMEM)));
        return;
    }
    if (m_bCancel.load()) {
        finish(End::Cancelled, {});
        return;
    }
    const QByteArray host = m_login.strHost.toUtf8();
    const QByteArray user = m_login.strUser.toUtf8();
    const QByteArray sshDir = QFile::encodeName(m_login.strSshDir);
    const QByteArray knownHosts = sshDir + "/known_hosts";
    const unsigned int nPort = unsigned(m_login.nPort);
    long nTimeout = m_login.nTimeoutSeconds;
    socket_t fdSession = impl.fdLibssh;
    ssh_options_set(impl.session, SSH_OPTIONS_HOST, host.constData());
    ssh_options_set(impl.session, SSH_OPTIONS_PORT, &nPort);
    if (!user.isEmpty())
        ssh_options_set(impl.session, SSH_OPTIONS_USER, user.constData());
    // Named outright: libssh would take the home folder from the password database,
    // while the user's (and each test's) HOME is where OpenSSH looks.
    ssh_options_set(impl.session, SSH_OPTIONS_SSH_DIR, sshDir.constData());
    ssh_options_set(impl.session, SSH_OPTIONS_KNOWNHOSTS, knownHosts.constData());
    ssh_options_set(impl.session, SSH_OPTIONS_TIMEOUT, &nTimeout);
    ssh_options_set(impl.session, SSH_OPTIONS_FD, &fdSession);

    impl.bLibsshHasSocket = true;
    if (ssh_connect(impl.session) != SSH_OK) {
        const QString error = impl.Error();
        // Most often not an SSH server at all, or one that turned the client away.
        QString reason;
        if (error.contains(QLatin1String("disconnected")))
            reason = tr("the server closed the connection before the SSH handshake was done (%1).").arg(error);
        else if (error.contains(QLatin1String("imeout")))
            reason = tr("no answer within %1 seconds (%2).").arg(m_login.nTimeoutSeconds).arg(error);
        else
            reason = tr("the SSH handshake failed (%1).").arg(error);
        finish(End::Failed, reason);
        return;
    }
    if (!impl.CheckHostKey() || !impl.Authenticate()) {
        finish(End::Failed, impl.strFailure);
        return;
    }
    if (m_events.onLoggedIn) {
        QString reason;
        const End end = m_events.onLoggedIn(impl.session, reason);
        finish(end, reason);
        return;
    }
    if (!impl.OpenShell()) {
        finish(End::Failed, impl.strFailure);
        return;
    }
    if (!m_login.startLine.isEmpty()) {
        std::lock_guard lock(m_mutex);
        m_baOutgoing.prepend(m_login.startLine);
    }
    if (m_events.onShellOpen)
        m_events.onShellOpen();
    QString reason;
    const End end = impl.Pump(reason);
    finish(end, reason);
}
