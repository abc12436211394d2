#include "server/RemoteProcess.h"

#include "run/ProcessListener.h"
#include "server/SshConnection.h"

#include <QCoreApplication>

#include <libssh/libssh.h>
#include <libssh/sftp.h>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr qsizetype kChunk = 64 * 1024;
// Output the window has not taken beyond which the channel is not read: the server's
// program then waits in SSH's flow control.
constexpr qsizetype kMaxPending = 256 * 1024;
constexpr int kFinalWriteMs = 2000;

QString tr(const char *text)
{
    return QCoreApplication::translate("CRemoteProcess", text);
}

// One argument for the server's shell, as it is: options stay options ("-w"), an empty
// one stays an argument, anything but letters, digits and a few marks goes in quotes.
QString Argument(const QString &strWord)
{
    static const QString plain = QStringLiteral("._-+,:=@%/");
    bool bPlain = !strWord.isEmpty();
    for (QChar c : strWord)
        bPlain = bPlain && c.unicode() < 0x80 && (c.isLetterOrNumber() || plain.contains(c));
    if (bPlain)
        return strWord;
    QString quoted = strWord;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}
} // namespace

CRemoteProcess::CRemoteProcess(Plan plan)
    : m_plan(std::move(plan))
{
}

CRemoteProcess::~CRemoteProcess()
{
    if (m_fdInput >= 0)
        ::close(m_fdInput);
    for (ssh_channel side : m_sideChannels)
        ssh_channel_free(side);
    if (m_pChannel)
        ssh_channel_free(m_pChannel);
}

QString CRemoteProcess::BootstrapCode()
{
    // No single quote, so that the code travels in one quoted word of any shell; no
    // value from the user, so that the command line (which others on the server may
    // read) holds nothing of theirs. sysread takes exactly what the block holds, so
    // the program's input stays unread for it.
    return QStringLiteral(
        "setpgrp(0,0);"
        "sub r{my($n,$b)=(shift,\"\");while(length($b)<$n){sysread(STDIN,$b,$n-length($b),length($b))or exit 255}$b}"
        "for(split/\\0/,r(hex(r(8)))){my($k,$v)=split/=/,$_,2;$ENV{$k}=$v}"
        "my$d=shift;if(length$d){chdir$d or die\"Can't chdir to $d: $!\\n\"}"
        "syswrite(STDOUT,\"$$\\n\");exec{$ARGV[0]}@ARGV;die\"Can't exec $ARGV[0]: $!\\n\"");
}

QByteArray CRemoteProcess::EnvironmentBlock(const QStringList &entries)
{
    QByteArray block;
    for (const QString &entry : entries) {
        // An entry cannot hold the separator; one without a name is no entry.
        const QByteArray bytes = entry.toUtf8();
        if (bytes.contains('\0') || bytes.indexOf('=') <= 0)
            continue;
        block += bytes;
        block += '\0';
    }
    return QByteArray::number(block.size(), 16).rightJustified(8, '0') + block;
}

QString CRemoteProcess::CommandLine() const
{
    QStringList words = {Argument(m_plan.strPerl), QStringLiteral("-e"), Argument(BootstrapCode()),
                         QStringLiteral("--"), Argument(m_plan.strDirectory)};
    for (const QString &arg : m_plan.program)
        words << Argument(arg);
    return words.join(QLatin1Char(' '));
}

bool CRemoteProcess::Start(const std::shared_ptr<CSshConnection> &connection)
{
    if (!m_stdIn.Open() || !m_stdOut.Open() || !m_stdErr.Open()) {
        m_strLastError = tr("The pipes for the standard streams could not be created.");
        return false;
    }
    m_fdInput = fcntl(m_stdIn.GetReadHandle(), F_DUPFD_CLOEXEC, 0);
    if (m_fdInput < 0) {
        m_strLastError = tr("The pipes for the standard streams could not be created.");
        return false;
    }
    // The connection's thread never waits for the window, in either way.
    for (int fd : {m_fdInput, m_stdOut.GetWriteHandle(), m_stdErr.GetWriteHandle()})
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_stdIn.CloseReadEnd();
    m_connection = connection;
    connection->Submit(shared_from_this());
    return true;
}

long CRemoteProcess::GetExitCode() const
{
    return m_nExitCode.load();
}

bool CRemoteProcess::WasSignaled() const
{
    return m_bEnded && m_nExitCode.load() == kUnknown && m_bKillWanted;
}

