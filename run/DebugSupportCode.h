#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The Perl code the engine gives perl's debugger at the start of a session, and the
// one-line commands that call it. The code reports in records (see CDebugReplyParser):
//   bp ID STATE LINE REASON      STATE: set, moved, refused, pending
//   snap / end                   around a stop's report
//   at FILE LINE                 where the program stopped
//   frame SUB FILE LINE          one per frame, the innermost first
//   local DEPTH NAME VALUE       the selected frame's lexicals, parents before children
//   nolocals REASON
//   watch DEPTH NAME VALUE       DEPTH 0 is a watched expression, deeper ones its parts
class CDebugSupportCode
{
public:
    // The definitions, on one line (the debugger reads one line per command).
    static QByteArray Definition(const QString &strDirectory);
    static QByteArray SetBreakpoint(int nId, const QString &strFile, int nLine, const QString &strCondition);
    static QByteArray ClearBreakpoint(int nId, const QString &strFile, int nActualLine);
    static QByteArray SetWatches(const QStringList &expressions);
    static QByteArray Snapshot(int nFrame);
    // A Perl expression for the bytes of a text, whatever characters it holds.
    static QByteArray PerlString(const QString &strText);
};
