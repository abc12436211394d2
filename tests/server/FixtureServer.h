#pragma once

#include <QDeadlineTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <csignal>
#include <unistd.h>

// One of the fixture server launchers in tests/fixtures, started on a free port of
// 127.0.0.1 in a process group of its own, so that stopping it also ends the sessions
// it forked.
class CFixtureServer
{
public:
    ~CFixtureServer() { Stop(); }

    // Starts `script PORT` in `strWorkDir` and waits until the port takes connections.
    bool Start(const QString &script, const QString &strWorkDir = QString())
    {
        for (int attempt = 0; attempt < 5; ++attempt) {
            m_nPort = FreePort();
            m_process.setProgram(script);
            m_process.setArguments({QString::number(m_nPort)});
            m_process.setWorkingDirectory(strWorkDir);
            m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            m_process.setStandardOutputFile(QProcess::nullDevice());
            m_process.setChildProcessModifier([] { ::setpgid(0, 0); });
            m_process.start();
            if (!m_process.waitForStarted(5000))
                return false;
            QDeadlineTimer deadline(10000);
            while (!deadline.hasExpired() && m_process.state() == QProcess::Running) {
                QTcpSocket probe;
                probe.connectToHost(QHostAddress::LocalHost, m_nPort);
                if (probe.waitForConnected(200)) {
                    probe.abort();
                    return true;
                }
                QThread::msleep(50);
            }
            // Someone took the port between the probe and the start: try another.
            Stop();
        }
        return false;
    }

    void Stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        ::kill(-pid_t(m_process.processId()), SIGTERM);
        if (!m_process.waitForFinished(5000)) {
            ::kill(-pid_t(m_process.processId()), SIGKILL);
            m_process.waitForFinished(5000);
        }
    }

    int Port() const { return m_nPort; }

    static quint16 FreePort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort();
    }

private:
    QProcess m_process;
    int m_nPort = 0;
};
