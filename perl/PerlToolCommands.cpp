#include "perl/PerlToolCommands.h"

#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/FindReplaceDlg.h"
#include "editor/KestrelView.h"
#include "editor/LanguageAidCommands.h"
#include "perl/PerlDocTopic.h"
#include "perl/PerlDocWindow.h"
#include "perl/PerlTidy.h"
#include "perl/SubListDlg.h"
#include "framework/CommandIds.h"
#include "framework/MessageBox.h"

#include <Qsci/qscilexer.h>
#include <Qsci/qscilexerperl.h>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QPointer>
#include <QStatusBar>

using namespace Cmd;

namespace {

void ShowStatus(CKestrelView *pView, const QString &strText, int nTimeoutMs = 0)
{
    if (auto *frame = qobject_cast<QMainWindow *>(pView->window()))
        frame->statusBar()->showMessage(strText, nTimeoutMs);
}

CPerlTidy *TidyOf(CKestrelView *pView)
{
    auto *tidy = pView->findChild<CPerlTidy *>(QStringLiteral("PerlTidy"), Qt::FindDirectChildrenOnly);
    if (!tidy) {
        tidy = new CPerlTidy(pView);
        tidy->setObjectName(QStringLiteral("PerlTidy"));
    }
    if (!tidy->property("stopConnected").toBool()) {
        tidy->setProperty("stopConnected", true);
        QObject::connect(tidy, &CPerlTidy::Stopped, tidy, [] { QApplication::restoreOverrideCursor(); });
    }
    return tidy;
}

// perltidy is for Perl: a Java source or an HTML page is left alone.
bool IsPerl(CKestrelView *pView)
{
    return qobject_cast<QsciLexerPerl *>(pView->lexer()) != nullptr;
}

QString ScriptName(CKestrelView *pView)
{
    const QString path = pView->GetDocument() ? pView->GetDocument()->GetPathName() : QString();
    return path.isEmpty() ? QObject::tr("the script") : QDir::toNativeSeparators(path);
}

} // namespace

void CPerlToolCommands::Register(CKestrelView *pView)
{
    CCommandMap &map = pView->Commands();
    map.On(ID_EDIT_REDO, [pView] { pView->redo(); }, [pView](CCmdUI &ui) { ui.Enable(pView->isRedoAvailable()); });
    map.On(ID_EDIT_REPEAT, [pView] { CFindReplaceDlg::FindAgain(pView, true); });
    map.On(ID_EDIT_FIND_PREVIOUS, [pView] { CFindReplaceDlg::FindAgain(pView, false); });
    map.On(ID_EDIT_TIDY, [pView] { Tidy(pView); }, [pView](CCmdUI &ui) {
        ui.Enable(IsPerl(pView) && !pView->isReadOnly() && !TidyOf(pView)->IsRunning());
    });
    map.On(ID_VIEW_SUBS, [pView] { ShowSubList(pView); });
    map.On(ID_HELP_PERL_DOC, [pView] { ShowDocumentationAtCaret(pView); });
}

void CPerlToolCommands::SetUpView(CKestrelView *pView)
{
    pView->setBraceMatching(QsciScintilla::SloppyBraceMatch);
    pView->setMatchedBraceForegroundColor(QColor(0x00, 0x00, 0xc0));
    pView->setMatchedBraceBackgroundColor(QColor(0xb4, 0xee, 0xb4));
    pView->setUnmatchedBraceForegroundColor(QColor(0xff, 0xff, 0xff));
    pView->setUnmatchedBraceBackgroundColor(QColor(0xe0, 0x30, 0x30));
    if (auto *perl = qobject_cast<QsciLexerPerl *>(pView->lexer())) {
        perl->setFoldCompact(false);
        perl->setFoldPODBlocks(true);
        perl->setFoldPackages(true);
        perl->setFoldComments(false);
    }
    pView->setFolding(QsciScintilla::BoxedTreeFoldStyle, kFoldMargin);
}