QString CRemoteProcess::EndDescription() const
{
    if (!m_bEnded)
        return QStringLiteral("Process is still active.");
    {
        std::lock_guard lock(m_mutex);
        if (!m_strFailure.isEmpty())
            return m_strFailure;
    }
    if (WasSignaled() || (m_bKillWanted && m_nExitCode.load() != 0))
        return QStringLiteral("Process was terminated.");
    if (m_nExitCode.load() == kUnknown)
        return QStringLiteral("Process ended without an exit code.");
    return QStringLiteral("Process completed with exit code %1.").arg(m_nExitCode.load());
}

void CRemoteProcess::Interrupt()
{
    m_bInterruptWanted = true;
    if (auto connection = m_connection.lock())
        connection->Wake();
}

void CRemoteProcess::Kill()
{
    if (m_bEnded)
        return;
    m_bKillWanted = true;
    if (auto connection = m_connection.lock())
        connection->Wake();
}

void CRemoteProcess::SetListener(CProcessListener *pListener)
{
    std::lock_guard lock(m_mutex);
    m_pListenerGuarded = pListener;
    m_pListener = pListener;
}

bool CRemoteProcess::Put()
{
    sftp_session sftp = sftp_new(m_pSession);
    if (!sftp || sftp_init(sftp) != SSH_OK) {
        const QString error = QString::fromLocal8Bit(ssh_get_error(m_pSession));
        if (sftp)
            sftp_free(sftp);
        End(kUnknown, tr("Could not put %1 on the server: no SFTP (%2).").arg(m_plan.strUploadPath, error));
        return false;
    }
    const QByteArray path = m_plan.strUploadPath.toUtf8();
    const QByteArray &bytes = m_plan.baUpload;
    bool bSame = false;
    // Only a copy of the same size can be the same; it is read to be sure.
    if (sftp_attributes attrs = sftp_stat(sftp, path.constData())) {
        const bool bSameSize = attrs->size == quint64(bytes.size());
        sftp_attributes_free(attrs);
        if (bSameSize) {
            if (sftp_file file = sftp_open(sftp, path.constData(), O_RDONLY, 0)) {
                QByteArray there;
                char buffer[16384];
                ssize_t n;
                while (there.size() <= bytes.size() && (n = sftp_read(file, buffer, sizeof buffer)) > 0)
                    there.append(buffer, n);
                sftp_close(file);
                bSame = there == bytes;
            }
        }
    }
    if (!bSame) {
        sftp_file file = sftp_open(sftp, path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        bool bOk = file != nullptr;
        for (qsizetype done = 0; bOk && done < bytes.size();) {
            const ssize_t n = sftp_write(file, bytes.constData() + done, size_t(qMin(kChunk, bytes.size() - done)));
            bOk = n > 0;
            done += n > 0 ? n : 0;
        }
        const QString error = QString::fromLocal8Bit(ssh_get_error(m_pSession));
        if (file && sftp_close(file) != SSH_OK)
            bOk = false;
        if (!bOk) {
            sftp_free(sftp);
            End(kUnknown, tr("Could not put %1 on the server (%2).").arg(m_plan.strUploadPath, error));
            return false;
        }
        m_bUploaded = true;
    }
    sftp_free(sftp);
    return true;
}

bool CRemoteProcess::Begin(ssh_session_struct *pSession)
{
    m_pSession = pSession;
    if (m_bKillWanted) {
        End(kUnknown, QStringLiteral("Process was terminated."));
        return false;
    }
    if (m_plan.bUpload && !Put())
        return false;
    m_pChannel = ssh_channel_new(pSession);
    if (!m_pChannel || ssh_channel_open_session(m_pChannel) != SSH_OK) {
        End(kUnknown, tr("The server opened no session: %1").arg(QString::fromLocal8Bit(ssh_get_error(pSession))));
        return false;
    }
    if (ssh_channel_request_exec(m_pChannel, CommandLine().toUtf8().constData()) != SSH_OK) {
        End(kUnknown, tr("The server ran nothing: %1").arg(QString::fromLocal8Bit(ssh_get_error(pSession))));
        return false;
    }
    m_baToChannel = EnvironmentBlock(m_plan.environment);
    return true;
}

void CRemoteProcess::AddPollDescriptors(std::vector<pollfd> &fds)
{
    if (!m_bInputEnded && m_baToChannel.size() < kChunk && m_fdInput >= 0)
        fds.push_back({m_fdInput, POLLIN, 0});
    if (!m_baPendingOut[0].isEmpty())
        fds.push_back({m_stdOut.GetWriteHandle(), POLLOUT, 0});
    if (!m_baPendingOut[1].isEmpty())
        fds.push_back({m_stdErr.GetWriteHandle(), POLLOUT, 0});
}

bool CRemoteProcess::WriteOut(int nStream, const char *pData, qsizetype nSize)
{
    QByteArray &pending = m_baPendingOut[nStream];
    pending.append(pData, nSize);
    const int fd = (nStream == 0 ? m_stdOut : m_stdErr).GetWriteHandle();
    while (!pending.isEmpty()) {
        const ssize_t n = ::write(fd, pending.constData(), size_t(pending.size()));
        if (n > 0) {
            pending.remove(0, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Full (the window reads later) or gone (the window closed: nobody reads).
        if (n < 0 && errno != EAGAIN)
            pending.clear();
        break;
    }
    return true;
}

void CRemoteProcess::SendSignal(const char *pszSignal)
{
    // A second channel on the same connection: the program's group gets the signal
    // whatever the server thinks of SSH's own signal requests.
    ssh_channel side = ssh_channel_new(m_pSession);
    if (!side)
        return;
    // The server's perl says it, since shells' kill builtins differ in how a group is
    // named.
    const QString command = Argument(m_plan.strPerl) + QStringLiteral(" -e ")
                            + Argument(QStringLiteral("kill(q(-%1),%2)").arg(QLatin1String(pszSignal)).arg(m_nPid));
    if (ssh_channel_open_session(side) != SSH_OK
        || ssh_channel_request_exec(side, command.toUtf8().constData()) != SSH_OK) {
        ssh_channel_free(side);
        return;
    }
    m_sideChannels.push_back(side);
}

void CRemoteProcess::PumpSideChannels()
{
    char buffer[1024];
    for (size_t i = 0; i < m_sideChannels.size();) {
        ssh_channel side = m_sideChannels[i];
        while (ssh_channel_read_nonblocking(side, buffer, sizeof buffer, 0) > 0) {
        }
        while (ssh_channel_read_nonblocking(side, buffer, sizeof buffer, 1) > 0) {
        }
        if (ssh_channel_is_eof(side) || ssh_channel_is_closed(side)) {
            ssh_channel_close(side);
            ssh_channel_free(side);
            m_sideChannels.erase(m_sideChannels.begin() + qsizetype(i));
        } else {
            ++i;
        }
    }
}

bool CRemoteProcess::PumpInput()
{
    char buffer[kChunk];
    while (!m_bInputEnded && m_baToChannel.size() < kChunk) {
        const ssize_t n = ::read(m_fdInput, buffer, sizeof buffer);
        if (n > 0)
            m_baToChannel.append(buffer, n);
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            m_bInputEnded = true;
        else if (errno == EAGAIN)
            break;
    }
    // Never more than the channel's window, so that a write never waits for the
    // server's program to read.
    while (!m_baToChannel.isEmpty()) {
        const uint32_t window = ssh_channel_window_size(m_pChannel);
        if (window == 0)
            break;
        const int n = ssh_channel_write(m_pChannel, m_baToChannel.constData(),
                                        uint32_t(qMin<qsizetype>(m_baToChannel.size(), qsizetype(window))));
        if (n == SSH_ERROR)
            return false;
        m_baToChannel.remove(0, n);
    }
    if (m_bInputEnded && m_baToChannel.isEmpty() && !m_bEofSent) {
        m_bEofSent = true;
        ssh_channel_send_eof(m_pChannel);
    }
    return true;
}

bool CRemoteProcess::PumpOutput(int nStream)
{
    char buffer[kChunk];
    while (m_baPendingOut[nStream].size() < kMaxPending) {
        const int n = ssh_channel_read_nonblocking(m_pChannel, buffer, sizeof buffer, nStream);
        if (n == SSH_ERROR)
            return false;
        if (n <= 0)
            break;
        const char *p = buffer;
        qsizetype size = n;
        if (nStream == 0 && !m_bHeaderDone) {
            // The bootstrap's first line is its process number, not the program's output.
            const qsizetype end = QByteArray::fromRawData(p, size).indexOf('\n');
            const qsizetype take = end < 0 ? size : end + 1;
            m_baHeader.append(p, take);
            p += take;
            size -= take;
            if (end < 0 && m_baHeader.size() < 32)
                continue;
            m_bHeaderDone = true;
            bool ok = false;
            const long pid = m_baHeader.trimmed().toLong(&ok);
            if (ok && pid > 1 && m_baHeader.endsWith('\n'))
                m_nPid = pid;
            else
                WriteOut(0, m_baHeader.constData(), m_baHeader.size());
        }
        if (size > 0)
            WriteOut(nStream, p, size);
    }
    return true;
}

bool CRemoteProcess::Pump()
{
    if (m_bEnded)
        return false;
    PumpSideChannels();
    // Output left over for the window goes first.
    for (int nStream = 0; nStream < 2; ++nStream)
        if (!m_baPendingOut[nStream].isEmpty())
            WriteOut(nStream, "", 0);
    if (m_nPid > 0) {
        if ((m_bInterruptWanted || m_bKillWanted) && !m_bInterruptSent) {
            m_bInterruptSent = true;
            m_bInterruptWanted = false;
            SendSignal("INT");
            m_killAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(kKillGraceMs);
        } else if (m_bInterruptWanted && m_bInterruptSent) {
            m_bInterruptWanted = false;
            SendSignal("INT");
        }
        if (m_bKillWanted && !m_bKillSent && std::chrono::steady_clock::now() >= m_killAt) {
            m_bKillSent = true;
            SendSignal("KILL");
        }
    } else if (m_bKillWanted && !m_bHeaderDone) {
        // Not running yet: the channel goes, and with it the bootstrap's input.
        End(kUnknown, QStringLiteral("Process was terminated."));
        return false;
    }
    if (!PumpInput() || !PumpOutput(0) || !PumpOutput(1)) {
        if (!ssh_is_connected(m_pSession))
            return true;  // the connection tells every job why
        End(kUnknown, tr("The server's channel failed: %1").arg(QString::fromLocal8Bit(ssh_get_error(m_pSession))));
        return false;
    }
    if ((ssh_channel_is_eof(m_pChannel) || ssh_channel_is_closed(m_pChannel))
        && ssh_channel_poll(m_pChannel, 0) <= 0 && ssh_channel_poll(m_pChannel, 1) <= 0
        && m_baPendingOut[0].isEmpty() && m_baPendingOut[1].isEmpty()) {
        if (!m_bHeaderDone && !m_baHeader.isEmpty())
            WriteOut(0, m_baHeader.constData(), m_baHeader.size());
        // The status comes with the channel's end; the wait is for that message only.
        const int status = ssh_channel_get_exit_status(m_pChannel);
        End(status < 0 ? kUnknown : status, QString());
        return false;
    }
    return true;
}

void CRemoteProcess::Abort(const QString &strReason)
{
    End(kUnknown, m_bHeaderDone ? strReason + tr(" What the program wrote up to then is shown.") : strReason);
}

void CRemoteProcess::End(long nExitCode, const QString &strFailure)
{
    if (m_bEnded)
        return;
    // What is still waiting for the window gets a little time to reach it, unless the
    // window has closed (Close ends the program), when nobody reads any more.
    for (int nStream = 0; nStream < 2 && !m_bKillWanted; ++nStream) {
        const int fd = (nStream == 0 ? m_stdOut : m_stdErr).GetWriteHandle();
        for (int waited = 0; !m_baPendingOut[nStream].isEmpty() && waited < kFinalWriteMs; waited += 50) {
            pollfd pfd = {fd, POLLOUT, 0};
            poll(&pfd, 1, 50);
            WriteOut(nStream, "", 0);
        }
    }
    if (m_pChannel) {
        if (m_pSession && ssh_is_connected(m_pSession) && !ssh_channel_is_closed(m_pChannel))
            ssh_channel_close(m_pChannel);
        ssh_channel_free(m_pChannel);
        m_pChannel = nullptr;
    }
    for (ssh_channel side : m_sideChannels)
        ssh_channel_free(side);
    m_sideChannels.clear();
    m_stdOut.CloseWriteEnd();
    m_stdErr.CloseWriteEnd();
    if (m_fdInput >= 0) {
        ::close(m_fdInput);
        m_fdInput = -1;
    }
    std::lock_guard lock(m_mutex);
    m_strFailure = strFailure;
    m_nExitCode = nExitCode;
    m_bEnded = true;
    if (m_pListenerGuarded)
        m_pListenerGuarded->OnProcessEnded();
}
