#pragma once

#include "framework/MessageTarget.h"

#include <Qsci/qscistyle.h>

#include <QList>
#include <QObject>
#include <QString>

class QWidget;

class CKestrelView;

// The marks of a run's or a check's messages on the lines of the current script: an
// orange warning triangle for an error and a yellow one for a warning in a margin of
// their own beside the text, the message as the mark's tooltip and as an annotation
// under its line. The marks are Scintilla's, so they move with their lines while the
// user edits; they stay until the next run or check replaces them, or another
// document comes.
class CMessageMarkers : public QObject, public CMessageTarget
{
    Q_OBJECT

public:
    // The symbol margin holds the breakpoints and the debugger's marks; the message
    // marks have a margin of their own (after the fold margin, beside the text), so that
    // a line with a breakpoint and a message shows both, each in its own shape.
    static constexpr int kSymbolMargin = 1;
    static constexpr int kMessageMargin = 3;
    static constexpr int kErrorMarker = 20;
    static constexpr int kWarningMarker = 21;

    explicit CMessageMarkers(CKestrelView *pView);

    // A run's messages; a check still running is of older text, so it is dropped.
    void ShowMessages(const QList<CFileLineMessage> &messages) override;
    // A check's messages; bAllOfThisScript when they are all of the editor's text
    // whatever file they name.
    void Show(const QList<CFileLineMessage> &messages, bool bAllOfThisScript = false);
    void GoToFileLine(const QString &strPath, int nLine) override;
    void Clear();

    // The marked lines (0-based), top to bottom, where they are now.
    QList<int> MarkedLines() const;
    // The messages of a line (0-based), one a line; empty when it has none.
    QString MessagesAt(int nLine) const;
    bool HasError(int nLine) const;
    // F4 and Shift+F4: the caret to the next or previous marked line, round the end.
    void GoToNext();
    void GoToPrevious();

    // What a message says in its tooltip and annotation.
    static QString DisplayText(const CFileLineMessage &message);
    static bool SamePath(const QString &a, const QString &b);

signals:
    // The marks changed (shown or cleared).
    void MarkersChanged();
    void RunMessagesShown();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct CEntry
    {
        int nHandle;
        CFileLineMessage::Severity nSeverity;
        QString strText;
    };
    void GoToMarked(int nLine);
    int MarginLineAt(const QPoint &pos) const;

    CKestrelView *m_pView;
    QWidget *m_pViewport;
    QList<CEntry> m_entries;
    // The last messages shown, kept so that a file opened from one of them gets its marks.
    QList<CFileLineMessage> m_lastMessages;
    QsciStyle m_styleError;
    QsciStyle m_styleWarning;
};