void CPerlToolCommands::Tidy(CKestrelView *pView)
{
    CPerlTidy *tidy = TidyOf(pView);
    if (tidy->IsRunning() || pView->isReadOnly() || !IsPerl(pView))
        return;
    // Whole lines: perltidy takes the first line's indentation as the level to keep.
    long start = 0;
    long end = pView->SendScintilla(QsciScintilla::SCI_GETLENGTH);
    const bool selection = pView->hasSelectedText();
    if (selection) {
        long selStart = pView->SendScintilla(QsciScintilla::SCI_GETSELECTIONSTART);
        long selEnd = pView->SendScintilla(QsciScintilla::SCI_GETSELECTIONEND);
        long firstLine = pView->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, selStart);
        long lastLine = pView->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, selEnd);
        // A selection that ends at the start of a line does not take that line.
        if (lastLine > firstLine && pView->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, lastLine) == selEnd)
            --lastLine;
        start = pView->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, firstLine);
        end = pView->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, lastLine + 1);
        if (end < start)
            end = pView->SendScintilla(QsciScintilla::SCI_GETLENGTH);
    }
    const QByteArray control = pView->GetControlBytes().mid(start, end - start);
    const QByteArray source = pView->RangeBytes(start, end);
    const QString path = pView->GetDocument() ? pView->GetDocument()->GetPathName() : QString();
    const QString workDir = path.isEmpty() ? QDir::currentPath() : QFileInfo(path).absolutePath();

    QPointer<CKestrelView> view(pView);
    QObject::disconnect(tidy, &CPerlTidy::Finished, nullptr, nullptr);
    QObject::connect(tidy, &CPerlTidy::Finished, tidy,
                     [view, start, end, control, source, selection](bool bOk, const QByteArray &baOutput,
                                                                    const QString &strError) {
        QApplication::restoreOverrideCursor();
        if (!view)
            return;
        CKestrelView *v = view;
        ShowStatus(v, QString());
        if (!bOk) {
            AfxMessageBox(v->window(),
                          QObject::tr("perltidy could not tidy %1; the text is left as it was.\n\n%2")
                              .arg(ScriptName(v), strError),
                          QMessageBox::Ok, QMessageBox::Warning);
            return;
        }
        // The user may have typed on while perltidy ran.
        if (v->SendScintilla(QsciScintilla::SCI_GETLENGTH) < end || v->GetControlBytes().mid(start, end - start) != control) {
            AfxMessageBox(v->window(),
                          QObject::tr("%1 changed while perltidy was running; the text is left as it was. "
                                      "Tidy again to tidy the new text.")
                              .arg(ScriptName(v)),
                          QMessageBox::Ok, QMessageBox::Warning);
            return;
        }
        QByteArray result = baOutput;
        // perltidy ends every text with a line end; a text that had none keeps none.
        if (!source.endsWith('\n')) {
            while (result.endsWith('\n') || result.endsWith('\r'))
                result.chop(1);
        }
        if (result == source) {
            ShowStatus(v, QObject::tr("perltidy: nothing to change."), 5000);
            return;
        }
        const long firstVisible = v->SendScintilla(QsciScintilla::SCI_GETFIRSTVISIBLELINE);
        const long caretLine =
            v->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, v->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS));
        v->SendScintilla(QsciScintilla::SCI_SETSEL, start, end);
        // One undoable step.
        v->ReplaceSel(result, true);
        if (selection) {
            const long newEnd = v->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
            v->SendScintilla(QsciScintilla::SCI_SETSEL, start, newEnd);
        } else {
            v->SendScintilla(QsciScintilla::SCI_GOTOLINE, caretLine);
            v->SendScintilla(QsciScintilla::SCI_SETFIRSTVISIBLELINE, firstVisible);
        }
        ShowStatus(v, QObject::tr("Tidied with perltidy."), 5000);
    });
    QApplication::setOverrideCursor(Qt::BusyCursor);
    ShowStatus(pView, QObject::tr("Tidying %1 with perltidy...").arg(ScriptName(pView)));
    tidy->Start(source, workDir, g_nTabSize, g_settings.TAB_EXPAND == QLatin1String("Y"));
}

void CPerlToolCommands::ShowDocumentationAtCaret(CKestrelView *pView)
{
    const long caret = pView->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
    const long line = pView->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, caret);
    const long lineStart = pView->SendScintilla(QsciScintilla::SCI_POSITIONFROMLINE, line);
    const long lineEnd = pView->SendScintilla(QsciScintilla::SCI_GETLINEENDPOSITION, line);
    // The control's bytes: a word is ASCII, and the column is a position in them.
    const QByteArray text = pView->GetControlBytes().mid(lineStart, lineEnd - lineStart);
    ShowDocumentation(pView, CPerlDocTopic::AtColumn(text, caret - lineStart));
}

void CPerlToolCommands::ShowDocumentation(QWidget *pOwner, const CPerlDocTopic &topic)
{
    CPerlDocWindow::Instance(pOwner)->ShowTopic(topic);
}

void CPerlToolCommands::ShowSubList(CKestrelView *pView)
{
    CSubListDlg dlg(pView->window());
    dlg.m_strText = pView->GetControlBytes();
    QObject::connect(&dlg, &CSubListDlg::LineActivated, pView, [pView](int nLine, qsizetype nOffset) {
        CLanguageAidCommands::GoToLine(pView, nLine, nOffset);
    });
    dlg.DoModal();
}
