// The debugger engine (on its channel, a socket pair) against perl's bare debugger (on a
// loopback socket), in the same run.
// 1. From the start of perl -d to the first stop at a breakpoint on line 1 of a script that
//    loads 20 core modules: the engine (support code, breakpoints, the stop's frames,
//    locals and watches) against perl -d told "b 1" over a bare socket.
// 2. One Step Over with the stack and the locals of a frame with 50 lexicals refreshed,
//    against a bare "n" (target under 100 ms).
#include "run/ChildProcess.h"
#include "debug/DebugEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

const int kRuns = 7;
const int kSteps = 30;

bool WaitUntil(const std::function<bool()> &done, int nMs = 30000)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > nMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values.isEmpty() ? 0 : values[values.size() / 2];
}

QString WriteScript(const QTemporaryDir &dir, const QString &name, const QByteArray &text)
{
    QFile f(dir.filePath(name));
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    return f.fileName();
}

QByteArray ModulesScript()
{
    QByteArray s = "my $loaded = scalar keys %INC;\nprint \"$loaded\\n\";\n";
    for (const char *m : {"strict", "warnings", "Carp", "Data::Dumper", "File::Spec", "File::Basename", "File::Path",
                          "File::Temp", "Cwd", "List::Util", "Scalar::Util", "POSIX", "Storable", "Time::Local",
                          "Time::HiRes", "Text::Wrap", "Getopt::Long", "IO::File", "Encode", "JSON::PP"})
        s += "use " + QByteArray(m) + ";\n";
    return s;
}

QByteArray LexicalsScript()
{
    QByteArray s = "sub work {\n";
    for (int i = 0; i < 40; ++i)
        s += "    my $v" + QByteArray::number(i) + " = " + QByteArray::number(i) + ";\n";
    for (int i = 0; i < 5; ++i)
        s += "    my @a" + QByteArray::number(i) + " = (1 .. 20);\n";
    for (int i = 0; i < 5; ++i)
        s += "    my %h" + QByteArray::number(i) + " = map { $_ => [$_, { n => $_ }] } 1 .. 10;\n";
    s += "    my $sum = 0;\n";
    for (int i = 0; i < kSteps + 5; ++i)
        s += "    $sum += $v" + QByteArray::number(i % 40) + ";\n";
    s += "    return $sum;\n}\nprint work(), \"\\n\";\n";
    return s;
}

QProcess *StartPerl(const QString &script, const QString &options)
{
    auto *p = new QProcess;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PERLDB_OPTS"), options);
    p->setProcessEnvironment(env);
    p->setWorkingDirectory(QFileInfo(script).path());
    p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p->start(QStandardPaths::findExecutable(QStringLiteral("perl")), {QStringLiteral("-d"), script});
    return p;
}

// perl's debugger on a bare socket: the commands are written as typed, the prompt awaited.
struct CBareDebugger
{
    QTcpServer server;
    QTcpSocket *socket = nullptr;
    QByteArray received;
    QProcess *process = nullptr;

    bool Start(const QString &script)
    {
        if (!server.listen(QHostAddress::LocalHost, 0))
            return false;
        process = StartPerl(script, QStringLiteral("RemotePort=127.0.0.1:%1 ornaments= inhibit_exit=0").arg(server.serverPort()));
        if (!WaitUntil([&] { return server.hasPendingConnections(); }))
            return false;
        socket = server.nextPendingConnection();
        return WaitPrompt();
    }
    bool WaitPrompt()
    {
        static const QRegularExpression prompt(QStringLiteral("DB<+\\d+>+ $"));
        const bool ok = WaitUntil([&] {
            received += socket->readAll();
            return prompt.match(QString::fromUtf8(received)).hasMatch();
        });
        received.clear();
        return ok;
    }
    bool Command(const QByteArray &cmd)
    {
        socket->write(cmd + '\n');
        return WaitPrompt();
    }
    void End()
    {
        if (socket) {
            socket->write("q\n");
            socket->flush();
        }
        if (process) {
            process->waitForFinished(10000);
            delete process;
        }
    }
};

