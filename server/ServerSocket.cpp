#include "server/ServerSocket.h"

#include "framework/Trace.h"

#include <QNetworkProxy>
#include <QTcpSocket>
#include <QTimer>

namespace {
// How long a login step waits for the server before it goes ahead anyway.
constexpr int kLoginStepTimeoutMs = 3000;
constexpr qint64 kReadBlockBytes = 256 * 1024;
}

CServerSocket::CServerSocket(QObject *parent)
    : CShellConnection(parent)
    , m_pLoginTimer(new QTimer(this))
{
    m_pLoginTimer->setSingleShot(true);
    m_pLoginTimer->setInterval(kLoginStepTimeoutMs);
    connect(m_pLoginTimer, &QTimer::timeout, this, [this] { SendLoginStep(m_login.Timeout()); });
}

CServerSocket::~CServerSocket()
{
    Drop();
}

void CServerSocket::Drop()
{
    m_end = End::None;
    m_login.Reset();
    m_pLoginTimer->stop();
    if (!m_pSocket)
        return;
    // The old connection must not report anything once it is let go.
    m_pSocket->disconnect(this);
    m_pSocket->abort();
    m_pSocket->deleteLater();
    m_pSocket = nullptr;
}

void CServerSocket::Connect(const QString &strHost, int nPort)
{
    Drop();
    m_filter.Reset();
    m_terminal.Reset();
    m_decoder.Reset();
    m_end = End::None;
    m_strEndReason.clear();
    m_bConnected = false;

    m_pSocket = new QTcpSocket(this);
    // A shell session goes straight to its server, as a terminal client's does: the
    // desktop's proxy settings are for web traffic, and looking them up costs a
    // helper thread and a delay on every connection.
    m_pSocket->setProxy(QNetworkProxy::NoProxy);
    // Read a flood in small blocks, each handled in one short turn of the event loop,
    // and leave the rest to TCP's flow control.
    m_pSocket->setReadBufferSize(kReadBlockBytes);
    connect(m_pSocket, &QTcpSocket::readyRead, this, &CServerSocket::OnReadyRead);
    connect(m_pSocket, &QTcpSocket::connected, this, [this] {
        m_bConnected = true;
        emit Connected();
    });
    connect(m_pSocket, &QTcpSocket::errorOccurred, this, &CServerSocket::OnErrorOccurred);
    connect(m_pSocket, &QTcpSocket::disconnected, this, &CServerSocket::OnDisconnected);
    if (nPort < 0 || nPort > 65535) {
        // QTcpSocket would silently truncate the port to 16 bits.
        QPointer<CServerSocket> self(this);
        QPointer<QTcpSocket> socket = m_pSocket;
        QMetaObject::invokeMethod(this, [self, socket, nPort] {
            // Unless another Connect or a Close came first.
            if (self && socket && self->m_pSocket == socket) {
                self->m_end = End::Failed;
                self->m_strEndReason = tr("%1 is not a port number.").arg(nPort);
                self->Finish();
            }
        }, Qt::QueuedConnection);
        return;
    }
    m_pSocket->connectToHost(strHost, quint16(nPort));
}

void CServerSocket::Close()
{
    Drop();
}

bool CServerSocket::IsOpen() const
{
    return m_pSocket && m_pSocket->state() != QAbstractSocket::UnconnectedState
           && m_pSocket->state() != QAbstractSocket::ClosingState;
}

bool CServerSocket::IsConnected() const
{
    return m_pSocket && m_pSocket->state() == QAbstractSocket::ConnectedState;
}

bool CServerSocket::SendBytes(const QByteArray &bytes)
{
    if (!IsOpen())
        return false;
    return m_pSocket->write(bytes) == bytes.size();
}

bool CServerSocket::SendLine(const QString &strLine)
{
    // Only its size: the line may answer a password prompt on the server.
    TRACE() << "sending a line of" << strLine.size() << "characters";
    if (!IsOpen())
        return false;
    const QByteArray now = m_login.Queue(strLine.toUtf8());
    return now.isEmpty() || SendBytes(now);
}

bool CServerSocket::SendLogin(const QString &strUser, const QString &strPassword)
{
    if (!IsOpen())
        return false;
    SendLoginStep(m_login.Start(strUser.toUtf8(), strPassword.toUtf8()));
    return true;
}

void CServerSocket::SendLoginStep(const QByteArray &bytes)
{
    if (!bytes.isEmpty())
        SendBytes(bytes);
    if (m_login.IsActive())
        m_pLoginTimer->start();
    else
        m_pLoginTimer->stop();
}

bool CServerSocket::SendInterrupt()
{
    return SendBytes(CTelnetFilter::InterruptProcess());
}

void CServerSocket::OnReadyRead()
{
    if (!m_pSocket)
        return;
    ProcessBlock(m_pSocket->read(kReadBlockBytes));
    if (!m_pSocket)
        return;
    if (m_pSocket->bytesAvailable() > 0) {
        // The rest in later turns, so that a flood never holds the event loop long.
        if (!m_bReadQueued) {
            m_bReadQueued = true;
            QMetaObject::invokeMethod(this, [this] {
                m_bReadQueued = false;
                OnReadyRead();
            }, Qt::QueuedConnection);
        }
    } else if (m_end != End::None) {
        Finish();
    }
}

void CServerSocket::ProcessBlock(const QByteArray &block)
{
    QByteArray data;
    QByteArray replies;
    m_filter.Process(block, data, replies);
    if (!replies.isEmpty() && m_pSocket->state() == QAbstractSocket::ConnectedState)
        m_pSocket->write(replies);
    QByteArray text;
    m_terminal.Process(data, text);
    if (text.isEmpty())
        return;
    if (m_login.IsActive()) {
        const QByteArray due = m_login.OnText(text);
        if (!due.isEmpty())
            SendLoginStep(due);
    }
    const QString str = m_decoder.Decode(text);
    if (!str.isEmpty())
        emit TextReceived(str);
}

void CServerSocket::OnErrorOccurred(QAbstractSocket::SocketError error)
{
    // The server's own close arrives as RemoteHostClosedError and then disconnected().
    if (error == QAbstractSocket::RemoteHostClosedError || m_end != End::None)
        return;
    m_end = m_bConnected ? End::Lost : End::Failed;
    m_strEndReason = m_pSocket ? m_pSocket->errorString() : QString();
    // Text still buffered is shown before the failure.
    OnReadyRead();
}

void CServerSocket::OnDisconnected()
{
    if (m_end != End::None)
        return;
    m_end = End::Closed;
    OnReadyRead();
}

void CServerSocket::Finish()
{
    const End end = m_end;
    const QString reason = m_strEndReason;
    const QString rest = m_decoder.Flush();
    Drop();
    if (!rest.isEmpty())
        emit TextReceived(rest);
    if (end == End::Closed)
        emit ConnectionClosed();
    else if (end == End::Lost)
        emit ConnectionLost(reason);
    else
        emit ConnectionFailed(reason);
}
