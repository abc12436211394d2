#include "Disk.h"
#include "FixtureServer.h"
#include "KestrelSession.h"
#include "ScreenImage.h"
#include "SshTestServer.h"
#include "XDesktop.h"

#include <QClipboard>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QtTest>

#include <memory>

using namespace ScreenImage;

namespace {

const QSize kScreen(1280, 900);

// What the FTP server is doing when it is killed.
enum EFtpFault { LoadIntoEditor, LoadToFile, PutOnServer };

// A script that floods both of its streams for a minute and keeps every line it is sent
// in typed.txt beside itself. Its last lines name how many it wrote.
const char kFloodScript[] = R"(#!/usr/bin/perl
use strict;
use warnings;
use IO::Handle;
use IO::Select;

sub put {
    my ($fh, $text) = @_;
    while (length $text) {
        my $n = syswrite $fh, $text;
        die "write: $!" unless defined $n;
        substr($text, 0, $n) = '';
    }
}

(my $log_path = $0) =~ s/flood\.pl$/typed.txt/;
open my $log, '>', $log_path or die "$log_path: $!";
$log->autoflush(1);
my $select = IO::Select->new(\*STDIN);
my $pad = 'x' x 80;
my ($n, $in, $eof) = (0, '', 0);
my $end = time + 60;
while (time < $end) {
    while (!$eof && $select->can_read(0)) {
        $eof = 1 unless sysread STDIN, $in, 4096, length $in;
        while ($in =~ s/^(.*)\n//) {
            print $log "$1\n";
            put(\*STDOUT, "GOT $1\n");
        }
    }
    my ($out, $err) = ('', '');
    for (1 .. 100) {
        $n++;
        $out .= "out $n $pad\n";
        $err .= "err $n $pad\n";
    }
    put(\*STDOUT, $out);
    put(\*STDERR, $err);
}
put(\*STDOUT, "END out $n\n");
put(\*STDERR, "END err $n\n");
)";

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

bool WriteFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QStringList Listing(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

// The buttons of the three toolbars as they are on the screen.
struct CToolbarButtons
{
    QVector<QRect> standard;
    QVector<QRect> scripting;
    QVector<QRect> operators;
    QString strWhy;
};

QRect Band(const QRect &window, const QPair<int, int> &rows)
{
    return QRect(window.left(), rows.first, window.width(), rows.second - rows.first + 1);
}

// Finds the buttons by what they show: the operators window holds one image per
// button in rows of three; the docked bars lie between the menu bar and the editor's
// white paper, the standard bar's images above the scripting bar's words.
CToolbarButtons FindToolbarButtons(const QImage &shot, const QRect &main, const QRect &operators)
{
    CToolbarButtons found;
    // The wrapping buttons show a grey box between their brackets or quotes.
    const PixelTest drawn = DiffersFrom(Background(shot, operators), 60);
    for (const auto &row : RowRuns(shot, operators.adjusted(2, 2, -2, -2), drawn, 4)) {
        for (const auto &col : ColumnRuns(shot, Band(operators, row), drawn, 8))
            found.operators.append(QRect(QPoint(col.first, row.first), QPoint(col.second, row.second)));
    }

    QRect paperProbe(main.left() + main.width() / 4, main.top(), main.width() / 2, main.height());
    int paperTop = FirstWhiteRow(shot, paperProbe, 0.95);
    if (paperTop < 0) {
        found.strWhy = QStringLiteral("no editor paper in the main window");
        return found;
    }
    QRect bars(main.left(), main.top(), main.width(), paperTop - main.top());
    QVector<QPair<int, int>> bands;
    for (const auto &band : RowRuns(shot, bars, IsInk, 3)) {
        if (band.second - band.first >= 5)
            bands.append(band);
    }
    if (bands.size() < 3) {
        QStringList rows;
        for (const auto &band : bands)
            rows << QStringLiteral("%1-%2").arg(band.first).arg(band.second);
        found.strWhy = QStringLiteral("ink at rows %1 above the editor (at %2), not a menu and two toolbars")
                           .arg(rows.join(QLatin1Char(' ')))
                           .arg(paperTop);
        return found;
    }
    auto buttonsIn = [&](const QPair<int, int> &band, int nMinGap, int nMinWidth) {
        QRect area = Band(main, band);
        QRgb bg = Background(shot, area);
        QVector<QRect> buttons;
        for (const auto &col : ColumnRuns(shot, area, DiffersFrom(bg, 60), nMinGap)) {
            if (col.second - col.first + 1 >= nMinWidth)
                buttons.append(QRect(QPoint(col.first, band.first), QPoint(col.second, band.second)));
        }
        return buttons;
    };
    found.scripting = buttonsIn(bands[bands.size() - 1], 8, 4);
    found.standard = buttonsIn(bands[bands.size() - 2], 3, 8);
    return found;
}

} // namespace

// Kestrel as a user works with it: the real program on a real X server, driven by key
// presses and mouse clicks, checked through the files it writes, its window titles and
// what the screen shows. Each step leaves a screenshot in the build's e2e-shots folder.
class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void firstStart();
    void typeScriptWithAids();
    void runCompileDebug();
    void runWindowIsModal();
    void putLoadPutBack();
    void runOnServer();
    void optionsTabSizeAndFont();
    void bytelensDumpsCompiledClass();

    void saveFails_data();
    void saveFails();
    void optionsSaveFails_data();
    void optionsSaveFails();
    void ftpServerKilled_data();
    void ftpServerKilled();
    void telnetServerKilled();
    void floodWhileTyping();
    void debugJourney();
    void sshJourney();

private:
    QString Path(const QString &name) const { return m_root.filePath(name); }
    QString SettingsPath() const { return QDir(m_strProgramDir).filePath(QStringLiteral("Kestrel.cfg")); }
    QString StartKestrel(const QStringList &args = {});
    bool EnsureSessionSettings();
    // Kestrel running, with the session's settings when it has to start (a step run
    // on its own); false with the reason reported when it cannot start.
    bool EnsureKestrel();
    CToolbarButtons Toolbars(const QString &strShot);
    // Opens a menu item from the keyboard: Alt and the menu's letter, then the items'.
    void Menu(const QString &strAltLetter, const QString &strItemKeys);
    // Answers the file dialog titled `strTitle` with a path.
    bool AnswerFileDialog(const QString &strTitle, const QString &strPath);
    QString WaitForMessageBox();
    // A message box that is not `strNot` (a window that had the same caption before).
    QString WaitForOtherMessageBox(const QString &strNot, int nTimeoutMs = 20000);
    // The text of a message box, as its Ctrl+C copies it.
    QString MessageBoxText(const QString &strBox);
    void TypeLine(const QString &text, bool bReturn = true);
    int ListRows(const QString &strDialog);
    // What the X clipboard holds, read by this program started again on the display.
    QString Clipboard() const;
    // Clicks into a text box of the window, selects all of it and copies it.
    QString CopyTextAt(const QString &strWindow, const QPoint &ptInWindow);
    struct COutputPanes
    {
        QString strOut, strErr, strStatus;
    };
    // Where the output pane, the error pane and the status line of an output window are.
    struct COutputPoints
    {
        QPoint out, err, status;
    };
    COutputPoints OutputPoints(const QString &strWindow) const;
    // In the debug window: the output area under the source, the lists on the right.
    QPoint DebugLocalsPoint(const QString &strWindow) const;
    // Copies the error pane until it holds the text; false when it never does.
    bool WaitForErrorText(const QString &strWindow, const QString &strText, QString *pErr);
    // The three boxes of the output window, read once the status says the run is over.
    bool WaitForRunEnd(const QString &strWindow, COutputPanes &panes);
    // The last lines of a pane: Ctrl+End and Shift+Up, copied.
    QString PaneTail(const QString &strWindow, const QPoint &ptPane, int nLines);
    void CloseOutputWindow(const QString &strWindow);

    // The FTP server on its port; throttled to that many bytes a second when asked.
    bool StartFtpServer(QString *pError, int nThrottle = 0);
    // Server Access: the session window connected and logged in to the telnet server.
    QString OpenShellAndLogIn();
    QString ShellText(const QString &strShell);
    bool WaitForShellText(const QString &strShell, const QString &strText);
    void ServerMenu(const QString &strShell, const QString &strItem);
    // A line typed into the command box and sent with Return.
    void ShellCommand(const QString &strShell, const QString &strLine);
    // Begins a Load from the server (into the editor or a file) or a Put of the open
    // script, from the menu to the transfer's start; returns the message box that is
    // already up (the download notice), or an empty text.
    QString BeginFtpTransfer(int nFault, const QString &strName);
    void KillFtpServer();
    QString ServerDir() const { return Path(QStringLiteral("server")); }

    QTemporaryDir m_root;
    QProcess m_ftpServer;
    int m_nFtpPort = 0;
    CFixtureServer m_telnetServer;
    QString m_strTelnetUser;
    QString m_strTelnetSkip;
    std::unique_ptr<CXDesktop> m_desktop;
    std::unique_ptr<CKestrelSession> m_kestrel;
    CSmallDisk m_programDisk;
    QString m_strProgramDir;
    QString m_strWorkDir;
    QString m_strScriptPath;
    QByteArray m_baScript;
};

