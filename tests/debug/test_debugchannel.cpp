// The debugger's channel against another local user who races a debug session: whatever
// that user sees of the machine's sockets, nothing of the session reaches them, no
// debugger prompt is theirs, and the session runs as it would without them.
#include "run/ChildProcess.h"
#include "debug/DebugEngine.h"
#include "run/RedirectPipe.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>
#include <functional>
#include <memory>

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A loopback of the test's own, so that the intruder meets only this test's sockets and
// never those of other programs on the machine.
bool OwnLoopback(QString *pWhy)
{
    if (::unshare(CLONE_NEWNET) != 0) {
        *pWhy = QStringLiteral("unshare(CLONE_NEWNET): %1").arg(QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    const int s = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    struct ifreq ifr {};
    std::strncpy(ifr.ifr_name, "lo", IFNAMSIZ - 1);
    const bool ok = s >= 0 && ::ioctl(s, SIOCGIFFLAGS, &ifr) == 0
        && (ifr.ifr_flags |= IFF_UP, ::ioctl(s, SIOCSIFFLAGS, &ifr) == 0);
    if (!ok)
        *pWhy = QStringLiteral("loopback up: %1").arg(QString::fromLocal8Bit(strerror(errno)));
    if (s >= 0)
        ::close(s);
    return ok;
}

const QByteArray kScript = "my $secret = 'open sesame';\n" // 1
                           "my $n = 0;\n"                  // 2
                           "$n += $_ for 1 .. 5;\n"        // 3
                           "print \"sum $n\\n\";\n"        // 4
                           "exit 3;\n";                    // 5

} // namespace

class TestDebugChannel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void strangerGetsNothing_data();
    void strangerGetsNothing();

private:
    QString m_strUser;
    QString m_strWhySkip;
};

void TestDebugChannel::initTestCase()
{
    if (::geteuid() != 0) {
        m_strWhySkip = QStringLiteral("needs root, to create the second user");
        return;
    }
    if (QStandardPaths::findExecutable(QStringLiteral("useradd")).isEmpty()
        || QStandardPaths::findExecutable(QStringLiteral("runuser")).isEmpty()) {
        m_strWhySkip = QStringLiteral("needs useradd and runuser");
        return;
    }
    // Without a network of its own the intruder would race every program on the machine.
    QString why;
    if (!OwnLoopback(&why)) {
        m_strWhySkip = QStringLiteral("needs a network namespace of its own: ") + why;
        return;
    }
    m_strUser = QStringLiteral("kdbgx%1").arg(::getpid());
    QCOMPARE(QProcess::execute(QStringLiteral("useradd"),
                               {QStringLiteral("--no-create-home"), QStringLiteral("--shell"), QStringLiteral("/bin/sh"),
                                m_strUser}),
             0);
}

void TestDebugChannel::cleanupTestCase()
{
    if (!m_strUser.isEmpty())
        QProcess::execute(QStringLiteral("userdel"), {m_strUser});
}

void TestDebugChannel::strangerGetsNothing_data()
{
    QTest::addColumn<QString>("mode");
    QTest::newRow("connects first and stays") << QStringLiteral("hijack");
    QTest::newRow("connects, closes and takes the port") << QStringLiteral("takeover");
}

