#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The command box of the FTP browser: the line is cut at single blanks into at most
// five words; the first, upper-cased, is the command and the next two its arguments.
struct CFtpCommandLine
{
    QString m_strCommand;
    QString m_strArg1;
    QString m_strArg2;

    static CFtpCommandLine Split(const QString &strLine);
    // All five words as cut, before the command is upper-cased.
    static QStringList Words(const QString &strLine);
};

// Server replies as the control connection delivers them, line by line.
class CFtpReply
{
public:
    // The reply code of a line ("550 No such file" gives 550), 0 for a line that
    // starts no reply.
    static int Code(const QByteArray &line);
    // The last complete reply among the lines: its code and its text with the line
    // ends taken off (a multi-line reply joined with "\n"). Code 0 when there is none.
    static int LastReply(const QList<QByteArray> &lines, QString *pstrText = nullptr);
    // The folder in a 257 reply: "257 "/a ""b""" is created" gives /a "b.
    static bool ParsePwd(const QByteArray &reply, QString &strDir);
    // The protocol that a first line which is no FTP reply shows the server to speak:
    // "SSH" for an SSH banner, "FTP" for an FTP reply, empty when the line does not tell.
    static QString ProtocolOfGreeting(const QByteArray &line);
    // A line from a server made fit to show: line end taken off, invalid UTF-8 and
    // control characters replaced, at most nMaxChars characters (then "...").
    static QString Printable(const QByteArray &line, int nMaxChars = 200);
};
