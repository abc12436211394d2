#include "KestrelSession.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

CKestrelSession::CKestrelSession(const CXDesktop &desktop, const QString &strProgramDir, const QString &strHomeDir,
                                 const QString &strLogFile)
    : m_desktop(desktop)
    , m_strProgramDir(strProgramDir)
    , m_strHomeDir(strHomeDir)
    , m_strLogFile(strLogFile)
{
}

CKestrelSession::~CKestrelSession() { Kill(); }

QString CKestrelSession::MakeProgramDir(const QString &strBinDir, const QString &strCatalogue,
                                        const QString &strProgramDir)
{
    QDir().mkpath(strProgramDir);
    // The browser module is optional: a build without the browser engine has none.
    for (const char *name : {"kestrel", "runhold", "bytelens", "libkestrel_web.so"}) {
        QString from = QDir(strBinDir).filePath(QLatin1String(name));
        QString to = QDir(strProgramDir).filePath(QLatin1String(name));
        if (!QFile::exists(from)) {
            if (qstrcmp(name, "kestrel") == 0)
                return QStringLiteral("no kestrel in ") + strBinDir;
            continue;
        }
        QFile::remove(to);
        if (!QFile::copy(from, to))
            return QStringLiteral("cannot copy ") + from;
    }
    QString fnl = QDir(strProgramDir).filePath(QStringLiteral("KESTREL.FNL"));
    QFile::remove(fnl);
    if (!QFile::copy(strCatalogue, fnl))
        return QStringLiteral("cannot copy ") + strCatalogue;
    return QString();
}

QString CKestrelSession::Start(const QString &strWorkDir, const QStringList &args)
{
    Kill();
    QDir().mkpath(m_strHomeDir);
    QString runtime = QDir(m_strHomeDir).filePath(QStringLiteral("runtime"));
    QDir().mkpath(runtime);
    QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // The tests around this one run offscreen; this one shows real windows.
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), m_desktop.Display());
    env.insert(QStringLiteral("HOME"), m_strHomeDir);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir(m_strHomeDir).filePath(QStringLiteral(".config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("1"));
    for (const char *name : {"WAYLAND_DISPLAY", "QT_QPA_PLATFORMTHEME", "QT_STYLE_OVERRIDE", "XDG_CURRENT_DESKTOP",
                             "SESSION_MANAGER", "QT_LOGGING_RULES"})
        env.remove(QLatin1String(name));
    m_process.setProcessEnvironment(env);
    m_process.setWorkingDirectory(strWorkDir);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_strLogFile, QIODevice::Append);
    m_process.start(QDir(m_strProgramDir).filePath(QStringLiteral("kestrel")), args);
    if (!m_process.waitForStarted(10000))
        return QStringLiteral("kestrel did not start: ") + m_process.errorString();
    m_strMain = m_desktop.WaitForWindow(QStringLiteral(" - Kestrel$"), 30000);
    if (m_strMain.isEmpty())
        return QStringLiteral("no main window appeared (log: %1)").arg(m_strLogFile);
    FocusMain();
    return QString();
}

bool CKestrelSession::Exit()
{
    if (!IsRunning())
        return false;
    FocusMain();
    m_desktop.Key(QStringLiteral("alt+f"));
    QThread::msleep(300);
    m_desktop.Key(QStringLiteral("x"));
    if (!m_process.waitForFinished(15000))
        return false;
    m_strMain.clear();
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

void CKestrelSession::Kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill();
    m_process.waitForFinished(10000);
    m_strMain.clear();
}

QString CKestrelSession::Title() const { return m_strMain.isEmpty() ? QString() : m_desktop.WindowName(m_strMain); }

void CKestrelSession::FocusMain() const
{
    if (!m_strMain.isEmpty())
        m_desktop.Focus(m_strMain);
}

bool CKestrelSession::WaitForTitle(const QString &strRegex, int nTimeoutMs) const
{
    QRegularExpression re(strRegex);
    QDeadlineTimer deadline(nTimeoutMs);
    do {
        if (re.match(Title()).hasMatch())
            return true;
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return false;
}
