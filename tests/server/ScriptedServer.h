#pragma once

#include <QByteArray>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A server on 127.0.0.1 whose every byte the test writes itself: it keeps what each
// connection receives, so a test can check the exact bytes a client sent.
class CScriptedServer : public QObject
{
    Q_OBJECT

public:
    CScriptedServer()
    {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                m_connections.append(s);
                m_received.append(QByteArray());
                const qsizetype index = m_received.size() - 1;
                connect(s, &QTcpSocket::readyRead, this, [this, s, index] { m_received[index] += s->readAll(); });
                if (!m_baGreeting.isEmpty())
                    s->write(m_baGreeting);
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    // What every new connection is sent at once, before the test says anything.
    void SetGreeting(const QByteArray &bytes) { m_baGreeting = bytes; }
    quint16 Port() const { return m_server.serverPort(); }
    int Count() const { return int(m_connections.size()); }
    QTcpSocket *Connection(int i = -1) const
    {
        return m_connections.isEmpty() ? nullptr : m_connections.value(i < 0 ? m_connections.size() - 1 : i);
    }
    // What the connection received so far; the last connection by default.
    QByteArray Received(int i = -1) const
    {
        return m_received.isEmpty() ? QByteArray() : m_received.value(i < 0 ? m_received.size() - 1 : i);
    }
    void ClearReceived() { m_received.last().clear(); }
    void Send(const QByteArray &bytes)
    {
        Connection()->write(bytes);
        Connection()->flush();
    }

private:
    QTcpServer m_server;
    QList<QPointer<QTcpSocket>> m_connections;
    QList<QByteArray> m_received;
    QByteArray m_baGreeting;
};
