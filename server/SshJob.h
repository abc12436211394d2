#pragma once

#include <QString>

#include <vector>

#include <poll.h>

struct ssh_session_struct;

// A piece of work that rides on a kept SSH connection: a program run through an exec
// channel, a transfer over SFTP. All its calls come on the connection's thread, which
// alone may touch the libssh session; it never blocks there for long, since the other
// jobs of the connection wait meanwhile.
class CSshJob
{
public:
    virtual ~CSshJob() = default;

    // The connection is logged in: the job opens its channels. False when it is over
    // already (it has told its owner why).
    virtual bool Begin(ssh_session_struct *pSession) = 0;
    // A turn of the connection's loop: the job moves what it can. False once it is over.
    virtual bool Pump() = 0;
    // Descriptors of its own whose readiness should wake the loop.
    virtual void AddPollDescriptors(std::vector<pollfd> &fds) { (void)fds; }
    // The connection could not be made, or broke: the job is over, for this reason.
    virtual void Abort(const QString &strReason) = 0;
};
