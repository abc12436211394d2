#include "server/SshConnectionPool.h"

#include "server/SshConnection.h"

#include <QCoreApplication>

std::shared_ptr<CSshConnection> CSshConnectionPool::For(const CSshLogin &login, CTransferQuestions *pQuestions)
{
    const QString key = login.strUser + QLatin1Char('@') + login.strHost.toLower() + QLatin1Char(':')
                        + QString::number(login.nPort);
    std::lock_guard lock(m_mutex);
    std::shared_ptr<CSshConnection> &slot = m_connections[key];
    if (!slot)
        slot = std::make_shared<CSshConnection>(login, pQuestions);
    return slot;
}

void CSshConnectionPool::CloseAll()
{
    std::map<QString, std::shared_ptr<CSshConnection>> connections;
    {
        std::lock_guard lock(m_mutex);
        connections.swap(m_connections);
    }
    for (auto &entry : connections)
        entry.second->Close();
}

CSshConnectionPool::~CSshConnectionPool()
{
    CloseAll();
}

CSshConnectionPool &CSshConnectionPool::Instance()
{
    static CSshConnectionPool pool;
    // The connections end with the event loop, while the application that their threads
    // report to is still there, rather than when static objects go.
    static const bool bHooked = [] {
        if (QCoreApplication *app = QCoreApplication::instance())
            QObject::connect(app, &QCoreApplication::aboutToQuit, app, [] { pool.CloseAll(); });
        return true;
    }();
    (void)bHooked;
    return pool;
}
