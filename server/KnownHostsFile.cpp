#include "server/KnownHostsFile.h"

#include "server/HostKeyQuestion.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// ssh -G only reads configuration files; anything slower is stuck.
constexpr int kSshTimeoutMs = 3000;

QString ErrnoText()
{
    return QString::fromLocal8Bit(strerror(errno));
}
}

bool CKnownHostsFile::HashesHostNames(const QString &strHost, int nPort, const QString &strSshProgram)
{
    QProcess ssh;
    ssh.setStandardInputFile(QProcess::nullDevice());
    ssh.setStandardErrorFile(QProcess::nullDevice());
    // "--": a host name is never taken for an option.
    ssh.start(strSshProgram,
              {QStringLiteral("-G"), QStringLiteral("-p"), QString::number(nPort > 0 ? nPort : 22),
               QStringLiteral("--"), strHost});
    if (!ssh.waitForStarted(kSshTimeoutMs))
        return true;
    if (!ssh.waitForFinished(kSshTimeoutMs)) {
        ssh.kill();
        ssh.waitForFinished(kSshTimeoutMs);
        return true;
    }
    if (ssh.exitStatus() != QProcess::NormalExit || ssh.exitCode() != 0)
        return true;
    const QList<QByteArray> lines = ssh.readAllStandardOutput().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> words = line.simplified().split(' ');
        if (words.size() == 2 && words[0].toLower() == "hashknownhosts")
            return words[1].toLower() != "no";
    }
    return true;
}

QByteArray CKnownHostsFile::NewLine(const QString &strHost, int nPort, const QString &strKeyType,
                                    const QByteArray &keyBlob)
{
    return CHostKeyQuestion::KnownHostsLine(strHost, nPort, strKeyType, keyBlob, HashesHostNames(strHost, nPort));
}

bool CKnownHostsFile::Append(const QString &strPath, const QByteArray &line, QString &strError)
{
    const QString dir = QFileInfo(strPath).path();
    if (!QFileInfo::exists(dir)) {
        const QString parent = QFileInfo(dir).path();
        if (!QDir().mkpath(parent) || (::mkdir(QFile::encodeName(dir).constData(), 0700) != 0 && errno != EEXIST)) {
            strError = QStringLiteral("the folder %1 could not be made (%2)").arg(dir, ErrnoText());
            return false;
        }
    }
    const int fd = ::open(QFile::encodeName(strPath).constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        strError = ErrnoText();
        return false;
    }
    QByteArray bytes = line;
    struct stat st;
    char last = '\n';
    // A last line without its line end would swallow ours.
    if (::fstat(fd, &st) == 0 && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n')
        bytes.prepend('\n');
    // One write with O_APPEND: it lands after whatever the file holds by then, and
    // never over it.
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            strError = ErrnoText();
            ::close(fd);
            return false;
        }
        done += n;
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        strError = ErrnoText();
        return false;
    }
    return true;
}
