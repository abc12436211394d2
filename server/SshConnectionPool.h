#pragma once

#include "server/SshSession.h"

#include <QString>

#include <map>
#include <memory>
#include <mutex>

class CSshConnection;
class CTransferQuestions;

// The kept SSH connections of the IDE, one for each host, port and user: what runs,
// checks or debugs on a server takes its connection from here, so that only the first
// logs in. Used from the GUI thread.
class CSshConnectionPool
{
public:
    // The connection for the login's host, port and user, made (not yet connected)
    // when there is none. A kept connection keeps the login it was made with.
    std::shared_ptr<CSshConnection> For(const CSshLogin &login, CTransferQuestions *pQuestions);
    // Ends every connection.
    void CloseAll();
    ~CSshConnectionPool();

    // The IDE's pool.
    static CSshConnectionPool &Instance();

private:
    std::mutex m_mutex;
    std::map<QString, std::shared_ptr<CSshConnection>> m_connections;
};
