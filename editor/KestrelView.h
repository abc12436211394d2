#pragma once

#include "framework/CommandMap.h"

#include <Qsci/qsciscintilla.h>

#include <QByteArray>
#include <QFont>
#include <QString>

class CKestrelDoc;
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

    // The whole text, byte for byte. Setting it empties the undo history unless the
    // change is to be undoable.
    QByteArray GetTextBytes() const;
    void SetTextBytes(const QByteArray &text, bool bCanUndo = false);
    // Replaces the selection (or inserts at the caret) and leaves the caret after it,
    // as one undoable step.
    void ReplaceSel(const QByteArray &text, bool bCanUndo = true);
    QByteArray GetSelectedBytes() const;

    // Gives the control the font of all its styles and margins.
    void ApplyFont(const QFont &font);
    void OnViewFont();

    void SelectLexerFor(const QString &strPath);

    unsigned m_nLastKey = 0;
    // The saved script inputs that Run, Compile and Debug feed to the child.
    CScriptInputsDlg *m_dlgScriptInputs;

signals:
    void CaretMoved(int nLine, int nCol);

protected:
    void keyPressEvent(QKeyEvent *e) override;
    void keyReleaseEvent(QKeyEvent *e) override;
    void mouseReleaseEvent(QMouseEvent *e) override;

private:
    void RegisterCommands();
    void UpdateCaretPos();
    void OnTabKeyDown();
    void OnHomeKeyDown(QKeyEvent *e);
    void AutoIndentAfterEnter();
    void UpdateLineNumberMargin();
    void UpdateModEventMask(qsizetype nLength);
    QByteArray LineBytes(int line) const;

    CKestrelDoc *m_pDoc;
    CCommandMap m_commands;
    QsciLexer *m_pLexer = nullptr;
    int m_nLexerKind = -1;
    QFont m_fontApplied;
    bool m_bFontApplied = false;
    int m_nLexerGeneration = 0;
    int m_nFontLexerGeneration = -1;
    int m_nMarginDigits = 0;
};
