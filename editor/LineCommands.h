#pragma once

#include <QByteArray>
#include <QVector>

// The line commands of the Edit menu (Toggle Comment, Move Lines Up / Down, Duplicate
// Lines, Indent, Outdent) worked out on the text's bytes, with no editor in sight. Each
// gives the changes to make and where the selection goes after them; the editor makes
// the changes as one undoable step.
//
// The lines a command works on are those the selection touches; a selection that ends
// at the very start of a line leaves that line out, as it holds none of its characters.
// A line ends in LF, CR LF or a lone CR, as the editor counts lines.
class CLineCommands
{
public:
    // One change: the bytes nFrom..nFrom+nLength of the original text give way to
    // insert.
    struct Change
    {
        qsizetype nFrom = 0;
        qsizetype nLength = 0;
        QByteArray insert;
        bool operator==(const Change &o) const
        {
            return nFrom == o.nFrom && nLength == o.nLength && insert == o.insert;
        }
    };

    // The changes, in ascending order and never overlapping, and the selection in the
    // changed text. No changes: the command has nothing to do.
    struct Result
    {
        QVector<Change> changes;
        qsizetype nAnchor = 0;
        qsizetype nCaret = 0;
    };

    // "# " after the indentation of each line, or taken away when every line that is
    // not blank is commented already. The marks line up at the least indentation of
    // the lines; blank lines are left alone unless all of them are.
    static Result ToggleComment(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret);
    // The lines change places with the line above or below; at the text's start or end
    // nothing moves. Line ends stay where they are, so the last line keeps having none.
    static Result MoveLines(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret, bool bUp);
    // A copy of the lines below them; the selection moves onto the copy.
    static Result DuplicateLines(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret);
    // strUnit before every line that has any bytes (the caret's line always).
    static Result Indent(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret, const QByteArray &strUnit);
    // One level off the front of each line: a tab, or up to nWidth blanks (and a tab
    // that follows fewer of them).
    static Result Outdent(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret, int nWidth);

    // The text with the changes made.
    static QByteArray Apply(const QByteArray &text, const QVector<Change> &changes);
};
