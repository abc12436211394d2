#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// A breakpoint as the user set it (file and line) and what perl made of it.
struct CDebugBreakpoint
{
    enum class State { Pending, Set, Moved, Refused };

    QString strFile;      // absolute path
    int nLine = 0;        // 1-based, the line the user chose
    QString strCondition; // a Perl expression; empty: always
    State state = State::Pending;
    int nActualLine = 0;  // where perl breaks: nLine when Set, the next breakable line when Moved
    QString strReason;    // why Refused, or why still Pending (the file is not loaded yet)
    // Removed after its first stop (Run to Cursor); never reported to the user's list.
    bool bOneShot = false;

    bool SameLocation(const QString &file, int line) const { return strFile == file && nLine == line; }
};

// One frame of the call stack, the innermost first.
struct CDebugFrame
{
    QString strSub;  // "main::foo", or "main" for the file's own code
    QString strFile; // absolute path (an eval's "(eval 3)[/path/x.pl:4]" stays as perl says)
    int nLine = 0;

    bool operator==(const CDebugFrame &o) const { return strSub == o.strSub && strFile == o.strFile && nLine == o.nLine; }
};

// A variable or an expression with its value; arrays, hashes and references have children
// (elements, keys, the referenced value).
struct CDebugValue
{
    QString strName;  // "$x", "@list", "[0]", "{key}"; an expression for a watch
    QString strValue; // "5", "'text'", "undef", "ARRAY(3)", "HASH(2)", or the error of a watch
    QList<CDebugValue> children;
};

Q_DECLARE_METATYPE(CDebugBreakpoint)
Q_DECLARE_METATYPE(CDebugFrame)
Q_DECLARE_METATYPE(CDebugValue)
