#include "run/DebugEngine.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

CDebugEngine::CDebugEngine(QObject *parent) : QObject(parent)
{
}

CDebugEngine::~CDebugEngine() = default;

bool CDebugEngine::Listen(QString *pError)
{
    if (!m_pServer) {
        m_pServer = new QTcpServer(this);
        connect(m_pServer, &QTcpServer::newConnection, this, &CDebugEngine::OnNewConnection);
    }
    if (m_pServer->isListening())
        return true;
    if (!m_pServer->listen(QHostAddress::LocalHost, 0)) {
        if (pError)
            *pError = m_pServer->errorString();
        return false;
    }
    return true;
}

int CDebugEngine::Port() const
{
    return m_pServer && m_pServer->isListening() ? m_pServer->serverPort() : 0;
}

QString CDebugEngine::DebuggerOptions() const
{
    return QStringLiteral("RemotePort=127.0.0.1:%1 ornaments= inhibit_exit=0").arg(Port());
}

void CDebugEngine::SetDirectory(const QString &strDirectory) { m_strDirectory = strDirectory; }
void CDebugEngine::SetBreakpoints(const QList<CDebugBreakpoint> &list) { m_breakpoints = list; }
void CDebugEngine::AddBreakpoint(const CDebugBreakpoint &bp) { m_breakpoints.append(bp); }
void CDebugEngine::RemoveBreakpoint(const QString &, int) {}
void CDebugEngine::SetWatches(const QStringList &expressions) { m_watches = expressions; }
bool CDebugEngine::IsConnected() const { return m_pSocket != nullptr; }
bool CDebugEngine::IsStopped() const { return m_bStopped; }
void CDebugEngine::Continue() {}
void CDebugEngine::StepOver() {}
void CDebugEngine::StepInto() {}
void CDebugEngine::StepOut() {}
void CDebugEngine::RunToLine(const QString &, int) {}
void CDebugEngine::Restart() {}
void CDebugEngine::Stop() {}
void CDebugEngine::SendCommand(const QString &) {}
void CDebugEngine::SelectFrame(int) {}
void CDebugEngine::OnNewConnection() {}
void CDebugEngine::OnReadyRead() {}
void CDebugEngine::OnDisconnected() {}
