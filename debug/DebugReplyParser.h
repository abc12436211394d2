#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Splits what perl's debugger sends over its socket into the pieces the engine acts on:
// the debugger's own words, the records of Kestrel's support code (one line each, marked
// with a unit separator), and the prompt that says the debugger waits for a command.
// Bytes may arrive cut anywhere; a piece is reported only once it is complete.
class CDebugReplyParser
{
public:
    struct Event
    {
        enum class Kind { Text, Record, Prompt };
        Kind kind = Kind::Text;
        QString strText;     // Text: the words, line ends kept
        QStringList fields;  // Record: the fields, unescaped (the first one names the record)
        int nCommand = 0;    // Prompt: the number in "DB<7>"
        int nLevel = 0;      // Prompt: 1 for "DB<7>", 2 for "DB<<7>>" (a debugger inside an evaluation)
    };

    // The marker that starts a record line.
    static constexpr char kRecordMark = '\x1f';

    QList<Event> Feed(const QByteArray &baData);
    // What is left when the connection ends (a last line without its line end).
    QList<Event> Finish();

    // "main::(x.pl:5):", "Pkg::sub(/p/M.pm:12):" and the long form that ends the line after
    // the colon. False when the line is not a stop line.
    static bool ParseStopLine(const QString &strLine, QString *pSub, QString *pFile, int *pLine);
    // The fields of a record line, without its marker and line end.
    static QStringList SplitRecord(const QByteArray &baLine);
    // Escapes as the support code does: backslash and control bytes as \xNN.
    static QByteArray Unescape(const QByteArray &baField);

private:
    void TakeLines(QList<Event> &events, bool bAll);

    QByteArray m_baPending;
};
