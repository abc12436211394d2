#pragma once

#include <QString>

// Makes a word safe to put on a command line that a POSIX shell (sh, bash, dash, ash)
// reads: the shell then passes it to the program as one argument, unchanged.
class CShellQuote
{
public:
    // The word as it is when the shell would take it unchanged anyway (letters, digits
    // and . _ - + , : = @ % /), so that ordinary names are sent exactly; otherwise in
    // single quotes, with each single quote written as '\''. A control character is
    // written as "$(printf '\ooo')", because a terminal on the way (the server's pty)
    // would act on it (Ctrl+C interrupts, CR becomes LF) instead of passing it on. A
    // word that starts with "-" gets "./" in front, so that the program takes it for a
    // file, not an option. An empty word stays empty.
    static QString Word(const QString &strWord);
    // True when Word() leaves the word exactly as it is.
    static bool IsPlain(const QString &strWord);
};
