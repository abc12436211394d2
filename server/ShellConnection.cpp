#include "server/ShellConnection.h"

#include "app/Settings.h"
#include "server/ServerSocket.h"
#include "server/SshShell.h"

#include <QDir>

namespace {
bool WantsSsh(const CSettings &settings)
{
    return settings.SERVER_TYPE == QLatin1String("ssh");
}
}

CShellConnection *CShellConnection::Create(const CSettings &settings, QObject *parent)
{
    if (WantsSsh(settings))
        return new CSshShell(parent);
    return new CServerSocket(parent);
}

bool CShellConnection::Fits(const CShellConnection *pConnection, const CSettings &settings)
{
    if (WantsSsh(settings))
        return qobject_cast<const CSshShell *>(pConnection) != nullptr;
    return qobject_cast<const CServerSocket *>(pConnection) != nullptr;
}

void CShellConnection::Configure(const CSettings &settings)
{
    Q_UNUSED(settings)
}
