#pragma once

#include <QByteArray>
#include <QVector>

// One variable name found in a script: where its sigil stands, how many bytes the
// name takes (trailing white space included) and the 1-based line of the character
// that completed it.
struct CVariableOccurrence
{
    qsizetype nStart;
    qsizetype nLength;
    int nLine;
};

// Finds every occurrence of a variable name of one kind ('$', '@' or '%') in a
// script's bytes. A sigil starts a name; letters, digits, the underscore, white space
// and further sigils extend it; any other byte, or the end of the text, completes it.
// Nothing is merged or sorted, and strings and comments are scanned like code. The
// names are left in the text; rows refer to them by position.
class CVariableScanner
{
public:
    static QVector<CVariableOccurrence> Scan(const QByteArray &text, char chSigil);
};
