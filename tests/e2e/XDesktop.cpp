#include "XDesktop.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QDir>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QThread>

namespace {

QString RunTool(const QString &strProgram, const QStringList &args, const QString &strDisplay, bool *pOk)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), strDisplay);
    p.setProcessEnvironment(env);
    p.start(strProgram, args);
    bool ok = p.waitForStarted(10000) && p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit
              && p.exitCode() == 0;
    if (pOk)
        *pOk = ok;
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

} // namespace

CXDesktop::CXDesktop(const QString &strShotDir)
    : m_strShotDir(strShotDir)
{
    QDir().mkpath(m_strShotDir);
}

CXDesktop::~CXDesktop()
{
    if (m_wm.state() != QProcess::NotRunning) {
        m_wm.terminate();
        if (!m_wm.waitForFinished(5000)) {
            m_wm.kill();
            m_wm.waitForFinished(5000);
        }
    }
    if (m_xvfb.state() != QProcess::NotRunning) {
        m_xvfb.terminate();
        if (!m_xvfb.waitForFinished(5000)) {
            m_xvfb.kill();
            m_xvfb.waitForFinished(5000);
        }
    }
}

QStringList CXDesktop::MissingTools()
{
    QStringList missing;
    for (const char *tool : {"Xvfb", "openbox", "xdotool", "xwininfo", "import"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            missing << QLatin1String(tool);
    }
    return missing;
}

QString CXDesktop::Start(const QSize &screen)
{
    m_screen = screen;
    // The server picks a free display itself and writes its number once it accepts
    // connections, so two runs of the test never take the same display.
    m_xvfb.setProcessChannelMode(QProcess::SeparateChannels);
    m_xvfb.start(QStringLiteral("Xvfb"),
                 {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"), QStringLiteral("0"),
                  QStringLiteral("%1x%2x24").arg(screen.width()).arg(screen.height()), QStringLiteral("-nolisten"),
                  QStringLiteral("tcp"), QStringLiteral("-noreset")});
    if (!m_xvfb.waitForStarted(10000))
        return QStringLiteral("Xvfb did not start: ") + m_xvfb.errorString();
    QDeadlineTimer deadline(20000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired()) {
        if (m_xvfb.state() == QProcess::NotRunning)
            return QStringLiteral("Xvfb ended: ") + QString::fromLocal8Bit(m_xvfb.readAllStandardError());
        m_xvfb.waitForReadyRead(200);
        out += m_xvfb.readAllStandardOutput();
    }
    bool ok = false;
    int number = out.trimmed().toInt(&ok);
    if (!ok)
        return QStringLiteral("Xvfb named no display: ") + QString::fromLocal8Bit(m_xvfb.readAllStandardError());
    m_strDisplay = QStringLiteral(":%1").arg(number);
    return StartWindowManager();
}

QString CXDesktop::StartWindowManager()
{
    // A real window manager, as every desktop has: it gives the focus back when a window
    // closes, keeps a modal window above the one it blocks, and frames and places windows.
    // Its own settings, so that nothing of the user's openbox setup changes what is tested.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), m_strDisplay);
    m_wm.setProcessEnvironment(env);
    m_wm.setProcessChannelMode(QProcess::MergedChannels);
    // It runs its start-up command once it manages the screen; that command leaves a mark.
    const QString ready = QDir(m_strShotDir).filePath(QStringLiteral(".openbox-ready-%1").arg(QCoreApplication::applicationPid()));
    QFile::remove(ready);
    m_wm.start(QStringLiteral("openbox"), {QStringLiteral("--sm-disable"), QStringLiteral("--config-file"),
                                           QStringLiteral("/etc/xdg/openbox/rc.xml"), QStringLiteral("--startup"),
                                           QStringLiteral("touch '%1'").arg(ready)});
    if (!m_wm.waitForStarted(10000))
        return QStringLiteral("openbox did not start: ") + m_wm.errorString();
    QDeadlineTimer deadline(20000);
    while (!deadline.hasExpired()) {
        if (m_wm.state() == QProcess::NotRunning)
            return QStringLiteral("openbox ended: ") + QString::fromLocal8Bit(m_wm.readAll());
        if (QFile::remove(ready))
            return QString();
        QThread::msleep(100);
    }
    return QStringLiteral("openbox did not take the screen: ") + QString::fromLocal8Bit(m_wm.readAll());
}

QString CXDesktop::Xdo(const QStringList &args, bool *pOk) const
{
    return RunTool(QStringLiteral("xdotool"), args, m_strDisplay, pOk);
}

QStringList CXDesktop::Windows(const QString &strNameRegex) const
{
    QString out = Xdo({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), strNameRegex});
    return out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString CXDesktop::WaitForWindow(const QString &strNameRegex, int nTimeoutMs) const
{
    QDeadlineTimer deadline(nTimeoutMs);
    do {
        QStringList found = Windows(strNameRegex);
        if (!found.isEmpty())
            return found.first();
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return QString();
}

bool CXDesktop::WaitForNoWindow(const QString &strNameRegex, int nTimeoutMs) const
{
    QDeadlineTimer deadline(nTimeoutMs);
    do {
        if (Windows(strNameRegex).isEmpty())
            return true;
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return false;
}

QString CXDesktop::WindowName(const QString &strWindow) const
{
    return Xdo({QStringLiteral("getwindowname"), strWindow});
}

QRect CXDesktop::Geometry(const QString &strWindow) const
{
    // Screen coordinates read through the X server; xdotool's geometry counts a window
    // manager's frame twice (20 pixels too low under openbox's title bar).
    QString out = RunTool(QStringLiteral("xwininfo"), {QStringLiteral("-id"), strWindow}, m_strDisplay, nullptr);
    QRect r;
    for (QString line : out.split(QLatin1Char('\n'))) {
        line = line.trimmed();
        int value = line.section(QLatin1Char(':'), 1).trimmed().toInt();
        if (line.startsWith(QLatin1String("Absolute upper-left X:")))
            r.moveLeft(value);
        else if (line.startsWith(QLatin1String("Absolute upper-left Y:")))
            r.moveTop(value);
        else if (line.startsWith(QLatin1String("Width:")))
            r.setWidth(value);
        else if (line.startsWith(QLatin1String("Height:")))
            r.setHeight(value);
    }
    return r;
}

QRect CXDesktop::FrameGeometry(const QString &strWindow) const
{
    // The window manager puts each window into a frame of its own, a child of the root
    // window; the window's outermost ancestor below the root is that frame.
    static const QRegularExpression parentRe(QStringLiteral("Parent window id: (0x[0-9a-fA-F]+)( \\(the root window\\))?"));
    QString window = strWindow;
    for (int depth = 0; depth < 8; ++depth) {
        QString out = RunTool(QStringLiteral("xwininfo"), {QStringLiteral("-children"), QStringLiteral("-id"), window},
                              m_strDisplay, nullptr);
        QRegularExpressionMatch m = parentRe.match(out);
        if (!m.hasMatch() || !m.captured(2).isEmpty())
            break;
        window = m.captured(1);
    }
    return Geometry(window);
}

void CXDesktop::Focus(const QString &strWindow) const
{
    // Asked of the window manager, as a click on a window or a task bar entry would; it
    // refuses a window that a modal one blocks and activates the modal one instead.
    bool ok = false;
    Xdo({QStringLiteral("windowactivate"), QStringLiteral("--sync"), strWindow}, &ok);
    if (!ok)
        Xdo({QStringLiteral("windowfocus"), QStringLiteral("--sync"), strWindow});
    // Qt makes the window active when the focus arrives; give it that turn.
    QThread::msleep(150);
}

void CXDesktop::Key(const QString &strKeys) const
{
    QStringList args{QStringLiteral("key"), QStringLiteral("--delay"), QStringLiteral("60")};
    args += strKeys.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    Xdo(args);
}

void CXDesktop::Type(const QString &strText) const
{
    Xdo({QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("25"), QStringLiteral("--"), strText});
}

void CXDesktop::MoveMouse(const QPoint &ptScreen) const
{
    // "mousemove --sync" waits for a motion event; when the pointer already stands
    // there none comes, and xdotool only gives up after some fifteen seconds.
    QPoint now;
    for (const QString &line : Xdo({QStringLiteral("getmouselocation"), QStringLiteral("--shell")}).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String("X=")))
            now.setX(line.mid(2).toInt());
        else if (line.startsWith(QLatin1String("Y=")))
            now.setY(line.mid(2).toInt());
    }
    if (now != ptScreen)
        Xdo({QStringLiteral("mousemove"), QStringLiteral("--sync"), QString::number(ptScreen.x()),
             QString::number(ptScreen.y())});
    QThread::msleep(100);
}

void CXDesktop::Click(const QPoint &ptScreen, int nButton) const
{
    MoveMouse(ptScreen);
    Xdo({QStringLiteral("click"), QString::number(nButton)});
}

void CXDesktop::DoubleClick(const QPoint &ptScreen) const
{
    MoveMouse(ptScreen);
    Xdo({QStringLiteral("click"), QStringLiteral("--repeat"), QStringLiteral("2"), QStringLiteral("--delay"),
         QStringLiteral("80"), QStringLiteral("1")});
}

QImage CXDesktop::Shot(const QString &strName) const
{
    QString path = QDir(m_strShotDir).filePath(strName + QStringLiteral(".png"));
    RunTool(QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path}, m_strDisplay, nullptr);
    return QImage(path);
}