void TestEndToEnd::initTestCase()
{
    QStringList missing = CXDesktop::MissingTools();
    // tools/install-deps installs them: a machine without them is a fault to see, not to skip.
    QVERIFY2(missing.isEmpty(),
             qPrintable(QStringLiteral("the end-to-end test needs %1 (xvfb, openbox, xdotool, x11-utils, imagemagick; "
                                       "see tools/install-deps)")
                            .arg(missing.join(QStringLiteral(", ")))));
    QVERIFY(m_root.isValid());
    m_desktop = std::make_unique<CXDesktop>(QStringLiteral(KESTREL_E2E_SHOTS_DIR));
    QString error = m_desktop->Start(kScreen);
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // As root the program folder is a small disk of its own, so that the Options save
    // can meet a full or read-only disk; otherwise a plain folder.
    m_strProgramDir = Path(QStringLiteral("program"));
    if (CSmallDisk::CanMount()) {
        qint64 size = 4 * 1024 * 1024;
        for (const QFileInfo &fi : QDir(QStringLiteral(KESTREL_BIN_DIR)).entryInfoList(QDir::Files))
            size += fi.size();
        error = m_programDisk.Mount(m_strProgramDir, size);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    error = CKestrelSession::MakeProgramDir(QStringLiteral(KESTREL_BIN_DIR),
                                            QStringLiteral(KESTREL_SOURCE_DIR "/res/KESTREL.FNL"), m_strProgramDir);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    m_strWorkDir = Path(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(m_strWorkDir));

    // The servers on 127.0.0.1: FTP rooted at "/" so that its paths are the local ones,
    // and the telnet server whose login lands in the same folder.
    QVERIFY(QDir().mkpath(ServerDir()));
    const QFile::Permissions open = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner | QFile::ReadGroup
                                    | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther;
    QFile::setPermissions(m_root.path(), open);
    QFile::setPermissions(ServerDir(), open);
    QVERIFY2(StartFtpServer(&error), qPrintable(error));
    if (::geteuid() != 0) {
        m_strTelnetSkip = QStringLiteral("busybox telnetd needs root to start /bin/login for a user of the test's own");
    } else {
        m_strTelnetUser = QStringLiteral("ke2e%1").arg(::getpid());
        QCOMPARE(QProcess::execute(QStringLiteral(KESTREL_FIXTURES_DIR "/telnet-user.sh"),
                                   {QStringLiteral("add"), m_strTelnetUser, QStringLiteral("Kestrel-e2e-9")}),
                 0);
        QVERIFY2(m_telnetServer.Start(QStringLiteral(KESTREL_FIXTURES_DIR "/telnet-server.sh")),
                 "busybox telnetd did not start (busybox-static has the applet)");
    }
    m_kestrel = std::make_unique<CKestrelSession>(*m_desktop, m_strProgramDir, Path(QStringLiteral("home")),
                                                  QStringLiteral(KESTREL_E2E_SHOTS_DIR "/kestrel.log"));
    QFile::remove(QStringLiteral(KESTREL_E2E_SHOTS_DIR "/kestrel.log"));
}

void TestEndToEnd::cleanupTestCase()
{
    if (m_kestrel)
        m_kestrel->Kill();
    m_programDisk.Unmount();
    m_telnetServer.Stop();
    if (!m_strTelnetUser.isEmpty())
        QProcess::execute(QStringLiteral(KESTREL_FIXTURES_DIR "/telnet-user.sh"), {QStringLiteral("remove"), m_strTelnetUser});
    if (m_ftpServer.state() != QProcess::NotRunning) {
        m_ftpServer.closeWriteChannel();
        if (!m_ftpServer.waitForFinished(5000))
            m_ftpServer.kill();
        m_ftpServer.waitForFinished(5000);
    }
}

bool TestEndToEnd::StartFtpServer(QString *pError, int nThrottle)
{
    QStringList args = {QStringLiteral(KESTREL_FIXTURES_DIR "/ftp_server.py"), QStringLiteral("/"),
                        QStringLiteral("kestrel"), QStringLiteral("ftp-e2e-pw")};
    // A server started again keeps the port that Kestrel.cfg names.
    if (m_nFtpPort > 0)
        args << QStringLiteral("--port") << QString::number(m_nFtpPort);
    if (nThrottle > 0)
        args << QStringLiteral("--throttle") << QString::number(nThrottle);
    m_ftpServer.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_ftpServer.start(QStringLiteral("/usr/bin/python3"), args);
    if (!m_ftpServer.waitForStarted(10000)) {
        *pError = QStringLiteral("the FTP server did not start: ") + m_ftpServer.errorString();
        return false;
    }
    QDeadlineTimer deadline(20000);
    QByteArray out;
    while (!out.contains('\n') && !deadline.hasExpired() && m_ftpServer.state() == QProcess::Running) {
        m_ftpServer.waitForReadyRead(200);
        out += m_ftpServer.readAllStandardOutput();
    }
    if (!out.startsWith("PORT ")) {
        *pError = QStringLiteral("the FTP server named no port (python3-pyftpdlib is needed)");
        return false;
    }
    m_nFtpPort = out.mid(5).trimmed().toInt();
    return true;
}

void TestEndToEnd::KillFtpServer()
{
    if (m_ftpServer.state() != QProcess::NotRunning) {
        m_ftpServer.kill();
        m_ftpServer.waitForFinished(5000);
    }
}

QString TestEndToEnd::StartKestrel(const QStringList &args) { return m_kestrel->Start(m_strWorkDir, args); }

void TestEndToEnd::Menu(const QString &strAltLetter, const QString &strItemKeys)
{
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("alt+") + strAltLetter);
    QThread::msleep(300);
    m_desktop->Key(strItemKeys);
}

bool TestEndToEnd::AnswerFileDialog(const QString &strTitle, const QString &strPath)
{
    QString dlg = m_desktop->WaitForWindow(QLatin1Char('^') + strTitle);
    if (dlg.isEmpty())
        return false;
    m_desktop->Focus(dlg);
    // The file name box has the focus when the dialog opens.
    m_desktop->Key(QStringLiteral("ctrl+a"));
    m_desktop->Type(strPath);
    m_desktop->Key(QStringLiteral("Return"));
    return m_desktop->WaitForNoWindow(QLatin1Char('^') + strTitle);
}

QString TestEndToEnd::WaitForMessageBox()
{
    // Message boxes carry the application's name alone as their caption.
    return m_desktop->WaitForWindow(QStringLiteral("^Kestrel$"));
}

QString TestEndToEnd::WaitForOtherMessageBox(const QString &strNot, int nTimeoutMs)
{
    QDeadlineTimer deadline(nTimeoutMs);
    do {
        for (const QString &box : m_desktop->Windows(QStringLiteral("^Kestrel$"))) {
            if (box != strNot)
                return box;
        }
        QThread::msleep(100);
    } while (!deadline.hasExpired());
    return QString();
}

QString TestEndToEnd::MessageBoxText(const QString &strBox)
{
    m_desktop->Focus(strBox);
    m_desktop->Key(QStringLiteral("ctrl+c"));
    QThread::msleep(100);
    return Clipboard();
}

void TestEndToEnd::TypeLine(const QString &text, bool bReturn)
{
    m_desktop->Type(text);
    if (bReturn)
        m_desktop->Key(QStringLiteral("Return"));
}

CToolbarButtons TestEndToEnd::Toolbars(const QString &strShot)
{
    QImage shot = m_desktop->Shot(strShot);
    QString ops = m_desktop->WaitForWindow(QStringLiteral("^Operators$"));
    CToolbarButtons found;
    if (ops.isEmpty()) {
        found.strWhy = QStringLiteral("no operators window");
        return found;
    }
    return FindToolbarButtons(shot, m_desktop->Geometry(m_kestrel->MainWindow()), m_desktop->Geometry(ops));
}

// The rows of a list dialog, counted by the selection highlight: Home selects the
// first row (after a Down, as the first row is current but not selected when the
// list opens), Down the second, End the last.
int TestEndToEnd::ListRows(const QString &strDialog)
{
    QRect area = m_desktop->Geometry(strDialog);
    auto highlight = [&](const QString &keys, const QString &shotName) {
        m_desktop->Key(keys);
        QThread::msleep(300);
        QVector<QPair<int, int>> rows = RowRuns(m_desktop->Shot(shotName), area, IsHighlight, 1);
        return rows.isEmpty() ? -1 : rows.first().first;
    };
    int first = highlight(QStringLiteral("Down Home"), QStringLiteral("list-first"));
    int second = highlight(QStringLiteral("Down"), QStringLiteral("list-second"));
    int last = highlight(QStringLiteral("End"), QStringLiteral("list-last"));
    if (first < 0 || second <= first || last < first)
        return -1;
    return (last - first) / (second - first) + 1;
}

// Settings that the later steps build on, written as a user's Kestrel.cfg would be.
bool TestEndToEnd::EnsureSessionSettings()
{
    QString perl = QStandardPaths::findExecutable(QStringLiteral("perl"));
    QString java = QStandardPaths::findExecutable(QStringLiteral("java"));
    QString javac = QStandardPaths::findExecutable(QStringLiteral("javac"));
    QByteArray cfg = "LOCAL_PERL_EXE=" + perl.toUtf8() + "\n"
                     "LOCAL_PERL_PRM=\n"
                     "REMOTE_PERL_EXE=/usr/bin/perl\n"
                     "REMOTE_PERL_PRM=\n"
                     "RUN_IN_DOS_WINDOW=N\n"
                     "LOCAL_DIRECTORY=" + m_strWorkDir.toUtf8() + "\n"
                     "FTP_HOST_NAME=127.0.0.1\n"
                     "FTP_PORT_NUMBER=" + QByteArray::number(m_nFtpPort) + "\n"
                     "FTP_USER_NAME=kestrel\n"
                     "FTP_USER_PASS=ftp-e2e-pw\n"
                     "REMOTE_DIRECTORY=" + ServerDir().toUtf8() + "\n"
                     "SERVER_TYPE=telnet\n"
                     "SERVER_HOST=127.0.0.1\n"
                     "SERVER_PORT_NUMBER=" + QByteArray::number(m_telnetServer.Port()) + "\n"
                     "SERVER_USER=" + m_strTelnetUser.toUtf8() + "\n"
                     "SERVER_PASS=Kestrel-e2e-9\n"
                     "TAB_EXPAND=Y\n"
                     "TAB_SIZE=4\n"
                     "INDENT_SIZE=4\n"
                     "VIEW_FONT=-13,0,0,0,400,0,0,0,0,3,2,1,49,DejaVu Sans Mono\n"
                     "AUTO_INDENT=Y\n"
                     "LOCAL_JAVA_EXE=" + java.toUtf8() + "\n"
                     "LOCAL_JAVAC_EXE=" + javac.toUtf8() + "\n";
    return WriteFile(SettingsPath(), cfg);
}

bool TestEndToEnd::EnsureKestrel()
{
    if (m_kestrel->IsRunning())
        return true;
    if (!EnsureSessionSettings()) {
        qWarning("cannot write %s", qPrintable(SettingsPath()));
        return false;
    }
    QString error = StartKestrel();
    if (!error.isEmpty())
        qWarning("%s", qPrintable(error));
    return error.isEmpty();
}

