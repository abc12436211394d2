#pragma once

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QVector>

// A Perl-compatible regular expression search over the editor's text. The text is the
// control's bytes (UTF-8, as the editor shows the file) and every position in and out
// is a byte offset in them, so a match selects exactly what it matched. A byte that is
// not UTF-8 stands for one character that no pattern but "." matches.
//
// Lines end as the editor ends them (LF, CR LF or a lone CR): "^" and "$" match at each
// line's start and end, and "." matches no line-end byte. Match case off makes the
// pattern caseless; Match whole word lets a match neither start nor end beside a word
// character.
//
// A replacement refers to the match with $& or $0, to a group with $1, ${12} or
// ${name}, and with \1 to \9 as Perl also allows; \n, \t and \r are a line feed, a tab
// and a carriage return, \\ and \$ a backslash and a dollar. Any other escaped
// character stands for itself.
class CRegexSearch
{
public:
    CRegexSearch(const QString &strPattern, bool bMatchCase, bool bWholeWord);

    // Empty when the pattern compiles; else why not, in words, with where.
    QString ErrorMessage() const { return m_strError; }
    bool IsValid() const { return m_strError.isEmpty(); }

    struct Match
    {
        qsizetype nStart = -1; // -1: none
        qsizetype nEnd = -1;
        QByteArray replacement; // the expanded replacement, in UTF-8
        bool IsValid() const { return nStart >= 0; }
    };

    // The first match at or after nFrom. With bSkipEmptyAtFrom an empty match right at
    // nFrom is passed over (it was found or replaced already), so that repeating the
    // search moves on.
    Match FindForward(const QByteArray &text, qsizetype nFrom, bool bSkipEmptyAtFrom) const;
    // The last match that starts before nFrom.
    Match FindBackward(const QByteArray &text, qsizetype nFrom) const;
    // Whether nStart..nEnd is what a search finds at nStart; *pReplacement gets the
    // replacement expanded for it.
    bool MatchesAt(const QByteArray &text, qsizetype nStart, qsizetype nEnd, const QString &strReplacement,
                   QByteArray *pReplacement) const;
    // Every match of the text, in order and apart, each with its expanded replacement.
    QVector<Match> FindAll(const QByteArray &text, const QString &strReplacement) const;

    // Empty when the replacement's references all name groups of the pattern; else why.
    QString CheckReplacement(const QString &strReplacement) const;

private:
    struct Piece
    {
        QString strLiteral;
        int nGroup = -1; // -1: the literal
        QString strName; // a named group
    };
    class COffsets;
    QVector<Piece> ParseReplacement(const QString &strReplacement, QString *pError) const;
    // The groups are copied from the text's own bytes, so what they matched goes back
    // into the text exactly as it was.
    static QByteArray Expand(const QVector<Piece> &pieces, const QRegularExpressionMatch &m, const QByteArray &text,
                             qsizetype nMatchStart);

    QRegularExpression m_re;
    QString m_strError;
};
