#include "editor/LanguageAidCommands.h"

#include "app/KestrelDoc.h"
#include "editor/CodeTemplates.h"
#include "editor/KestrelView.h"
#include "editor/LineEndings.h"
#include "editor/VariableListDlg.h"
#include "framework/CommandIds.h"

using namespace Cmd;

void CLanguageAidCommands::Register(CKestrelView *pView)
{
    CCommandMap &map = pView->Commands();
    for (const CCodeTemplate &t : CCodeTemplates::All()) {
        const int id = t.nId;
        map.On(id, [pView, id] { InsertTemplate(pView, id); },
               [pView](CCmdUI &ui) { ui.Enable(!pView->isReadOnly()); });
    }
    map.On(ID_EDIT_CONVERT_TO_DOS, [pView] { ConvertLineEnds(pView, true); });
    map.On(ID_EDIT_CONVERT_TO_UNIX, [pView] { ConvertLineEnds(pView, false); });
    map.On(ID_VIEW_SCALARS, [pView] { ShowVariableList(pView, 0); });
    map.On(ID_VIEW_ARRAYS, [pView] { ShowVariableList(pView, 1); });
    map.On(ID_VIEW_HASHES, [pView] { ShowVariableList(pView, 2); });
    map.On(ID_VIEW_SPECIAL, [pView] { ShowVariableList(pView, 9); });
}

void CLanguageAidCommands::InsertTemplate(CKestrelView *pView, int nId)
{
    const CCodeTemplate *tmpl = CCodeTemplates::Find(nId);
    if (!tmpl)
        return;
    QByteArray selection;
    if (tmpl->IsWrapping()) {
        // Only the selection's first line is wrapped, so only that part is read: a
        // selection of many lines costs no more than one.
        long start = pView->SendScintilla(QsciScintilla::SCI_GETSELECTIONSTART);
        long end = pView->SendScintilla(QsciScintilla::SCI_GETSELECTIONEND);
        long line = pView->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, start);
        long lineEnd = pView->SendScintilla(QsciScintilla::SCI_GETLINEENDPOSITION, line);
        long partEnd = qMax(start, qMin(end, lineEnd));
        selection = pView->RangeBytes(start, partEnd);
    }
    pView->ReplaceSel(CCodeTemplates::Result(*tmpl, selection), true);
}

void CLanguageAidCommands::ConvertLineEnds(CKestrelView *pView, bool bToDos)
{
    const QByteArray text = pView->GetTextBytes();
    const QByteArray converted = bToDos ? CLineEndings::ToDos(text) : CLineEndings::ToUnix(text);
    // Both conversions only add or remove bytes, so the same size means the same text.
    if (converted.size() != text.size()) {
        long firstVisible = pView->SendScintilla(QsciScintilla::SCI_GETFIRSTVISIBLELINE);
        long caretLine = pView->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION,
                                              pView->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS));
        pView->SetTextBytes(converted, true);
        pView->SendScintilla(QsciScintilla::SCI_GOTOLINE, caretLine);
        pView->SendScintilla(QsciScintilla::SCI_SETFIRSTVISIBLELINE, firstVisible);
        // The changed text has left the save point, so Undo can take the mark away.
        return;
    }
    // Nothing to convert still counts as a change of the file.
    if (CKestrelDoc *doc = pView->GetDocument())
        doc->SetModifiedFlag(true);
}

void CLanguageAidCommands::ShowVariableList(CKestrelView *pView, int nMode)
{
    // Owned by the main window, as a dialog without a parent is: it stays above it.
    CVariableListDlg dlg(pView->window());
    if (nMode >= 0 && nMode <= 2)
        // The control's own bytes: the rows' offsets are then positions in the editor.
        dlg.m_strText = pView->GetControlBytes();
    dlg.m_nMode = nMode;
    QObject::connect(&dlg, &CVariableListDlg::LineActivated, pView,
                     [pView](int nLine, qsizetype nOffset) { GoToLine(pView, nLine, nOffset); });
    dlg.DoModal();
}

void CLanguageAidCommands::GoToLine(CKestrelView *pView, int nLine, qsizetype nOffset)
{
    long line = qMax(0, nLine - 1);
    long lineStart = pView->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line);
    long lineEnd = pView->SendScintilla(QsciScintilla::SCI_GETLINEENDPOSITION, line);
    if (lineStart < 0)
        return;
    long pos = (nOffset >= lineStart && nOffset <= lineEnd) ? long(nOffset) : lineStart;
    pView->SendScintilla(QsciScintilla::SCI_GOTOPOS, pos);
    pView->SendScintilla(QsciScintilla::SCI_SCROLLCARET);
}
