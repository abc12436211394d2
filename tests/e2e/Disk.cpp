#include "Disk.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <unistd.h>

namespace {

QString Run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForStarted(10000))
        return program + QStringLiteral(" did not start");
    p.waitForFinished(30000);
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return program + QLatin1Char(' ') + args.join(QLatin1Char(' ')) + QStringLiteral(": ")
               + QString::fromLocal8Bit(p.readAll()).trimmed();
    return QString();
}

} // namespace

CSmallDisk::~CSmallDisk() { Unmount(); }

bool CSmallDisk::CanMount() { return ::geteuid() == 0; }

QString CSmallDisk::Mount(const QString &strDir, qint64 nBytes)
{
    QDir().mkpath(strDir);
    QString error = Run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                                   QStringLiteral("size=%1,mode=0755").arg(nBytes),
                                                   QStringLiteral("tmpfs"), strDir});
    if (error.isEmpty())
        m_strDir = strDir;
    return error;
}

QString CSmallDisk::Fill()
{
    if (!IsMounted())
        return QStringLiteral("no disk of the test's own to fill");
    m_strFiller = QDir(m_strDir).filePath(QStringLiteral(".filler"));
    QFile filler(m_strFiller);
    if (!filler.open(QIODevice::WriteOnly))
        return filler.errorString();
    const QByteArray block(64 * 1024, '\0');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    // What is left is less than a block: take it byte by byte.
    filler.unsetError();
    while (filler.write("x", 1) == 1 && filler.flush()) {
    }
    return QString();
}

void CSmallDisk::Unfill()
{
    if (!m_strFiller.isEmpty())
        QFile::remove(m_strFiller);
    m_strFiller.clear();
}

QString CSmallDisk::SetReadOnly(const QString &strDir, bool bReadOnly)
{
    if (IsMounted())
        return Run(QStringLiteral("mount"),
                   {QStringLiteral("-o"), bReadOnly ? QStringLiteral("remount,ro") : QStringLiteral("remount,rw"), m_strDir});
    QFile::Permissions p = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                           | QFile::ExeOther;
    if (!bReadOnly)
        p |= QFile::WriteOwner;
    return QFile::setPermissions(strDir, p) ? QString() : QStringLiteral("cannot change the permissions of ") + strDir;
}

void CSmallDisk::Unmount()
{
    if (m_strDir.isEmpty())
        return;
    if (!Run(QStringLiteral("umount"), {m_strDir}).isEmpty())
        Run(QStringLiteral("umount"), {QStringLiteral("-l"), m_strDir});
    m_strDir.clear();
}
