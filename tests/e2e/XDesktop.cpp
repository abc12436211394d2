#include "XDesktop.h"

#include <QDeadlineTimer>
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
    for (const char *tool : {"Xvfb", "xdotool", "import"}) {
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
    return QString();
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
    // --shell prints X=, Y=, WIDTH=, HEIGHT= lines.
    QString out = Xdo({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), strWindow});
    QRect r;
    for (const QString &line : out.split(QLatin1Char('\n'))) {
        QString key = line.section(QLatin1Char('='), 0, 0);
        int value = line.section(QLatin1Char('='), 1).toInt();
        if (key == QLatin1String("X"))
            r.moveLeft(value);
        else if (key == QLatin1String("Y"))
            r.moveTop(value);
        else if (key == QLatin1String("WIDTH"))
            r.setWidth(value);
        else if (key == QLatin1String("HEIGHT"))
            r.setHeight(value);
    }
    return r;
}

void CXDesktop::Focus(const QString &strWindow) const
{
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