QString TestEndToEnd::Clipboard() const
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), m_desktop->Display());
    p.setProcessEnvironment(env);
    p.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--print-clipboard")});
    p.waitForFinished(20000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString TestEndToEnd::CopyTextAt(const QString &strWindow, const QPoint &ptInWindow)
{
    m_desktop->Focus(strWindow);
    m_desktop->Click(m_desktop->Geometry(strWindow).topLeft() + ptInWindow);
    m_desktop->Key(QStringLiteral("ctrl+a ctrl+c"));
    QThread::msleep(100);
    return Clipboard();
}

// The output window holds the output pane over the error pane, and the status line
// at its foot, below its menu bar.
TestEndToEnd::COutputPoints TestEndToEnd::OutputPoints(const QString &strWindow) const
{
    QRect r = m_desktop->Geometry(strWindow);
    const int menu = 24;
    if (m_desktop->WindowName(strWindow).contains(QLatin1String("Debugging"))) {
        // A button row above, the command box below; the source over the output area
        // (55 : 45) in the left column (62 % of the width).
        const int top = menu + 30, split = r.height() - top - 32;
        const int y = top + split * 55 / 100 + 5, height = split - split * 55 / 100 - 5;
        const int x = r.width() * 31 / 100;
        return {QPoint(x, y + (height - 24) * 13 / 40), QPoint(x, y + (height - 24) * 33 / 40),
                QPoint(x, y + height - 12)};
    }
    const int client = r.height() - menu;
    const int h = client - 24;
    return {QPoint(r.width() / 2, menu + h * 13 / 40), QPoint(r.width() / 2, menu + h * 33 / 40),
            QPoint(r.width() / 2, r.height() - 25)};
}

QPoint TestEndToEnd::DebugLocalsPoint(const QString &strWindow) const
{
    QRect r = m_desktop->Geometry(strWindow);
    return QPoint(r.width() * 81 / 100, 24 + 30 + 50);
}

bool TestEndToEnd::WaitForErrorText(const QString &strWindow, const QString &strText, QString *pErr)
{
    QDeadlineTimer deadline(30000);
    do {
        *pErr = CopyTextAt(strWindow, OutputPoints(strWindow).err);
        if (pErr->contains(strText))
            return true;
        QThread::msleep(300);
    } while (!deadline.hasExpired());
    return false;
}

// The status line once the run is over: "Process ..." for a local run, the same after
// the server's name ("user@host: Process ...") for a run on the server.
static bool RunOver(const QString &strStatus)
{
    return (strStatus.startsWith(QLatin1String("Process ")) || strStatus.contains(QLatin1String(": Process ")))
        && !strStatus.contains(QLatin1String("still active"));
}

bool TestEndToEnd::WaitForRunEnd(const QString &strWindow, COutputPanes &panes)
{
    const COutputPoints at = OutputPoints(strWindow);
    QDeadlineTimer deadline(60000);
    do {
        panes.strStatus = CopyTextAt(strWindow, at.status);
        if (RunOver(panes.strStatus))
            break;
        QThread::msleep(300);
    } while (!deadline.hasExpired());
    if (!RunOver(panes.strStatus))
        return false;
    panes.strOut = CopyTextAt(strWindow, at.out);
    panes.strErr = CopyTextAt(strWindow, at.err);
    return true;
}

QString TestEndToEnd::PaneTail(const QString &strWindow, const QPoint &ptPane, int nLines)
{
    m_desktop->Focus(strWindow);
    m_desktop->Click(m_desktop->Geometry(strWindow).topLeft() + ptPane);
    QString keys = QStringLiteral("ctrl+End");
    for (int i = 0; i < nLines; ++i)
        keys += QStringLiteral(" shift+Up");
    m_desktop->Key(keys + QStringLiteral(" ctrl+c"));
    QThread::msleep(100);
    return Clipboard();
}

void TestEndToEnd::CloseOutputWindow(const QString &strWindow)
{
    m_desktop->Focus(strWindow);
    m_desktop->Key(QStringLiteral("alt+o"));
    QThread::msleep(300);
    m_desktop->Key(QStringLiteral("c"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Output Window")));
}

// 1. A fresh program folder with no Kestrel.cfg: the window, its toolbars and status
// pane, a new script holding only "#!", and the settings at their defaults.
void TestEndToEnd::firstStart()
{
    QFile::remove(SettingsPath());
    QString error = StartKestrel();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(m_kestrel->Title(), QStringLiteral("Untitled - Kestrel"));
    QVERIFY(!QFile::exists(SettingsPath()));

    // Two thirds of the screen, a quarter of that from its top-left corner.
    QRect main = m_desktop->Geometry(m_kestrel->MainWindow());
    QCOMPARE(main, QRect(213, 150, 852, 600));
    QString ops = m_desktop->WaitForWindow(QStringLiteral("^Operators$"));
    QVERIFY(!ops.isEmpty());
    // The operators window floats beside the main window, their title bars level.
    const QRect mainFrame = m_desktop->FrameGeometry(m_kestrel->MainWindow());
    QCOMPARE(m_desktop->FrameGeometry(ops).topLeft(), QPoint(mainFrame.right() + 2, mainFrame.top()));

    CToolbarButtons bars = Toolbars(QStringLiteral("01-first-start"));
    QVERIFY2(bars.strWhy.isEmpty(), qPrintable(bars.strWhy));
    QCOMPARE(bars.operators.size(), 44);
    QCOMPARE(bars.scripting.size(), 11);
    // New, Open, Save, Cut, Copy, Paste, Print, About, Run.
    QCOMPARE(bars.standard.size(), 9);

    // The status pane shows the caret's place and follows it.
    QRect status(main.left() + main.width() / 2, main.bottom() - 20, main.width() / 2, 20);
    QImage before = m_desktop->Shot(QStringLiteral("01-status-line1"));
    QVERIFY(!RowRuns(before, status, IsInk).isEmpty());
    m_desktop->Key(QStringLiteral("ctrl+End"));
    QImage after = m_desktop->Shot(QStringLiteral("01-status-line2"));
    QVERIFY(ChangedPixels(before, after, status) > 0);

    // The standard bar's Save asks for a name: the new script holds only the "#!" line.
    QString first = QDir(m_strWorkDir).filePath(QStringLiteral("first.pl"));
    m_desktop->Click(bars.standard[2].center());
    QVERIFY(AnswerFileDialog(QStringLiteral("Save As"), first));
    QTRY_COMPARE(ReadFile(first), QByteArray("#!\n"));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^first\\.pl - Kestrel$")));

    // Options, then OK: the file is written with every setting at its default.
    Menu(QStringLiteral("t"), QStringLiteral("o"));
    QString sheet = m_desktop->WaitForWindow(QStringLiteral("^Options"));
    QVERIFY(!sheet.isEmpty());
    m_desktop->Shot(QStringLiteral("01-options"));
    m_desktop->Focus(sheet);
    m_desktop->Key(QStringLiteral("Return"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Options")));
    QTRY_VERIFY(QFile::exists(SettingsPath()));
    const QByteArray defaults = "LOCAL_PERL_EXE=\nLOCAL_PERL_PRM=\nREMOTE_PERL_EXE=\nREMOTE_PERL_PRM=\n"
                                "RUN_IN_DOS_WINDOW=N\nFTP_HOST_NAME=\nFTP_PORT_NUMBER=00000\nFTP_USER_NAME=\n"
                                "FTP_USER_PASS=\nLOCAL_DIRECTORY=\nREMOTE_DIRECTORY=\nTAB_EXPAND=\nTAB_SIZE=\n"
                                "INDENT_SIZE=\nVIEW_FONT=\nAUTO_INDENT=N\nLOCAL_JAVA_EXE=\nLOCAL_JAVA_PRM=\n"
                                "REMOTE_JAVA_EXE=\nREMOTE_JAVA_PRM=\nLOCAL_JAVAC_EXE=\nLOCAL_JAVAC_PRM=\n"
                                "REMOTE_JAVAC_EXE=\nREMOTE_JAVAC_PRM=\nSERVER_USER=\nSERVER_PASS=\nSERVER_TYPE=\n"
                                "SERVER_HOST=\nSERVER_PORT_NUMBER=00000\nSERVER_CLIENT_EXEPATH=\n";
    QTRY_COMPARE(ReadFile(SettingsPath()), defaults);
    // It holds passwords in clear.
    QCOMPARE(QFile::permissions(SettingsPath()) & (QFile::ReadGroup | QFile::ReadOther), QFile::Permissions());

    QVERIFY(m_kestrel->Exit());
}

// 2. A script typed with the keyboard aids (Tab gives blanks, Enter indents like the
// line above and one level more after "{", Home goes to the first non-blank), an
// operator and a template from the toolbars, its scalars listed, saved under a folder
// whose name has a blank.
void TestEndToEnd::typeScriptWithAids()
{
    QVERIFY(EnsureSessionSettings());
    QString error = StartKestrel();
    QVERIFY2(error.isEmpty(), qPrintable(error));
    CToolbarButtons bars = Toolbars(QStringLiteral("02-start"));
    QVERIFY2(bars.strWhy.isEmpty(), qPrintable(bars.strWhy));
    QCOMPARE(bars.operators.size(), 44);
    QCOMPARE(bars.scripting.size(), 11);
    const QRect plusAssign = bars.operators[4];
    const QRect ifTemplate = bars.scripting[0];

    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+End"));
    TypeLine(QStringLiteral("use strict;"));
    m_desktop->Type(QStringLiteral("my $count = 0;"));
    m_desktop->Key(QStringLiteral("Tab"));
    TypeLine(QStringLiteral("# start"));
    TypeLine(QStringLiteral("while ($count < 3) {"));
    m_desktop->Type(QStringLiteral("$count"));
    m_desktop->Click(plusAssign.center());
    m_kestrel->FocusMain();
    TypeLine(QStringLiteral("1;"));
    TypeLine(QStringLiteral("print \"n=$count\\n\";"));
    // The new line is indented like the one above; Home goes to the brace, and the
    // blanks before it are taken back.
    m_desktop->Type(QStringLiteral("}"));
    m_desktop->Key(QStringLiteral("Home BackSpace BackSpace BackSpace BackSpace End Return"));
    TypeLine(QStringLiteral("my $line = <STDIN>;"));
    m_desktop->Click(ifTemplate.center());
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("Up Up Up Up End Left Left Left"));
    m_desktop->Type(QStringLiteral("defined $line"));
    m_desktop->Key(QStringLiteral("End Return"));
    m_desktop->Type(QStringLiteral("print \"got $line\";"));
    m_desktop->Key(QStringLiteral("Down Down End Return"));
    m_desktop->Type(QStringLiteral("warn \"no input\\n\";"));
    m_desktop->Key(QStringLiteral("ctrl+End"));
    TypeLine(QStringLiteral("warn \"counted $count\\n\";"));
    TypeLine(QStringLiteral("exit $count;"));
    m_desktop->Shot(QStringLiteral("02-typed"));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^Untitled\\* - Kestrel$")));

    // View > Variables > Scalars lists every occurrence of a scalar.
    Menu(QStringLiteral("v"), QStringLiteral("v s"));
    QString list = m_desktop->WaitForWindow(QStringLiteral("^List of Scalar variables"));
    QVERIFY(!list.isEmpty());
    m_desktop->Focus(list);
    m_desktop->Shot(QStringLiteral("02-scalars"));
    QCOMPARE(ListRows(list), 9);
    m_desktop->Key(QStringLiteral("Escape"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^List of Scalar variables")));

    QString folder = Path(QStringLiteral("My Scripts"));
    QVERIFY(QDir().mkpath(folder));
    m_strScriptPath = QDir(folder).filePath(QStringLiteral("count.pl"));
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+s"));
    QVERIFY(AnswerFileDialog(QStringLiteral("Save As"), m_strScriptPath));
    m_baScript = "#!/usr/bin/perl\n"
                 "use strict;\n"
                 "my $count = 0;    # start\n"
                 "while ($count < 3) {\n"
                 "    $count += 1;\n"
                 "    print \"n=$count\\n\";\n"
                 "}\n"
                 "my $line = <STDIN>;\n"
                 "\tif ( defined $line) {\n"
                 "\t    print \"got $line\";\n"
                 "\t}\n"
                 "\telse {\n"
                 "\t    warn \"no input\\n\";\n"
                 "\t}\n"
                 "warn \"counted $count\\n\";\n"
                 "exit $count;\n";
    QTRY_COMPARE(ReadFile(m_strScriptPath), m_baScript);
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^count\\.pl - Kestrel$")));
    m_desktop->Shot(QStringLiteral("02-saved"));
}

// 3. Inputs with method POST, then Run: the answer to the input in the output pane, the
// warning in the error pane, the exit code in the status line. Compile says the syntax
// is OK; Debug steps twice and quits through Send Input.
void TestEndToEnd::runCompileDebug()
{
    if (!m_kestrel->IsRunning() || m_strScriptPath.isEmpty())
        QSKIP("needs the script typed and saved by the step before");
    Menu(QStringLiteral("s"), QStringLiteral("i"));
    QString inputs = m_desktop->WaitForWindow(QStringLiteral("^Specify Script Inputs"));
    QVERIFY(!inputs.isEmpty());
    m_desktop->Focus(inputs);
    // The method box has the focus and keeps what is typed in upper case.
    m_desktop->Type(QStringLiteral("post"));
    m_desktop->Key(QStringLiteral("Tab"));
    m_desktop->Type(QStringLiteral("Kestrel"));
    m_desktop->Key(QStringLiteral("Return"));
    m_desktop->Shot(QStringLiteral("03-inputs"));
    m_desktop->Key(QStringLiteral("alt+s"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Specify Script Inputs")));

    Menu(QStringLiteral("s"), QStringLiteral("r"));
    QString output = m_desktop->WaitForWindow(QStringLiteral("^Output Window"));
    QVERIFY(!output.isEmpty());
    COutputPanes run;
    QVERIFY(WaitForRunEnd(output, run));
    m_desktop->Shot(QStringLiteral("03-run"));
    QCOMPARE(run.strStatus, QStringLiteral("Process completed with exit code 3."));
    QCOMPARE(run.strOut, QStringLiteral("n=1\nn=2\nn=3\ngot Kestrel\n"));
    QCOMPARE(run.strErr, QStringLiteral("counted 3\n"));
    CloseOutputWindow(output);
    QCOMPARE(ReadFile(m_strScriptPath), m_baScript);

    Menu(QStringLiteral("s"), QStringLiteral("c"));
    output = m_desktop->WaitForWindow(QStringLiteral("^Output Window"));
    QVERIFY(!output.isEmpty());
    COutputPanes compile;
    QVERIFY(WaitForRunEnd(output, compile));
    m_desktop->Shot(QStringLiteral("03-compile"));
    QCOMPARE(compile.strStatus, QStringLiteral("Process completed with exit code 0."));
    QVERIFY2(compile.strErr.contains(QLatin1String("count.pl syntax OK")), qPrintable(compile.strErr));
    CloseOutputWindow(output);

    // Debug opens its window at once, without a notice first.
    Menu(QStringLiteral("s"), QStringLiteral("d"));
    output = m_desktop->WaitForWindow(QStringLiteral("^Output Window"));
    QVERIFY(!output.isEmpty());
    m_desktop->Focus(output);
    m_desktop->Key(QStringLiteral("alt+o"));
    QThread::msleep(300);
    m_desktop->Key(QStringLiteral("s"));
    QString send = m_desktop->WaitForWindow(QStringLiteral("^Send Input to Script"));
    QVERIFY(!send.isEmpty());
    m_desktop->Focus(send);
    for (const char *command : {"n", "n", "q"}) {
        m_desktop->Type(QLatin1String(command));
        m_desktop->Key(QStringLiteral("Return"));
        QThread::msleep(500);
    }
    m_desktop->Shot(QStringLiteral("03-debug"));
    COutputPanes debug;
    QVERIFY(WaitForRunEnd(output, debug));
    QCOMPARE(debug.strStatus, QStringLiteral("Process completed with exit code 0."));
    // The debugger shows the line it stops at: the first statement, then two steps on.
    for (int line : {3, 4, 5})
        QVERIFY2(debug.strErr.contains(QStringLiteral("count.pl:%1):").arg(line)), qPrintable(debug.strErr));
    QVERIFY2(!debug.strErr.contains(QLatin1String("count.pl:6):")), qPrintable(debug.strErr));
    CloseOutputWindow(output);
}

// 3c. The debugger: F9 on two lines, Debug runs to the first, Continue to the second,
// where Locals shows the value just computed; Step Over, Continue to the end, and the
// exit code in the status line.
void TestEndToEnd::debugJourney()
{
    QVERIFY(EnsureKestrel());
    const QString script = QDir(m_strWorkDir).filePath(QStringLiteral("journey.pl"));
    QVERIFY(WriteFile(script, "use strict;\n"
                              "my $total = 0;\n"
                              "for my $i (1 .. 3) {\n"
                              "    $total += $i;\n"
                              "}\n"
                              "my $shown = \"total=$total\";\n"
                              "print \"$shown\\n\";\n"
                              "exit 5;\n"));
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+o"));
    QVERIFY(AnswerFileDialog(QStringLiteral("Open"), script));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^journey\\.pl - Kestrel$")));
    m_kestrel->FocusMain();
    // Lines 6 and 7.
    m_desktop->Key(QStringLiteral("ctrl+Home Down Down Down Down Down F9 Down F9"));
    QThread::msleep(300);
    m_desktop->Shot(QStringLiteral("03c-breakpoints"));

    Menu(QStringLiteral("s"), QStringLiteral("d"));
    const QString output = m_desktop->WaitForWindow(QStringLiteral("^Output Window"));
    QVERIFY(!output.isEmpty());
    QVERIFY(m_desktop->WindowName(output).contains(QLatin1String("Debugging")));

    // The run goes to the first breakpoint.
    QString err;
    QVERIFY2(WaitForErrorText(output, QStringLiteral("journey.pl:6)"), &err), qPrintable(err));
    m_desktop->Focus(output);
    m_desktop->Key(QStringLiteral("F5"));
    QVERIFY2(WaitForErrorText(output, QStringLiteral("journey.pl:7)"), &err), qPrintable(err));
    m_desktop->Shot(QStringLiteral("03c-debug-stopped"));

    // Locals, copied: the value computed on line 6.
    QString locals;
    QDeadlineTimer deadline(20000);
    do {
        m_desktop->Focus(output);
        m_desktop->Click(m_desktop->Geometry(output).topLeft() + DebugLocalsPoint(output));
        m_desktop->Key(QStringLiteral("ctrl+a ctrl+c"));
        QThread::msleep(100);
        locals = Clipboard();
    } while (!locals.contains(QLatin1String("total=6")) && !deadline.hasExpired());
    QVERIFY2(locals.contains(QLatin1String("$shown")) && locals.contains(QLatin1String("total=6")),
             qPrintable(locals));
    QVERIFY2(locals.contains(QLatin1String("$total\t6")), qPrintable(locals));

    m_desktop->Focus(output);
    m_desktop->Key(QStringLiteral("F10"));
    QVERIFY2(WaitForErrorText(output, QStringLiteral("journey.pl:8)"), &err), qPrintable(err));
    m_desktop->Focus(output);
    m_desktop->Key(QStringLiteral("F5"));
    COutputPanes debug;
    QVERIFY(WaitForRunEnd(output, debug));
    m_desktop->Shot(QStringLiteral("03c-debug-end"));
    QCOMPARE(debug.strStatus, QStringLiteral("Process completed with exit code 5."));
    QCOMPARE(debug.strOut, QStringLiteral("total=6\n"));
    CloseOutputWindow(output);
}

// 3b. While a run's window is open the main window takes no input, as a user meets it
// under a window manager: a click on the Run button starts no second run, a click on a
// template, into the editor and typing change nothing, and File > Exit does not end
// Kestrel. Escape with the focus in a pane then closes the window as Close does, and
// the next run's window opens where the user moved this one.
void TestEndToEnd::runWindowIsModal()
{
    if (!m_kestrel->IsRunning() || m_strScriptPath.isEmpty())
        QSKIP("needs the script typed and saved by the steps before");
    CToolbarButtons bars = Toolbars(QStringLiteral("03-modal-before"));
    QVERIFY2(bars.strWhy.isEmpty(), qPrintable(bars.strWhy));
    const QRect runButton = bars.standard.last();
    const QRect ifTemplate = bars.scripting[0];
    const QRect main = m_desktop->Geometry(m_kestrel->MainWindow());
    const QString title = m_kestrel->Title();

    Menu(QStringLiteral("s"), QStringLiteral("r"));
    QString output = m_desktop->WaitForWindow(QStringLiteral("^Output Window"));
    QVERIFY(!output.isEmpty());
    COutputPanes run;
    QVERIFY(WaitForRunEnd(output, run));

    // The window opens over the middle of the main window; moved down and right, as a user
    // would to see the editor beside it, it leaves the toolbars and some paper free.
    const QPoint opened = m_desktop->Geometry(output).topLeft();
    m_desktop->Xdo({QStringLiteral("windowmove"), QStringLiteral("--sync"), output,
                    QString::number(main.center().x()), QString::number(main.center().y())});
    QThread::msleep(300);
    const QPoint moved = m_desktop->Geometry(output).topLeft();
    // A point of the editor's paper that the output window does not cover.
    const QRect covered = m_desktop->FrameGeometry(output).adjusted(-2, -2, 2, 2);
    QPoint paper;
    for (const QPoint &p : {QPoint(main.left() + 80, main.bottom() - 80), QPoint(main.right() - 40, main.bottom() - 80),
                            QPoint(main.left() + 80, runButton.bottom() + 80),
                            QPoint(main.right() - 40, runButton.bottom() + 80)}) {
        if (!covered.contains(p)) {
            paper = p;
            break;
        }
    }
    QVERIFY2(!paper.isNull(), "the output window covers the whole editor");
    QVERIFY2(!covered.contains(runButton.center()), "the output window covers the Run button");
    QVERIFY2(!covered.contains(ifTemplate.center()), "the output window covers the if template");

    m_desktop->Click(runButton.center());
    m_desktop->Click(ifTemplate.center());
    m_desktop->Click(paper);
    m_desktop->Type(QStringLiteral("zzz"));
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("alt+f"));
    QThread::msleep(300);
    m_desktop->Key(QStringLiteral("x"));
    QThread::msleep(1500);
    m_desktop->Shot(QStringLiteral("03-modal-clicked"));
    QVERIFY2(m_kestrel->IsRunning(), "File > Exit ended Kestrel while a run's window was open");
    QCOMPARE(m_desktop->Windows(QStringLiteral("^Output Window")).size(), 1);
    QCOMPARE(m_kestrel->Title(), title);
    QCOMPARE(ReadFile(m_strScriptPath), m_baScript);

    // The window manager gives the focus to the modal window, not to the main one.
    m_desktop->Click(m_desktop->Geometry(output).topLeft() + OutputPoints(output).out);
    m_desktop->Key(QStringLiteral("Escape"));
    QVERIFY2(m_desktop->WaitForNoWindow(QStringLiteral("^Output Window"), 5000),
             "Escape in the output pane did not close the output window");
    // The main window takes keys again: the caret moves, and the status pane with it.
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+End"));
    const QRect status(main.left() + main.width() / 2, main.bottom() - 20, main.width() / 2, 20);
    QImage before = m_desktop->Shot(QStringLiteral("03-modal-closed"));
    m_desktop->Key(QStringLiteral("Up Up"));
    QImage after = m_desktop->Shot(QStringLiteral("03-modal-keys-again"));
    QVERIFY(ChangedPixels(before, after, status) > 0);
    QCOMPARE(m_kestrel->Title(), title);

    // The next run's window opens where the user left this one. Put back where it first
    // opened, it opens there again for the steps after.
    Menu(QStringLiteral("s"), QStringLiteral("r"));
    output = m_desktop->WaitForWindow(QStringLiteral("^Output Window"));
    QVERIFY(!output.isEmpty());
    const QPoint reopened = m_desktop->Geometry(output).topLeft();
    QVERIFY2((reopened - moved).manhattanLength() <= 8,
             qPrintable(QStringLiteral("left at %1,%2, reopened at %3,%4")
                            .arg(moved.x()).arg(moved.y()).arg(reopened.x()).arg(reopened.y())));
    COutputPanes again;
    QVERIFY(WaitForRunEnd(output, again));
    QCOMPARE(again.strStatus, QStringLiteral("Process completed with exit code 3."));
    m_desktop->Xdo({QStringLiteral("windowmove"), QStringLiteral("--sync"), output, QString::number(opened.x()),
                    QString::number(opened.y())});
    QThread::msleep(300);
    CloseOutputWindow(output);
}

// 4. Put on server; a change in the editor; Load from server into the editor, which
// gives back what was put; a change saved and put back where it was loaded from.
void TestEndToEnd::putLoadPutBack()
{
    if (!m_kestrel->IsRunning() || m_strScriptPath.isEmpty())
        QSKIP("needs the script typed and saved by the steps before");
    const QString onServer = QDir(ServerDir()).filePath(QStringLiteral("count.pl"));

    // "&Put on server" shares its letter with "&Print...": the letter selects, Return runs.
    Menu(QStringLiteral("f"), QStringLiteral("p Return"));
    QString login = m_desktop->WaitForWindow(QStringLiteral("^Server Login"));
    QVERIFY(!login.isEmpty());
    m_desktop->Focus(login);
    m_desktop->Key(QStringLiteral("Return"));
    QString browser = m_desktop->WaitForWindow(QStringLiteral("^Put on Server - count\\.pl"));
    QVERIFY(!browser.isEmpty());
    m_desktop->Focus(browser);
    m_desktop->Shot(QStringLiteral("04-put"));
    m_desktop->Key(QStringLiteral("alt+p"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Put on Server")));
    QTRY_COMPARE_WITH_TIMEOUT(ReadFile(onServer), m_baScript, 20000);

    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+End"));
    m_desktop->Type(QStringLiteral("# changed here"));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^count\\.pl\\* - Kestrel$")));

    Menu(QStringLiteral("f"), QStringLiteral("l"));
    login = m_desktop->WaitForWindow(QStringLiteral("^Server Login"));
    QVERIFY(!login.isEmpty());
    m_desktop->Focus(login);
    m_desktop->Key(QStringLiteral("Return"));
    browser = m_desktop->WaitForWindow(QStringLiteral("^Load from [Ss]erver"));
    QVERIFY(!browser.isEmpty());
    m_desktop->Focus(browser);
    // The file list takes the left of the dialog under the current folder.
    QRect b = m_desktop->Geometry(browser);
    m_desktop->Click(b.topLeft() + QPoint(b.width() / 3, b.height() * 2 / 3));
    m_desktop->Type(QStringLiteral("count.pl"));
    m_desktop->Shot(QStringLiteral("04-load"));
    m_desktop->Key(QStringLiteral("alt+l"));
    QString box = WaitForMessageBox();
    QVERIFY(!box.isEmpty());
    m_desktop->Shot(QStringLiteral("04-will-download"));
    m_desktop->Focus(box);
    m_desktop->Key(QStringLiteral("Return"));
    // The changed text is not saved: the question about it is answered No.
    QString question;
    QTRY_VERIFY_WITH_TIMEOUT(!(question = WaitForMessageBox()).isEmpty() && question != box, 20000);
    box = question;
    m_desktop->Focus(box);
    m_desktop->Shot(QStringLiteral("04-save-changes"));
    m_desktop->Key(QStringLiteral("alt+n"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Kestrel$")));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Load from [Ss]erver")));
    QCOMPARE(ReadFile(m_strScriptPath), m_baScript);
    // The loaded text is the local folder's count.pl to be, not yet written.
    const QString loaded = QDir(m_strWorkDir).filePath(QStringLiteral("count.pl"));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^count\\.pl")));
    QVERIFY(!QFile::exists(loaded));
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+a ctrl+c"));
    QCOMPARE(Clipboard().toUtf8(), m_baScript);

    m_desktop->Key(QStringLiteral("ctrl+End"));
    m_desktop->Type(QStringLiteral("print \"back\\n\";"));
    m_desktop->Key(QStringLiteral("ctrl+s"));
    const QByteArray changed = m_baScript + "print \"back\\n\";";
    QTRY_COMPARE(ReadFile(loaded), changed);
    Menu(QStringLiteral("f"), QStringLiteral("b"));
    QTRY_COMPARE_WITH_TIMEOUT(ReadFile(onServer), changed, 20000);
    m_desktop->Shot(QStringLiteral("04-put-back"));
}

// 5. Server Access: connect to the telnet server, log in; Run on Server runs the script
// put there, which answers a line typed into the session window.
void TestEndToEnd::runOnServer()
{
    if (!m_strTelnetSkip.isEmpty())
        QSKIP(qPrintable(m_strTelnetSkip));
    const QString onServer = QDir(ServerDir()).filePath(QStringLiteral("count.pl"));
    if (!m_kestrel->IsRunning() || !QFile::exists(onServer))
        QSKIP("needs the script put on the server by the step before");
    QFile::setPermissions(onServer, QFile::permissions(onServer) | QFile::ReadOther);

    QString shell = OpenShellAndLogIn();
    if (shell.isEmpty())
        return;
    m_kestrel->FocusMain();
    Menu(QStringLiteral("s"), QStringLiteral("s"));
    QVERIFY2(WaitForShellText(shell, QStringLiteral("n=3")), qPrintable(ShellText(shell)));
    // The script waits for its input: a line typed into the command box.
    ShellCommand(shell, QStringLiteral("from telnet"));
    QVERIFY2(WaitForShellText(shell, QStringLiteral("got from telnet")), qPrintable(ShellText(shell)));
    QString text = ShellText(shell);
    QVERIFY2(text.contains(QLatin1String("counted 3")), qPrintable(text));
    m_desktop->Shot(QStringLiteral("05-run-on-server"));
    ServerMenu(shell, QStringLiteral("d"));
    m_desktop->Focus(shell);
    m_desktop->Key(QStringLiteral("Escape"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Run on Server")));
}

QString TestEndToEnd::OpenShellAndLogIn()
{
    Menu(QStringLiteral("t"), QStringLiteral("s"));
    QString shell = m_desktop->WaitForWindow(QStringLiteral("^Run on Server"));
    if (shell.isEmpty()) {
        QTest::qFail("no Run on Server window", __FILE__, __LINE__);
        return QString();
    }
    ServerMenu(shell, QStringLiteral("n"));
    if (!WaitForShellText(shell, QStringLiteral("login:"))) {
        QTest::qFail(qPrintable(QStringLiteral("no login prompt: ") + ShellText(shell)), __FILE__, __LINE__);
        return QString();
    }
    ServerMenu(shell, QStringLiteral("l"));
    // The login changes to the server folder; the prompt follows.
    if (!WaitForShellText(shell, QStringLiteral("$ "))) {
        QTest::qFail(qPrintable(QStringLiteral("no shell prompt: ") + ShellText(shell)), __FILE__, __LINE__);
        return QString();
    }
    return shell;
}

QString TestEndToEnd::ShellText(const QString &strShell)
{
    QRect r = m_desktop->Geometry(strShell);
    return CopyTextAt(strShell, QPoint(r.width() / 2, r.height() / 2));
}

bool TestEndToEnd::WaitForShellText(const QString &strShell, const QString &strText)
{
    // Reading the window costs a click, two keys and a clipboard transfer: poll gently.
    QDeadlineTimer deadline(30000);
    do {
        if (ShellText(strShell).contains(strText))
            return true;
        QThread::msleep(500);
    } while (!deadline.hasExpired());
    return false;
}

void TestEndToEnd::ServerMenu(const QString &strShell, const QString &strItem)
{
    m_desktop->Focus(strShell);
    m_desktop->Key(QStringLiteral("alt+s"));
    QThread::msleep(300);
    m_desktop->Key(strItem);
}

void TestEndToEnd::ShellCommand(const QString &strShell, const QString &strLine)
{
    // The command box runs along the foot of the window.
    QRect r = m_desktop->Geometry(strShell);
    m_desktop->Focus(strShell);
    m_desktop->Click(r.topLeft() + QPoint(r.width() / 3, r.height() - 20));
    // It keeps the line sent last.
    m_desktop->Key(QStringLiteral("ctrl+a"));
    m_desktop->Type(strLine);
    m_desktop->Key(QStringLiteral("Return"));
}

// 6. Options: a new tab size and font, OK; the file holds its thirty lines, the editor
// shows the font at once and the next new script indents with the new size.
void TestEndToEnd::optionsTabSizeAndFont()
{
    QVERIFY(EnsureKestrel());
    QRect main = m_desktop->Geometry(m_kestrel->MainWindow());
    QRect paper = main.adjusted(40, 90, -20, -60);
    QImage before = m_desktop->Shot(QStringLiteral("06-before"));
    QVector<QPair<int, int>> linesBefore = RowRuns(before, paper, IsInk, 2);
    QVERIFY(!linesBefore.isEmpty());

    Menu(QStringLiteral("t"), QStringLiteral("o"));
    QString sheet = m_desktop->WaitForWindow(QStringLiteral("^Options"));
    QVERIFY(!sheet.isEmpty());
    m_desktop->Focus(sheet);
    // Perl, FTP, Editor: the focus goes to the page's first field, the tab size.
    m_desktop->Key(QStringLiteral("ctrl+Tab ctrl+Tab"));
    m_desktop->Key(QStringLiteral("ctrl+a"));
    m_desktop->Type(QStringLiteral("6"));
    m_desktop->Key(QStringLiteral("alt+f"));
    QString font = m_desktop->WaitForWindow(QStringLiteral("^Select Font"));
    QVERIFY(!font.isEmpty());
    m_desktop->Focus(font);
    // The family list takes typed letters as a search; the size box follows the style list.
    m_desktop->Type(QStringLiteral("DejaVu Serif"));
    m_desktop->Key(QStringLiteral("Tab Tab ctrl+a"));
    m_desktop->Type(QStringLiteral("16"));
    m_desktop->Shot(QStringLiteral("06-font"));
    m_desktop->Key(QStringLiteral("Return"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Select Font")));
    m_desktop->Focus(sheet);
    m_desktop->Shot(QStringLiteral("06-options"));
    // The font button has the focus, and Return would press it again: Tab off it first.
    m_desktop->Key(QStringLiteral("Tab Return"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Options")));

    QTRY_VERIFY(ReadFile(SettingsPath()).contains("TAB_SIZE=6\n"));
    QList<QByteArray> lines = ReadFile(SettingsPath()).split('\n');
    QCOMPARE(lines.takeLast(), QByteArray());
    QCOMPARE(lines.size(), 30);
    QByteArray viewFont;
    for (const QByteArray &line : lines) {
        if (line.startsWith("VIEW_FONT="))
            viewFont = line.mid(10);
    }
    QList<QByteArray> fields = viewFont.split(',');
    QCOMPARE(fields.size(), 14);
    QCOMPARE(fields[13], QByteArray("DejaVu Serif"));
    QCOMPARE(fields[0], QByteArray("-21")); // 16 points at 96 dpi
    QCOMPARE(fields[4], QByteArray("400"));
    QCOMPARE(fields[5], QByteArray("0")); // not italic

    // The editor's lines are drawn in the larger font at once.
    QThread::msleep(300);
    QImage after = m_desktop->Shot(QStringLiteral("06-font-applied"));
    QVector<QPair<int, int>> linesAfter = RowRuns(after, paper, IsInk, 2);
    QVERIFY(!linesAfter.isEmpty());
    int heightBefore = linesBefore.first().second - linesBefore.first().first;
    int heightAfter = linesAfter.first().second - linesAfter.first().first;
    QVERIFY2(heightAfter * 10 >= heightBefore * 14, qPrintable(QStringLiteral("first line %1 px high, was %2 px")
                                                                   .arg(heightAfter)
                                                                   .arg(heightBefore)));

    // A new script takes the new tab size.
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+n"));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^Untitled - Kestrel$")));
    m_desktop->Key(QStringLiteral("ctrl+End Tab"));
    m_desktop->Type(QStringLiteral("x"));
    m_desktop->Key(QStringLiteral("ctrl+s"));
    QString tabbed = QDir(m_strWorkDir).filePath(QStringLiteral("tabbed.pl"));
    QVERIFY(AnswerFileDialog(QStringLiteral("Save As"), tabbed));
    QTRY_COMPARE(ReadFile(tabbed), QByteArray("#!/usr/bin/perl\n      x"));
}

// 7. A Java source typed, saved and compiled from Kestrel; Bytelens dumps the class file
// that the compiler made.
void TestEndToEnd::bytelensDumpsCompiledClass()
{
    QVERIFY(EnsureKestrel());
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+n"));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^Untitled - Kestrel$")));
    m_desktop->Key(QStringLiteral("ctrl+a BackSpace"));
    TypeLine(QStringLiteral("public class Hello {"));
    TypeLine(QStringLiteral("public static void main(String[] args) {"));
    TypeLine(QStringLiteral("System.out.println(\"Hello from Java\");"));
    m_desktop->Type(QStringLiteral("}"));
    m_desktop->Key(QStringLiteral("Return"));
    m_desktop->Type(QStringLiteral("}"));
    QString source = QDir(m_strWorkDir).filePath(QStringLiteral("Hello.java"));
    m_desktop->Key(QStringLiteral("ctrl+s"));
    QVERIFY(AnswerFileDialog(QStringLiteral("Save As"), source));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^Hello\\.java")));

    Menu(QStringLiteral("s"), QStringLiteral("c"));
    QString output = m_desktop->WaitForWindow(QStringLiteral("^Output Window"));
    QVERIFY(!output.isEmpty());
    COutputPanes compile;
    QVERIFY(WaitForRunEnd(output, compile));
    QCOMPARE(compile.strStatus, QStringLiteral("Process completed with exit code 0."));
    CloseOutputWindow(output);
    const QString classFile = QDir(m_strWorkDir).filePath(QStringLiteral("Hello.class"));
    const QByteArray bytes = ReadFile(classFile);
    QVERIFY(bytes.startsWith("\xCA\xFE\xBA\xBE"));

    // Bytelens as a user starts it from the program folder, with the class's name typed
    // into its box and Dump pressed.
    QProcess bytelens;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), m_desktop->Display());
    env.insert(QStringLiteral("HOME"), Path(QStringLiteral("home")));
    bytelens.setProcessEnvironment(env);
    bytelens.setWorkingDirectory(m_strWorkDir);
    bytelens.start(QDir(m_strProgramDir).filePath(QStringLiteral("bytelens")), QStringList());
    QVERIFY(bytelens.waitForStarted(10000));
    QString dlg = m_desktop->WaitForWindow(QStringLiteral("^Class Dumper"));
    QVERIFY(!dlg.isEmpty());
    m_desktop->Focus(dlg);
    m_desktop->Type(classFile);
    m_desktop->Key(QStringLiteral("Return"));
    QThread::msleep(800);
    m_desktop->Shot(QStringLiteral("07-bytelens"));
    // Its listing, copied from the dialog, is the file's bytes.
    QString listing = CopyTextAt(dlg, QPoint(m_desktop->Geometry(dlg).width() / 2, m_desktop->Geometry(dlg).height() * 2 / 3));
    bytelens.kill();
    bytelens.waitForFinished(5000);
    QStringList rows = listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), (bytes.size() + 15) / 16);
    QVERIFY2(rows.first().startsWith(QLatin1String("000000  CA FE BA BE")), qPrintable(rows.first()));

    // The same listing as the command line prints it.
    QProcess dump;
    dump.start(QDir(m_strProgramDir).filePath(QStringLiteral("bytelens")), {QStringLiteral("--dump"), classFile});
    QVERIFY(dump.waitForFinished(20000));
    QCOMPARE(dump.exitCode(), 0);
    QStringList printed = QString::fromLatin1(dump.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    QCOMPARE(printed, rows);
}

void TestEndToEnd::saveFails_data()
{
    QTest::addColumn<bool>("bFull");
    QTest::newRow("full disk") << true;
    QTest::newRow("read-only disk") << false;
}

// Save onto a full or read-only disk: a message, the file as it was, the text still
// in the editor and saved elsewhere.
void TestEndToEnd::saveFails()
{
    QFETCH(bool, bFull);
    if (bFull && !CSmallDisk::CanMount())
        QSKIP("a full disk needs a tmpfs mount, which needs root");
    CSmallDisk disk;
    QString dir = Path(bFull ? QStringLiteral("full disk") : QStringLiteral("read-only disk"));
    if (CSmallDisk::CanMount()) {
        QString error = disk.Mount(dir, 256 * 1024);
        QVERIFY2(error.isEmpty(), qPrintable(error));
    } else {
        QVERIFY(QDir().mkpath(dir));
    }
    QString kept = QDir(dir).filePath(QStringLiteral("kept.pl"));
    QVERIFY(WriteFile(kept, "print \"kept\\n\";\n"));

    QVERIFY(EnsureKestrel());
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+o"));
    QVERIFY(AnswerFileDialog(QStringLiteral("Open"), kept));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^kept\\.pl - Kestrel$")));
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+End"));
    m_desktop->Type(QStringLiteral("print \"more\\n\";"));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^kept\\.pl\\* - Kestrel$")));

    QString error = bFull ? disk.Fill() : disk.SetReadOnly(dir, true);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QStringList listing = Listing(dir);
    m_desktop->Key(QStringLiteral("ctrl+s"));
    QString box = WaitForMessageBox();
    QVERIFY(!box.isEmpty());
    m_desktop->Shot(bFull ? QStringLiteral("fault-save-full") : QStringLiteral("fault-save-readonly"));
    m_desktop->Focus(box);
    m_desktop->Key(QStringLiteral("Escape"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Kestrel$")));

    QCOMPARE(ReadFile(kept), QByteArray("print \"kept\\n\";\n"));
    QCOMPARE(Listing(dir), listing);
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^kept\\.pl\\* - Kestrel$")));

    // The text is all still there: Save As puts it somewhere else.
    QString rescued = QDir(m_strWorkDir).filePath(bFull ? QStringLiteral("rescued-full.pl")
                                                        : QStringLiteral("rescued-readonly.pl"));
    Menu(QStringLiteral("f"), QStringLiteral("a"));
    QVERIFY(AnswerFileDialog(QStringLiteral("Save As"), rescued));
    QTRY_COMPARE(ReadFile(rescued), QByteArray("print \"kept\\n\";\nprint \"more\\n\";"));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^rescued-.*\\.pl - Kestrel$")));

    if (bFull)
        disk.Unfill();
    else
        disk.SetReadOnly(dir, false);
}

void TestEndToEnd::optionsSaveFails_data() { saveFails_data(); }

// Options onto a full or read-only program folder: a message, Kestrel.cfg as it was,
// and Kestrel goes on.
void TestEndToEnd::optionsSaveFails()
{
    QFETCH(bool, bFull);
    if (bFull && !m_programDisk.IsMounted())
        QSKIP("a full disk needs a tmpfs mount, which needs root");
    QVERIFY(EnsureKestrel());
    const QByteArray settings = ReadFile(SettingsPath());
    QVERIFY(settings.contains("TAB_SIZE="));
    QString error = bFull ? m_programDisk.Fill() : m_programDisk.SetReadOnly(m_strProgramDir, true);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    const QStringList listing = Listing(m_strProgramDir);

    Menu(QStringLiteral("t"), QStringLiteral("o"));
    QString sheet = m_desktop->WaitForWindow(QStringLiteral("^Options"));
    QVERIFY(!sheet.isEmpty());
    m_desktop->Focus(sheet);
    m_desktop->Key(QStringLiteral("ctrl+Tab ctrl+Tab ctrl+a"));
    m_desktop->Type(QStringLiteral("8"));
    m_desktop->Key(QStringLiteral("Return"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Options")));
    QString box = WaitForMessageBox();
    QVERIFY(!box.isEmpty());
    m_desktop->Shot(bFull ? QStringLiteral("fault-options-full") : QStringLiteral("fault-options-readonly"));
    m_desktop->Focus(box);
    m_desktop->Key(QStringLiteral("Escape"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Kestrel$")));

    QCOMPARE(ReadFile(SettingsPath()), settings);
    QCOMPARE(Listing(m_strProgramDir), listing);

    if (bFull)
        m_programDisk.Unfill();
    else
        m_programDisk.SetReadOnly(m_strProgramDir, false);
    // With room again, the same change is saved.
    Menu(QStringLiteral("t"), QStringLiteral("o"));
    sheet = m_desktop->WaitForWindow(QStringLiteral("^Options"));
    QVERIFY(!sheet.isEmpty());
    m_desktop->Focus(sheet);
    m_desktop->Key(QStringLiteral("ctrl+Tab ctrl+Tab ctrl+a"));
    m_desktop->Type(QStringLiteral("8"));
    m_desktop->Key(QStringLiteral("Return"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Options")));
    QTRY_VERIFY(ReadFile(SettingsPath()).contains("TAB_SIZE=8\n"));
}

void TestEndToEnd::ftpServerKilled_data()
{
    QTest::addColumn<int>("nFault");
    QTest::newRow("load into the editor") << int(LoadIntoEditor);
    QTest::newRow("load to a file") << int(LoadToFile);
    QTest::newRow("put on server") << int(PutOnServer);
}

QString TestEndToEnd::BeginFtpTransfer(int nFault, const QString &strName)
{
    if (nFault == PutOnServer) {
        Menu(QStringLiteral("f"), QStringLiteral("p Return"));
    } else {
        Menu(QStringLiteral("f"), QStringLiteral("l"));
    }
    QString login = m_desktop->WaitForWindow(QStringLiteral("^Server Login"));
    if (login.isEmpty()) {
        QTest::qFail("no Server Login", __FILE__, __LINE__);
        return QString();
    }
    m_desktop->Focus(login);
    m_desktop->Key(QStringLiteral("Return"));
    if (nFault == PutOnServer) {
        QString browser = m_desktop->WaitForWindow(QStringLiteral("^Put on Server - "));
        if (browser.isEmpty()) {
            QTest::qFail("no Put on Server window", __FILE__, __LINE__);
            return QString();
        }
        m_desktop->Focus(browser);
        m_desktop->Key(QStringLiteral("alt+p"));
        return QString();
    }
    QString browser = m_desktop->WaitForWindow(QStringLiteral("^Load from [Ss]erver"));
    if (browser.isEmpty()) {
        QTest::qFail("no Load from Server window", __FILE__, __LINE__);
        return QString();
    }
    m_desktop->Focus(browser);
    QRect b = m_desktop->Geometry(browser);
    m_desktop->Click(b.topLeft() + QPoint(b.width() / 3, b.height() * 2 / 3));
    m_desktop->Type(strName);
    if (nFault == LoadToFile) {
        // "File Only" is the last of the radio buttons down the right-hand column,
        // above the status line.
        QImage shot = m_desktop->Shot(QStringLiteral("fault-ftp-browser"));
        QRect column(b.right() - 135, b.top() + b.height() / 2, 130, b.height() / 2 - 40);
        QVector<QPair<int, int>> rows = RowRuns(shot, column, IsInk, 3);
        if (rows.isEmpty()) {
            QTest::qFail("no radio buttons found in the browser", __FILE__, __LINE__);
            return QString();
        }
        QVector<QPair<int, int>> cols = ColumnRuns(shot, Band(column, rows.last()), IsInk, 8);
        m_desktop->Click(QPoint((cols.last().first + cols.last().second) / 2, (rows.last().first + rows.last().second) / 2));
    }
    m_desktop->Key(QStringLiteral("alt+l"));
    QString notice = WaitForMessageBox();
    if (notice.isEmpty()) {
        QTest::qFail("no download notice", __FILE__, __LINE__);
        return QString();
    }
    m_desktop->Focus(notice);
    m_desktop->Key(QStringLiteral("Return"));
    return notice;
}

// The FTP server dies in the middle of a transfer: a message that names the file and
// gives the reason, the editor and every local file as they were, and Kestrel goes on:
// the same transfer works once the server is back.
void TestEndToEnd::ftpServerKilled()
{
    QFETCH(int, nFault);
    QVERIFY(EnsureKestrel());
    // Long enough to be cut in the middle: 8 MB at 256 KB a second.
    QByteArray big;
    for (int i = 0; big.size() < 8 * 1024 * 1024; ++i)
        big += "print \"line " + QByteArray::number(i) + " of a long script\\n\";\n";
    const QString name = nFault == PutOnServer ? QStringLiteral("big-put.pl") : QStringLiteral("big-load.pl");
    const QString onServer = QDir(ServerDir()).filePath(name);
    const QString local = QDir(m_strWorkDir).filePath(name);
    QVERIFY(WriteFile(onServer, nFault == PutOnServer ? QByteArray("old server copy\n") : big));
    if (nFault == LoadToFile)
        QVERIFY(WriteFile(local, "old local copy\n"));

    // The editor holds the script to put, or a script with a change not yet saved.
    const QString open = nFault == PutOnServer ? local : QDir(m_strWorkDir).filePath(QStringLiteral("unsaved.pl"));
    const QByteArray saved = nFault == PutOnServer ? big : QByteArray("print \"saved\\n\";\n");
    QVERIFY(WriteFile(open, saved));
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+o"));
    QVERIFY(AnswerFileDialog(QStringLiteral("Open"), open));
    const QString title = QRegularExpression::escape(QFileInfo(open).fileName());
    QVERIFY(m_kestrel->WaitForTitle(QLatin1Char('^') + title + QStringLiteral(" - Kestrel$")));
    QByteArray editorText = saved;
    if (nFault != PutOnServer) {
        m_kestrel->FocusMain();
        m_desktop->Key(QStringLiteral("ctrl+End"));
        m_desktop->Type(QStringLiteral("# not saved"));
        editorText += "# not saved";
        QVERIFY(m_kestrel->WaitForTitle(QLatin1Char('^') + title + QStringLiteral("\\* - Kestrel$")));
    }
    const QStringList listing = Listing(m_strWorkDir);

    KillFtpServer();
    QString error;
    QVERIFY2(StartFtpServer(&error, 256 * 1024), qPrintable(error));
    QString notice = BeginFtpTransfer(nFault, name);
    if (QTest::currentTestFailed())
        return;
    // The progress window, captioned like a message box, shows once the transfer lasts.
    QString progress = WaitForOtherMessageBox(notice);
    QVERIFY(!progress.isEmpty());
    m_desktop->Shot(QStringLiteral("fault-ftp-progress-%1").arg(nFault));
    KillFtpServer();
    QString box = WaitForOtherMessageBox(progress);
    QVERIFY(!box.isEmpty());
    m_desktop->Shot(QStringLiteral("fault-ftp-killed-%1").arg(nFault));
    const QString message = MessageBoxText(box);
    m_desktop->Key(QStringLiteral("Escape"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Kestrel$")));
    const QString headline = nFault == LoadIntoEditor ? QStringLiteral("Could not load %1 from the server.\n").arg(name)
                             : nFault == LoadToFile
                                 ? QStringLiteral("Could not load %1 from the server into %2.\n").arg(name, local)
                                 : QStringLiteral("Error putting file on server\n");
    // The headline, then the reason on a line of its own.
    QVERIFY2(message.startsWith(headline + QStringLiteral("The connection to the server was lost after ")),
             qPrintable(message));

    QCOMPARE(Listing(m_strWorkDir), listing);
    QCOMPARE(ReadFile(open), saved);
    if (nFault == LoadToFile)
        QCOMPARE(ReadFile(local), QByteArray("old local copy\n"));
    QVERIFY(m_kestrel->WaitForTitle(QLatin1Char('^') + title + (nFault == PutOnServer ? "" : "\\*")
                                    + QStringLiteral(" - Kestrel$")));
    if (nFault != PutOnServer) {
        m_kestrel->FocusMain();
        m_desktop->Key(QStringLiteral("ctrl+a ctrl+c"));
        QCOMPARE(Clipboard().toUtf8(), editorText);
        // Saved, so that the next Open asks nothing.
        m_desktop->Key(QStringLiteral("ctrl+End ctrl+s"));
        QTRY_COMPARE(ReadFile(open), editorText);
    }

    // With the server back, the same transfer goes through.
    KillFtpServer();
    QVERIFY2(StartFtpServer(&error), qPrintable(error));
    if (nFault == LoadIntoEditor)
        return;
    BeginFtpTransfer(nFault, name);
    if (QTest::currentTestFailed())
        return;
    QTRY_COMPARE_WITH_TIMEOUT(ReadFile(nFault == PutOnServer ? onServer : local), big, 30000);
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Kestrel$")));
}

// The telnet server dies while a command runs: the session window says so after what
// came before, refuses to send into the closed connection, and Kestrel goes on.
void TestEndToEnd::telnetServerKilled()
{
    if (!m_strTelnetSkip.isEmpty())
        QSKIP(qPrintable(m_strTelnetSkip));
    QVERIFY(EnsureKestrel());
    QString shell = OpenShellAndLogIn();
    if (shell.isEmpty())
        return;
    // A command sent clears the window, so what follows is this session's alone.
    ShellCommand(shell, QStringLiteral("while :; do echo tick; sleep 0.2; done"));
    QVERIFY2(WaitForShellText(shell, QStringLiteral("tick\n")), qPrintable(ShellText(shell)));
    m_telnetServer.Stop();
    QDeadlineTimer deadline(20000);
    QString after;
    do {
        QString text = ShellText(shell);
        after = text.mid(text.lastIndexOf(QLatin1String("tick\n")));
        if (after.contains(QLatin1String("Server closed the connection."))
            || after.contains(QLatin1String("The connection to the server was lost")))
            break;
        QThread::msleep(500);
    } while (!deadline.hasExpired());
    m_desktop->Shot(QStringLiteral("fault-telnet-killed"));
    QVERIFY2(after.contains(QLatin1String("Server closed the connection."))
                 || after.contains(QLatin1String("The connection to the server was lost")),
             qPrintable(after));
    ShellCommand(shell, QStringLiteral("echo after"));
    QVERIFY2(WaitForShellText(shell, QStringLiteral("\"echo after\" was not sent")), qPrintable(ShellText(shell)));
    m_desktop->Focus(shell);
    m_desktop->Key(QStringLiteral("Escape"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Run on Server")));

    // The main window still takes commands.
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+n"));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^Untitled - Kestrel$")));
}

// A script floods both panes for a minute while the user types lines for it and uses the
// run's window (the main window waits, as the run's window is modal): every typed line
// reaches the script, the window answers its commands, both panes end with the script's
// last lines, and the run ends as usual.
void TestEndToEnd::floodWhileTyping()
{
    QVERIFY(EnsureKestrel());
    const QString script = QDir(m_strWorkDir).filePath(QStringLiteral("flood.pl"));
    const QString typed = QDir(m_strWorkDir).filePath(QStringLiteral("typed.txt"));
    QVERIFY(WriteFile(script, kFloodScript));
    QFile::remove(typed);
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+o"));
    QVERIFY(AnswerFileDialog(QStringLiteral("Open"), script));
    QVERIFY2(m_kestrel->WaitForTitle(QStringLiteral("^flood\\.pl - Kestrel$")), qPrintable(m_kestrel->Title()));

    // No inputs of an earlier run: POST ones would be the whole of standard input.
    Menu(QStringLiteral("s"), QStringLiteral("i"));
    QString inputs = m_desktop->WaitForWindow(QStringLiteral("^Specify Script Inputs"));
    QVERIFY(!inputs.isEmpty());
    m_desktop->Focus(inputs);
    m_desktop->Key(QStringLiteral("ctrl+a BackSpace Tab ctrl+a BackSpace alt+s"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Specify Script Inputs")));

    Menu(QStringLiteral("s"), QStringLiteral("r"));
    QString output = m_desktop->WaitForWindow(QStringLiteral("^Output Window"));
    QVERIFY(!output.isEmpty());
    m_desktop->Focus(output);
    m_desktop->Key(QStringLiteral("alt+o"));
    QThread::msleep(300);
    m_desktop->Key(QStringLiteral("s"));
    QString send = m_desktop->WaitForWindow(QStringLiteral("^Send Input to Script"));
    QVERIFY(!send.isEmpty());
    QStringList lines;
    for (int i = 1; i <= 6; ++i) {
        lines << QStringLiteral("line %1 typed in the flood").arg(i);
        m_desktop->Focus(send);
        m_desktop->Type(lines.last());
        m_desktop->Key(QStringLiteral("Return"));
        if (i == 3) {
            m_desktop->Shot(QStringLiteral("fault-flood-typing"));
            m_desktop->Focus(output);
            m_desktop->Key(QStringLiteral("alt+o"));
            QThread::msleep(300);
            m_desktop->Key(QStringLiteral("r"));
            const QString refreshed = CopyTextAt(output, OutputPoints(output).status);
            QCOMPARE(refreshed, QStringLiteral("Process is still active."));
        }
        QThread::msleep(5000);
    }
    m_desktop->Focus(send);
    m_desktop->Key(QStringLiteral("Escape"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Send Input to Script")));

    const COutputPoints at = OutputPoints(output);
    QString status;
    QDeadlineTimer deadline(120000);
    do {
        status = CopyTextAt(output, at.status);
        if (status.contains(QLatin1String("Process completed")))
            break;
        QThread::msleep(1000);
    } while (!deadline.hasExpired());
    m_desktop->Shot(QStringLiteral("fault-flood-end"));
    // The end is added to what the Refresh left in the status line.
    QCOMPARE(status, QStringLiteral("Process is still active.Process completed with exit code 0."));
    for (const QString &stream : {QStringLiteral("out"), QStringLiteral("err")}) {
        const QString tail = PaneTail(output, stream == QLatin1String("out") ? at.out : at.err, 2);
        QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("^%1 (\\d+) x{80}\nEND %1 (\\d+)\n$").arg(stream)).match(tail);
        QVERIFY2(m.hasMatch() && m.captured(1) == m.captured(2), qPrintable(tail));
    }
    CloseOutputWindow(output);
    QCOMPARE(ReadFile(typed), (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());

    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+a ctrl+c"));
    QCOMPARE(Clipboard().toUtf8(), QByteArray(kFloodScript));
    QCOMPARE(m_kestrel->Title(), QStringLiteral("flood.pl - Kestrel"));
    QCOMPARE(ReadFile(script), QByteArray(kFloodScript));
}

// Over SSH against a real sshd (its host key recorded in the user's known_hosts, as
// OpenSSH would have it): with FTP_HOST_NAME sftp://127.0.0.1 and the server type SSH in
// Kestrel.cfg (as Options writes them), Load from server over SFTP, an edit, Put Back;
// then Server Access over SSH lands in the remote folder, takes a command, and Run on
// Server runs the edited script there.
void TestEndToEnd::sshJourney()
{
    if (::geteuid() != 0)
        QSKIP("sshd is started as root only");
    CSshTestServer server;
    QVERIFY(server.Start());
    const QString home = Path(QStringLiteral("home"));
    QVERIFY(QDir().mkpath(home + QStringLiteral("/.ssh")));
    QVERIFY(WriteFile(home + QStringLiteral("/.ssh/known_hosts"), server.KnownHostsLine()));
    const QByteArray script = "my $n = 6 * 7;\nprint \"hello over ssh $n\\n\";\n";
    const QString onServer = server.PathOf(QStringLiteral("journey.pl"));
    QVERIFY(WriteFile(onServer, script));
    // Written here as root; the login user puts it back.
    QFile::setPermissions(onServer, QFile::permissions(onServer) | QFile::WriteOther);
    const QString local = QDir(m_strWorkDir).filePath(QStringLiteral("journey.pl"));
    QFile::remove(local);

    if (m_kestrel->IsRunning())
        m_kestrel->Kill();
    QVERIFY(EnsureSessionSettings());
    QByteArray cfg;
    {
        QFile f(SettingsPath());
        QVERIFY(f.open(QIODevice::ReadOnly));
        cfg = f.readAll();
    }
    auto set = [&cfg](const QByteArray &key, const QByteArray &value) {
        const qsizetype at = cfg.indexOf("\n" + key + "=") + 1;
        const qsizetype end = cfg.indexOf('\n', at);
        cfg.replace(at, end - at, key + "=" + value);
    };
    set("FTP_HOST_NAME", "sftp://127.0.0.1");
    set("FTP_PORT_NUMBER", QByteArray::number(server.Port()));
    set("FTP_USER_NAME", server.User().toUtf8());
    set("FTP_USER_PASS", server.Password().toUtf8());
    set("SERVER_TYPE", "ssh");
    set("SERVER_PORT_NUMBER", QByteArray::number(server.Port()));
    set("SERVER_USER", server.User().toUtf8());
    set("SERVER_PASS", server.Password().toUtf8());
    set("REMOTE_DIRECTORY", server.Files().toUtf8());
    QVERIFY(WriteFile(SettingsPath(), cfg));
    QString error = StartKestrel();
    QVERIFY2(error.isEmpty(), qPrintable(error));

    // Load from server over SFTP.
    Menu(QStringLiteral("f"), QStringLiteral("l"));
    const QString login = m_desktop->WaitForWindow(QStringLiteral("^Server Login"));
    QVERIFY(!login.isEmpty());
    m_desktop->Focus(login);
    m_desktop->Key(QStringLiteral("Return"));
    const QString browser = m_desktop->WaitForWindow(QStringLiteral("^Load from [Ss]erver"));
    QVERIFY(!browser.isEmpty());
    m_desktop->Focus(browser);
    const QRect b = m_desktop->Geometry(browser);
    m_desktop->Click(b.topLeft() + QPoint(b.width() / 3, b.height() * 2 / 3));
    m_desktop->Type(QStringLiteral("journey.pl"));
    m_desktop->Shot(QStringLiteral("ssh-1-sftp-load"));
    m_desktop->Key(QStringLiteral("alt+l"));
    const QString box = WaitForMessageBox();
    QVERIFY(!box.isEmpty());
    m_desktop->Focus(box);
    m_desktop->Key(QStringLiteral("Return"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Load from [Ss]erver")));
    QVERIFY(m_kestrel->WaitForTitle(QStringLiteral("^journey\\.pl")));
    m_kestrel->FocusMain();
    m_desktop->Key(QStringLiteral("ctrl+a ctrl+c"));
    QCOMPARE(Clipboard().toUtf8(), script);

    // Edit, save, Put Back over SFTP.
    m_desktop->Key(QStringLiteral("ctrl+End"));
    m_desktop->Type(QStringLiteral("print \"edited\\n\";"));
    m_desktop->Key(QStringLiteral("ctrl+s"));
    const QByteArray changed = script + "print \"edited\\n\";";
    QTRY_COMPARE(ReadFile(local), changed);
    Menu(QStringLiteral("f"), QStringLiteral("b"));
    QTRY_COMPARE_WITH_TIMEOUT(ReadFile(onServer), changed, 20000);

    // Server Access over SSH, a command, Run on Server.
    Menu(QStringLiteral("t"), QStringLiteral("s"));
    const QString shell = m_desktop->WaitForWindow(QStringLiteral("^Run on Server"));
    QVERIFY(!shell.isEmpty());
    ServerMenu(shell, QStringLiteral("n"));
    QVERIFY2(WaitForShellText(shell, QStringLiteral("$ ")), qPrintable(ShellText(shell)));
    ShellCommand(shell, QStringLiteral("echo in-$(pwd)"));
    QVERIFY2(WaitForShellText(shell, QStringLiteral("in-") + server.Files()), qPrintable(ShellText(shell)));

    // Over SSH the run shows in an output window of its own, as a local run does, its
    // output apart from the shell's prompt.
    m_kestrel->FocusMain();
    Menu(QStringLiteral("s"), QStringLiteral("s"));
    const QString output = m_desktop->WaitForWindow(QStringLiteral("^Output Window"));
    QVERIFY(!output.isEmpty());
    COutputPanes panes;
    QVERIFY2(WaitForRunEnd(output, panes), qPrintable(panes.strStatus));
    QVERIFY2(panes.strOut.contains(QLatin1String("hello over ssh 42\nedited")), qPrintable(panes.strOut));
    m_desktop->Shot(QStringLiteral("ssh-2-run-on-server"));
    CloseOutputWindow(output);

    ServerMenu(shell, QStringLiteral("d"));
    QVERIFY2(WaitForShellText(shell, QStringLiteral("Server closed the connection.")), qPrintable(ShellText(shell)));
    m_desktop->Focus(shell);
    m_desktop->Key(QStringLiteral("Escape"));
    QVERIFY(m_desktop->WaitForNoWindow(QStringLiteral("^Run on Server")));
    // The later steps start Kestrel again with their own settings.
    m_kestrel->Kill();
}

int main(int argc, char *argv[])
{
    // Run again by the test itself to read the X clipboard on the test's display.
    if (argc > 1 && qstrcmp(argv[1], "--print-clipboard") == 0) {
        QGuiApplication app(argc, argv);
        QTextStream(stdout) << QGuiApplication::clipboard()->text();
        return 0;
    }
    QCoreApplication app(argc, argv);
    TestEndToEnd test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}
#include "tst_e2e.moc"