struct CEngineRun
{
    CDebugEngine engine;
    std::unique_ptr<CChildProcess> child;
    int nStops = 0;

    bool Start(const QString &script, int nLine)
    {
        QObject::connect(&engine, &CDebugEngine::localsChanged, &engine, [this] { ++nStops; });
        engine.SetDirectory(QFileInfo(script).path());
        CDebugBreakpoint bp;
        bp.strFile = script;
        bp.nLine = nLine;
        engine.SetBreakpoints({bp});
        child = std::make_unique<CChildProcess>(QStandardPaths::findExecutable(QStringLiteral("perl")),
                                                QStringList{QStringLiteral("-d"), script});
        child->SetDirectory(QFileInfo(script).path());
        if (!engine.PrepareChild(*child) || !child->Start() || !child->Resume())
            return false;
        child->StartWaiter();
        return WaitUntil([&] { return nStops >= 1 && engine.IsStopped(); });
    }
    void End()
    {
        engine.Stop();
        if (child)
            WaitUntil([&] { return child->HasEnded(); }, 10000);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString modules = WriteScript(dir, QStringLiteral("modules.pl"), ModulesScript());
    const QString lexicals = WriteScript(dir, QStringLiteral("lexicals.pl"), LexicalsScript());

    QList<double> engineStart, bareStart;
    for (int run = 0; run < kRuns; ++run) {
        QElapsedTimer t;
        {
            t.start();
            CBareDebugger bare;
            if (!bare.Start(modules) || !bare.Command("b 1")) {
                std::printf("debug_first_stop: failed (perl's debugger did not answer)\n");
                return 1;
            }
            bareStart << t.nsecsElapsed() / 1e6;
            bare.End();
        }
        {
            t.start();
            CEngineRun e;
            if (!e.Start(modules, 1)) {
                std::printf("debug_first_stop: failed (the engine did not stop)\n");
                return 1;
            }
            engineStart << t.nsecsElapsed() / 1e6;
            e.End();
        }
    }
    std::printf("debug_first_stop_20_modules: %.1f ms (%.2f x %.1f ms of perl -d with b 1 on a bare socket)\n",
                Median(engineStart), Median(engineStart) / Median(bareStart), Median(bareStart));

    const int firstLine = 52; // "my $sum = 0;": all 50 lexicals are in scope
    QList<double> engineStep, bareStep;
    {
        CBareDebugger bare;
        if (!bare.Start(lexicals) || !bare.Command("b " + QByteArray::number(firstLine)) || !bare.Command("c")) {
            std::printf("debug_step_over: failed (perl's debugger did not answer)\n");
            return 1;
        }
        for (int i = 0; i < kSteps; ++i) {
            QElapsedTimer t;
            t.start();
            bare.Command("n");
            bareStep << t.nsecsElapsed() / 1e6;
        }
        bare.End();
    }
    {
        CEngineRun e;
        if (!e.Start(lexicals, firstLine)) {
            std::printf("debug_step_over: failed (the engine did not stop)\n");
            return 1;
        }
        int nLocals = 0;
        QObject::connect(&e.engine, &CDebugEngine::localsChanged, &e.engine,
                         [&](const QList<CDebugValue> &l) { nLocals = int(l.size()); });
        for (int i = 0; i < kSteps; ++i) {
            const int before = e.nStops;
            QElapsedTimer t;
            t.start();
            e.engine.StepOver();
            if (!WaitUntil([&] { return e.nStops > before && e.engine.IsStopped(); })) {
                std::printf("debug_step_over: failed (no stop after a step)\n");
                return 1;
            }
            engineStep << t.nsecsElapsed() / 1e6;
        }
        if (nLocals < 50)
            std::printf("debug_step_over: only %d lexicals were shown\n", nLocals);
        e.End();
    }
    std::printf("debug_step_over_50_lexicals: %.1f ms (%.2f x %.2f ms of a bare n; target 100 ms)\n",
                Median(engineStep), Median(engineStep) / qMax(Median(bareStep), 0.001), Median(bareStep));
    return 0;
}
