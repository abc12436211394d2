#pragma once

#include "server/FtpConnection.h"

#include <QByteArray>
#include <QString>

// The transfers of Load from server, Put on server and Put Back, without windows.
class CFtpTransfer
{
public:
    // Text received in ASCII mode with the platform's line end after every line, the
    // last one included. CR LF and LF both end a line.
    static QByteArray ToNativeText(const QByteArray &text);

    // A server file's contents: ASCII as native text, binary byte for byte.
    static CFtpResult LoadBytes(CFtpConnection &connection, const QString &strName, int nType, QByteArray &data);
    // Writes a server file into a local file through a temporary file that replaces
    // it only when the whole file arrived; on failure an existing file is untouched.
    static CFtpResult LoadToFile(CFtpConnection &connection, const QString &strName, int nType,
                                 const QString &strLocalPath);
    // Whether the local file of a put can be read; the reason when it cannot.
    static CFtpResult CheckReadable(const QString &strLocalPath);
    // Sends a local file as strName into the connection's current folder.
    static CFtpResult PutFile(CFtpConnection &connection, const QString &strLocalPath, const QString &strName,
                              int nType);

    // Where a loaded file goes: the folder (the current one when empty) and the name.
    static QString LocalPathFor(const QString &strDir, const QString &strName);
};
