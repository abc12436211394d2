#pragma once

#include "server/FtpConnection.h"

#include <QString>

#include <functional>

class QWidget;

// Runs a blocking FTP job on a worker thread while the calling GUI thread waits: the
// windows keep repainting but take no input, as in a modal loop. No thread is ever
// stopped from outside; a job ends by itself or through CFtpConnection::Cancel().
class CFtpWorker
{
public:
    using Job = std::function<CFtpResult()>;

    // onTick runs on the GUI thread every nTickMs while the job runs.
    static CFtpResult Run(const Job &job, int nTickMs = 0, const std::function<void()> &onTick = {});

    // A job that moves a file: after a second a progress dialog shows the bytes done
    // and a Cancel button, which cancels the connection's running call.
    static CFtpResult RunWithProgress(QWidget *parent, CFtpConnection &connection, const QString &strLabel,
                                      const Job &job);

    // How long a job runs before the progress dialog shows.
    static int s_nProgressDelayMs;
};
