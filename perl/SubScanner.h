#pragma once

#include <QByteArray>
#include <QVector>

// One `package` or `sub` declaration of a script: where its keyword stands, where its
// name stands (offset and length in the text) and the 1-based line of the keyword.
struct CSubDeclaration
{
    enum Kind { Package, Sub };
    Kind nKind;
    qsizetype nKeyword;
    qsizetype nName;
    qsizetype nNameLength;
    int nLine;
    // The package the declaration stands in: the index of its `package` row, or -1
    // for main. A `package NAME;` lasts to the end of the enclosing block, a
    // `package NAME { ... }` to its closing brace.
    int nPackage;
};

// Finds the named `package` and `sub` declarations of a Perl script's bytes, in text
// order. It reads the script as Perl does as far as a declaration list needs: POD,
// comments, quoted strings, the quote-like operators (q, qq, qw, qx, m, qr, s, tr, y,
// with any delimiters), patterns between slashes, here-documents and everything after
// __END__ or __DATA__ hold no declarations. Anonymous subs are not listed.
class CSubScanner
{
public:
    static QVector<CSubDeclaration> Scan(const QByteArray &text);
};