void TestDebugChannel::strangerGetsNothing()
{
    if (!m_strWhySkip.isEmpty())
        QSKIP(qPrintable(m_strWhySkip));
    QFETCH(QString, mode);

    QTemporaryDir work;
    QVERIFY(work.isValid());
    // The intruder's folder: theirs to write in, as /tmp would be.
    QTemporaryDir theirs;
    QVERIFY(theirs.isValid());
    QFile::setPermissions(theirs.path(), QFileDevice::Permissions(0x7777));
    const QString intruder = theirs.filePath(QStringLiteral("intruder.pl"));
    QVERIFY(QFile::copy(QStringLiteral(KESTREL_FIXTURES_DIR "/debug-intruder.pl"), intruder));
    QFile::setPermissions(intruder, QFileDevice::ReadOther | QFileDevice::ReadOwner);
    const QString log = theirs.filePath(QStringLiteral("log")), ready = theirs.filePath(QStringLiteral("ready")),
                  stop = theirs.filePath(QStringLiteral("stop")), pwned = theirs.filePath(QStringLiteral("pwned"));

    QProcess stranger;
    // However the test ends, the stranger stops.
    const std::unique_ptr<QProcess, std::function<void(QProcess *)>> stopStranger(&stranger, [stop](QProcess *p) {
        QFile(stop).open(QIODevice::WriteOnly);
        p->waitForFinished(20000);
    });
    stranger.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    stranger.start(QStringLiteral("runuser"), {QStringLiteral("-u"), m_strUser, QStringLiteral("--"),
                                                QStringLiteral("perl"), intruder, mode, log, ready, stop, pwned});
    QVERIFY(stranger.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(ready), 20000);

    const QString script = work.filePath(QStringLiteral("secret.pl"));
    {
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kScript);
    }
    CDebugEngine engine;
    QList<int> stops;
    bool bEnded = false;
    QString said;
    connect(&engine, &CDebugEngine::stopped, this, [&](const QString &, int line) { stops.append(line); });
    connect(&engine, &CDebugEngine::sessionEnded, this, [&] { bEnded = true; });
    connect(&engine, &CDebugEngine::debuggerText, this, [&](const QString &t) { said += t; });
    CDebugBreakpoint bp;
    bp.strFile = script;
    bp.nLine = 4;
    engine.SetBreakpoints({bp});
    engine.SetDirectory(work.path());

    CRedirectPipe in, out, err;
    QVERIFY(in.Open() && out.Open() && err.Open());
    CChildProcess child(QStandardPaths::findExecutable(QStringLiteral("perl")),
                        {QStringLiteral("-d"), QFileInfo(script).fileName()});
    child.SetRedirection(&in, &out, &err);
    child.SetDirectory(work.path());
    QString error;
    QVERIFY2(engine.PrepareChild(child, &error), qPrintable(error));
    QVERIFY(child.Start() && child.Resume());
    child.StartWaiter();

    QByteArray baOut, baErr;
    auto waitFor = [&](const std::function<bool()> &condition, int nMs) {
        return QTest::qWaitFor([&] {
            char buf[4096];
            int n;
            while ((n = out.ReadAvailable(buf, sizeof buf, 0)) > 0)
                baOut.append(buf, n);
            while ((n = err.ReadAvailable(buf, sizeof buf, 0)) > 0)
                baErr.append(buf, n);
            return condition();
        }, nMs);
    };
    const bool bStopped = waitFor([&] { return !stops.isEmpty() && engine.IsStopped(); }, 20000);
    // What the user types at the stop is perl's alone.
    if (bStopped)
        engine.SendCommand(QStringLiteral("p $secret"));
    const bool bAnswered = bStopped && waitFor([&] { return said.contains(QLatin1String("open sesame")) && engine.IsStopped(); }, 20000);
    if (bAnswered)
        engine.Continue();
    const bool bEndedWell = bAnswered && waitFor([&] { return bEnded && child.HasEnded(); }, 20000);
    if (!child.HasEnded())
        child.Kill();

    QFile(stop).open(QIODevice::WriteOnly);
    QVERIFY(stranger.waitForFinished(20000));
    QFile logFile(log);
    QVERIFY(logFile.open(QIODevice::ReadOnly));
    const QByteArray seen = logFile.readAll();
    const QString context = QStringLiteral("the stranger's log:\n%1\ndebugger said:\n%2\nstderr:\n%3")
                                .arg(QString::fromUtf8(seen), said, QString::fromUtf8(baErr));
    QVERIFY2(!seen.contains("received"), qPrintable(context));
    QVERIFY2(!seen.contains("PROMPT"), qPrintable(context));
    QVERIFY2(!seen.contains("accepted"), qPrintable(context));
    QVERIFY2(!QFile::exists(pwned), qPrintable(context));
    QVERIFY2(seen.endsWith("done\n"), qPrintable(context));

    QVERIFY2(bStopped, qPrintable(context));
    QCOMPARE(stops.first(), 4);
    QVERIFY2(bAnswered, qPrintable(context));
    QVERIFY2(bEndedWell, qPrintable(context));
    QCOMPARE(child.GetExitCode(), 3L);
    QCOMPARE(baOut, QByteArray("sum 15\n"));
}

QTEST_MAIN(TestDebugChannel)
#include "test_debugchannel.moc"
