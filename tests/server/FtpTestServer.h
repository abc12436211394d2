#pragma once

#include "server/FtpConnection.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <QTest>

// A real FTP server (pyftpdlib) on 127.0.0.1 at a free port, serving a temporary
// folder to one user. It stops with the object, or when Kill() says so.
class CFtpTestServer
{
public:
    static constexpr const char *kUser = "kestrel";
    static constexpr const char *kPassword = "s3cret pass";

    // throttle: bytes per second of the data connections, 0 for no limit. With a
    // certificate and its key, an FTPS server (explicit TLS, required).
    bool Start(int nThrottle = 0, const QString &strCertFile = QString(), const QString &strKeyFile = QString())
    {
        if (!m_root.isValid())
            return false;
        QStringList args = {QStringLiteral(KESTREL_FIXTURES_DIR "/ftp_server.py"), m_root.path(),
                            QString::fromLatin1(kUser), QString::fromLatin1(kPassword)};
        if (nThrottle > 0)
            args << QStringLiteral("--throttle") << QString::number(nThrottle);
        if (!strCertFile.isEmpty())
            args << QStringLiteral("--tls") << strCertFile << strKeyFile;
        // Debian's own interpreter: it has the pyftpdlib package.
        m_process.setProgram(QStringLiteral("/usr/bin/python3"));
        m_process.setArguments(args);
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(10000))
            return false;
        QByteArray out;
        while (!out.contains('\n')) {
            if (!m_process.waitForReadyRead(15000)) {
                qWarning("FTP server did not start: %s", m_process.readAllStandardError().constData());
                return false;
            }
            out += m_process.readAllStandardOutput();
        }
        out = out.left(out.indexOf('\n'));
        if (!out.startsWith("PORT "))
            return false;
        m_nPort = out.mid(5).toInt();
        return m_nPort > 0;
    }

    void Kill()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

    ~CFtpTestServer() { Kill(); }

    int Port() const { return m_nPort; }
    // The connection settings of its user.
    CFtpConnectionParams Params() const
    {
        CFtpConnectionParams p;
        p.m_strHost = QStringLiteral("127.0.0.1");
        p.m_nPort = m_nPort;
        p.m_strUser = QString::fromLatin1(kUser);
        p.m_strPassword = QString::fromLatin1(kPassword);
        return p;
    }
    QString Root() const { return m_root.path(); }
    QString PathOf(const QString &rel) const { return m_root.path() + QLatin1Char('/') + rel; }

    void WriteFile(const QString &rel, const QByteArray &data) const
    {
        QFile f(PathOf(rel));
        QVERIFY(f.open(QIODevice::WriteOnly));
        QCOMPARE(f.write(data), data.size());
    }
    QByteArray ReadFile(const QString &rel) const
    {
        QFile f(PathOf(rel));
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray("<missing>");
        return f.readAll();
    }
    void MakeDir(const QString &rel) const { QDir().mkpath(PathOf(rel)); }

    // Bytes of every value, the same for the same length.
    static QByteArray RandomBytes(int n)
    {
        QByteArray data(n, Qt::Uninitialized);
        QRandomGenerator gen(4711);
        for (int i = 0; i < n; ++i)
            data[i] = char(gen.bounded(256));
        return data;
    }

    static void WriteLocal(const QString &path, const QByteArray &data)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(data), data.size());
    }
    static QByteArray ReadLocal(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }

private:
    QTemporaryDir m_root;
    QProcess m_process;
    int m_nPort = 0;
};
