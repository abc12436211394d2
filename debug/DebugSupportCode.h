#pragma once

#include <QByteArray>
#include <QtGlobal>
#include <QString>
#include <QStringList>

// The Perl code the engine gives perl's debugger at the start of a session, and the
// one-line commands that call it. The code reports in records (see CDebugReplyParser):
//   bp ID STATE LINE REASON      STATE: set, moved, refused, pending
//   snap / end                   around a stop's report
//   frame SUB FILE LINE          one per frame, the innermost first
//   local DEPTH NAME VALUE       the selected frame's lexicals, parents before children
//   nolocals REASON
//   watch DEPTH NAME VALUE       DEPTH 0 is a watched expression, deeper ones its parts
//   cond 0|1                     the answer of AnyConditionTrue
//   pid PID                      perl's process, once
//   interruptible 0|1            whether SIGURG still reaches the support code's interrupt handler
//   hello PID                    a debugger is on the channel (the first, or a new one after R)
class CDebugSupportCode
{
public:
    // The value of PERL5DB for perl -d: its debugger on the channel that the child inherits
    // as descriptor nFd, the socket with that inode number.
    static QByteArray Bootstrap(int nFd, quint64 nInode);
    // The definitions, on one line (the debugger reads one line per command).
    static QByteArray Definition(const QString &strDirectory);
    static QByteArray SetBreakpoint(int nId, const QString &strFile, int nLine, const QString &strCondition);
    static QByteArray ClearBreakpoint(int nId, const QString &strFile, int nActualLine);
    static QByteArray SetWatches(const QStringList &expressions);
    static QByteArray Snapshot(int nFrame);
    // Answers "cond 1" when one of the Perl expressions is true where the program stands.
    static QByteArray AnyConditionTrue(const QStringList &conditions);
    // A Perl expression for the bytes of a text, whatever characters it holds.
    static QByteArray PerlString(const QString &strText);
};
