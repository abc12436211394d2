#pragma once

#include "editor/ScriptEncoding.h"
#include "framework/CommandMap.h"

#include <Qsci/qsciscintilla.h>

#include <QByteArray>
#include <QFont>
#include <QString>

class CBreakpointHost;
class CBreakpointMarkers;
class CKestrelDoc;
class CMessageMarkers;
class CMessageTarget;
class CScriptInputsDlg;
class QsciLexer;

// The editor's display font and the caret position shown in the status bar.
extern QFont g_fontView;
extern int g_nCurLine;
extern int g_nCurCol;
extern int g_nTabSize;
extern QString g_strTabSpaces;

// The one editor view. The text lives in the Scintilla control as bytes, so a file
// saves back exactly as it was loaded whatever its encoding and line ends.
class CKestrelView : public QsciScintilla
{
    Q_OBJECT

public:
    explicit CKestrelView(CKestrelDoc *pDoc, QWidget *parent = nullptr);
    ~CKestrelView() override;

    CKestrelDoc *GetDocument() const { return m_pDoc; }
    CCommandMap &Commands() { return m_commands; }

    // Runs for every new or opened document: font, tab spaces, caret position, and
    // the colouring for the document's file type.
    void OnInitialUpdate();

    // The whole text as the file's bytes, byte for byte. A text that is valid UTF-8 is
    // shown as UTF-8; any other is shown as Windows-1252, and the control then holds
    // it converted to UTF-8, which these convert back. A new text (not undoable: Open,
    // New, Load from server) takes the encoding its bytes have; an undoable one keeps
    // the document's. Setting a text that is not undoable empties the undo history.
    // *pnUnencodable gets the control position of the first character the file's
    // encoding cannot hold (it stands as '?' in the bytes), or -1.
    QByteArray GetTextBytes(long *pnUnencodable = nullptr) const;
    void SetTextBytes(const QByteArray &text, bool bCanUndo = false);
    // Replaces the selection (or inserts at the caret) with bytes in the file's
    // encoding and leaves the caret after them, as one undoable step.
    void ReplaceSel(const QByteArray &text, bool bCanUndo = true);
    QByteArray GetSelectedBytes() const;
    // The file's bytes of the control's positions start to end.
    QByteArray RangeBytes(long start, long end) const;
    // The text as the control holds it (UTF-8), for readers that report positions:
    // an offset in it is a position in the control.
    QByteArray GetControlBytes() const;

    CScriptEncoding::Kind Encoding() const { return m_nEncoding; }
    // Whether the text may go into the document: it may unless the file is
    // Windows-1252 and the text has a character that has no byte there. A refusal is
    // said through TextRefused.
    bool AcceptText(const QString &text);
    // Why the text may not go in, or empty when it may.
    QString RefusalMessage(const QString &text) const;

    // The replacement of Find and Replace is refused as typed text is.
    void replace(const QString &replaceStr) override;
    void replaceSelectedText(const QString &text) override;
    void paste() override;

    // Gives the control the font of all its styles and margins.
    void ApplyFont(const QFont &font);
    void OnViewFont();

    void SelectLexerFor(const QString &strPath);

    // The caret to the start of a line (1-based, kept within the text), scrolled into view.
    void GoToLine(int nLine);
    // The marks of messages in the symbol margin.
    CMessageMarkers *Markers() const { return m_pMarkers; }
    CMessageTarget *MessageTarget() const;
    // The breakpoints in the symbol margin, and the same as the debugger sees them.
    CBreakpointMarkers *Breakpoints() const { return m_pBreakpoints; }
    CBreakpointHost *BreakpointHost() const;

    unsigned m_nLastKey = 0;
    // The saved script inputs that Run, Compile and Debug feed to the child.
    CScriptInputsDlg *m_dlgScriptInputs;

signals:
    void CaretMoved(int nLine, int nCol);
    // Text was not inserted, for the reason given.
    void TextRefused(const QString &strMessage);
    // A short text for the status bar: a check's result, the message of a marked line.
    void StatusMessage(const QString &strMessage);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;
    void inputMethodEvent(QInputMethodEvent *e) override;
    bool canInsertFromMimeData(const QMimeData *source) const override;

private:
    void RegisterCommands();
    void UpdateCaretPos();
    void OnTabKeyDown();
    void OnHomeKeyDown(QKeyEvent *e);
    void AutoIndentAfterEnter();
    void UpdateLineNumberMargin();
    void UpdateModEventMask(qsizetype nLength);
    QByteArray LineBytes(int line) const;
    QByteArray ControlRange(long start, long end) const;
    bool RefusesKey(QKeyEvent *e);

    CKestrelDoc *m_pDoc;
    CCommandMap m_commands;
    CMessageMarkers *m_pMarkers = nullptr;
    CBreakpointMarkers *m_pBreakpoints = nullptr;
    QsciLexer *m_pLexer = nullptr;
    int m_nLexerKind = -1;
    QFont m_fontApplied;
    bool m_bFontApplied = false;
    int m_nLexerGeneration = 0;
    int m_nFontLexerGeneration = -1;
    int m_nMarginDigits = 0;
    CScriptEncoding::Kind m_nEncoding = CScriptEncoding::Utf8;
};
