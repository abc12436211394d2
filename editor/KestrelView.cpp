#include "editor/KestrelView.h"
#include "framework/ScintillaAccessibility.h"

#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/FindReplaceDlg.h"
#include "editor/TearOffFrame.h"
#include "web/RunInBrowserFrame.h"
#include "editor/WebPreview.h"
#include "editor/LanguageAidCommands.h"
#include "editor/LineEditCommands.h"
#include "editor/MessageMarkers.h"
#include "editor/BreakpointMarkers.h"
#include "perl/CheckCommands.h"
#include "perl/PerlToolCommands.h"
#include "framework/CommandIds.h"
#include "framework/FontDialogStyle.h"
#include "framework/LogFont.h"
#include "debug/DebugCommands.h"
#include "run/RunCommands.h"
#include "run/ScriptInputsDlg.h"
#include "server/FtpCommands.h"
#include "server/RunOnServer.h"

#include <Qsci/qscilexerhtml.h>
#include <Qsci/qscilexerjava.h>
#include <Qsci/qscilexerperl.h>
#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>
#include <Qsci/qsciprinter.h>

#include <QApplication>
#include <QClipboard>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrintPreviewDialog>

QFont g_fontView;
int g_nCurLine = 1;
int g_nCurCol = 1;
int g_nTabSize = 0;
QString g_strTabSpaces;

namespace {

// The printer is shared by Print Setup, Print and Print Preview, as the chosen page
// settings are meant to last for the session.
QsciPrinter &SharedPrinter()
{
    static QsciPrinter printer(QPrinter::HighResolution);
    return printer;
}

} // namespace

CKestrelView::CKestrelView(CKestrelDoc *pDoc, QWidget *parent)
    : QsciScintilla(parent)
    , m_pDoc(pDoc)
    , m_dlgScriptInputs(new CScriptInputsDlg(this))
{
    setObjectName(QStringLiteral("KestrelView"));
    setUtf8(true);
    SendScintilla(SCI_SETEOLMODE, SC_EOL_LF);
    SendScintilla(SCI_SETCODEPAGE, SC_CP_UTF8);
    setTabWidth(8);
    setIndentationsUseTabs(true);
    setWrapMode(WrapNone);
    setMarginType(0, NumberMargin);
    setMarginLineNumbers(0, true);
    m_pMarkers = new CMessageMarkers(this);
    m_pBreakpoints = new CBreakpointMarkers(this);
    setBraceMatching(SloppyBraceMatch);
    setCaretLineVisible(false);
    // Long files must stay responsive: colour only what is shown.
    SendScintilla(SCI_SETIDLESTYLING, SC_IDLESTYLING_TOVISIBLE);
    connect(this, &QsciScintilla::linesChanged, this, &CKestrelView::UpdateLineNumberMargin);
    connect(this, &QsciScintillaBase::SCN_UPDATEUI, this, &CKestrelView::UpdateLineNumberMargin);
    // The status bar follows the caret however it got there: keys, the mouse, or a
    // jump from a list, a message or Go To Line.
    connect(this, &QsciScintilla::cursorPositionChanged, this, &CKestrelView::UpdateCaretPos);
    connect(this, &QsciScintilla::selectionChanged, this, &CKestrelView::UpdateCaretPos);
    RegisterCommands();
    UpdateLineNumberMargin();
    CScintillaAccessibility::Install();
}

CKestrelView::~CKestrelView() = default;

void CKestrelView::RegisterCommands()
{
    using namespace Cmd;
    auto hasSelection = [this](CCmdUI &ui) { ui.Enable(hasSelectedText()); };
    m_commands.On(ID_EDIT_UNDO, [this] { undo(); }, [this](CCmdUI &ui) { ui.Enable(isUndoAvailable()); });
    m_commands.On(ID_EDIT_CUT, [this] { cut(); }, hasSelection);
    m_commands.On(ID_EDIT_COPY, [this] { copy(); }, hasSelection);
    m_commands.On(ID_EDIT_PASTE, [this] { paste(); }, [](CCmdUI &ui) {
        const QMimeData *data = QApplication::clipboard()->mimeData();
        ui.Enable(data && data->hasText());
    });
    m_commands.On(ID_EDIT_SELECT_ALL, [this] { selectAll(true); });
    m_commands.On(ID_EDIT_FIND, [this] { CFindReplaceDlg::Show(this, false); });
    m_commands.On(ID_EDIT_REPLACE, [this] { CFindReplaceDlg::Show(this, true); });
    m_commands.On(ID_VIEW_FONT, [this] { OnViewFont(); });
    m_commands.On(ID_FILE_PRINT, [this] {
        QPrintDialog dlg(&SharedPrinter(), this);
        if (dlg.exec() == QDialog::Accepted)
            SharedPrinter().printRange(this);
    });
    m_commands.On(ID_FILE_PRINT_DIRECT, [this] { SharedPrinter().printRange(this); });
    m_commands.On(ID_FILE_PRINT_PREVIEW, [this] {
        QPrintPreviewDialog dlg(&SharedPrinter(), this);
        connect(&dlg, &QPrintPreviewDialog::paintRequested, this, [this](QPrinter *printer) {
            static_cast<QsciPrinter *>(printer)->printRange(this);
        });
        dlg.exec();
    });
    m_commands.On(ID_FILE_PRINT_SETUP, [this] {
        QPageSetupDialog dlg(&SharedPrinter(), this);
        dlg.exec();
    });
    CTearOffFrame::Register(this);
    CWebPreview::Register(this);
    CRunInBrowserFrame::Register(this);
    CLanguageAidCommands::Register(this);
    CLineEditCommands::Register(this);
    CPerlToolCommands::Register(this);
    CRunOnServer::Register(this);
    CFtpCommands::Register(this);
    CRunCommands::Register(this);
    CDebugCommands::Register(this);
    m_commands.On(ID_DEBUG_TOGGLE_BREAKPOINT, [this] { m_pBreakpoints->ToggleAtCaret(); });
    m_commands.On(ID_DEBUG_CONDITIONAL_BREAKPOINT, [this] { m_pBreakpoints->EditConditionAtCaret(); });
    m_commands.On(ID_DEBUG_BREAKPOINTS, [this] { m_pBreakpoints->ShowList(); });
    m_commands.On(ID_DEBUG_REMOVE_ALL_BREAKPOINTS, [this] { m_pBreakpoints->Clear(); },
                  [this](CCmdUI &ui) { ui.Enable(!m_pBreakpoints->Lines().isEmpty()); });
    CCheckCommands::Register(this);
}

CMessageTarget *CKestrelView::MessageTarget() const
{
    return m_pMarkers;
}

CBreakpointHost *CKestrelView::BreakpointHost() const
{
    return m_pBreakpoints;
}

void CKestrelView::GoToLine(int nLine)
{
    const int line = qBound(0, nLine - 1, qMax(0, lines() - 1));
    SendScintilla(SCI_ENSUREVISIBLEENFORCEPOLICY, line);
    SendScintilla(SCI_GOTOLINE, line);
    SendScintilla(SCI_VERTICALCENTRECARET);
    UpdateCaretPos();
}

void CKestrelView::OnInitialUpdate()
{
    CLogFont lf;
    if (CLogFont::Parse(g_settings.VIEW_FONT.toUtf8(), lf) < 13)
        lf = CLogFont::DefaultMonospace();
    g_fontView = lf.ToQFont();
    ApplyFont(g_fontView);

    bool ok = false;
    g_nTabSize = g_settings.TAB_SIZE.trimmed().toInt(&ok);
    if (!ok)
        g_nTabSize = 0;
    g_strTabSpaces = g_nTabSize > 0 ? QString(g_nTabSize, QLatin1Char(' ')) : QString();

    g_nCurLine = 1;
    g_nCurCol = 1;
    m_nLastKey = 0;
    SelectLexerFor(m_pDoc ? m_pDoc->GetPathName() : QString());
    emit CaretMoved(g_nCurLine, g_nCurCol);
}

void CKestrelView::SelectLexerFor(const QString &strPath)
{
    enum class Kind { Perl, Java, Html };
    QString suffix = QFileInfo(strPath).suffix().toLower();
    Kind kind = Kind::Perl;
    if (suffix == QLatin1String("java"))
        kind = Kind::Java;
    else if (suffix == QLatin1String("htm") || suffix == QLatin1String("html"))
        kind = Kind::Html;
    // Setting a lexer colours the whole text at once, which takes seconds for a large
    // file: keep the one there is when it fits.
    if (m_pLexer && int(kind) == m_nLexerKind)
        return;
    QsciLexer *lexer = nullptr;
    switch (kind) {
    case Kind::Java: lexer = new QsciLexerJava(this); break;
    case Kind::Html: lexer = new QsciLexerHTML(this); break;
    case Kind::Perl: lexer = new QsciLexerPerl(this); break;
    }
    setLexer(lexer);
    delete m_pLexer;
    m_pLexer = lexer;
    m_nLexerKind = int(kind);
    ++m_nLexerGeneration;
    ApplyFont(g_fontView);
    CPerlToolCommands::SetUpView(this);
}

void CKestrelView::ApplyFont(const QFont &font)
{
    // Each style change lays the text out again; a new document with the same font
    // needs none.
    if (m_bFontApplied && font == m_fontApplied && m_nLexerGeneration == m_nFontLexerGeneration)
        return;
    m_bFontApplied = true;
    m_fontApplied = font;
    m_nFontLexerGeneration = m_nLexerGeneration;
    if (m_pLexer) {
        m_pLexer->setDefaultFont(font);
        m_pLexer->setFont(font, -1);
    }
    setFont(font);
    setMarginsFont(font);
    m_nMarginDigits = 0;
    UpdateLineNumberMargin();
}

void CKestrelView::OnViewFont()
{
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, FontForDialog(g_fontView), this);
    if (!ok)
        return;
    g_fontView = chosen;
    ApplyFont(g_fontView);
}

void CKestrelView::UpdateModEventMask(qsizetype nLength)
{
    // Every modification notice makes QScintilla count the characters from the start
    // of the text to the change (for its accessibility events), which costs a tenth
    // of a second per key at the end of a 20 MB file. Large texts go without the
    // notices; the document follows the save point instead, which Scintilla reports
    // whatever the mask.
    const long kLargeText = 1 << 20;
    bool large = nLength > kLargeText;
    SendScintilla(SCI_SETMODEVENTMASK, large ? 0UL : (unsigned long)SC_MODEVENTMASKALL);
}

void CKestrelView::UpdateLineNumberMargin()
{
    int digits = QString::number(qMax(1, lines())).size();
    if (digits == m_nMarginDigits)
        return;
    m_nMarginDigits = digits;
    setMarginWidth(0, QString(qMax(3, digits) + 1, QLatin1Char('9')));
}

QByteArray CKestrelView::GetControlBytes() const
{
    auto *self = const_cast<CKestrelView *>(this);
    long length = self->SendScintilla(SCI_GETLENGTH);
    auto *p = reinterpret_cast<const char *>(self->SendScintilla(SCI_GETCHARACTERPOINTER));
    return QByteArray(p, int(length));
}

QByteArray CKestrelView::GetTextBytes(long *pnUnencodable) const
{
    qsizetype bad = -1;
    QByteArray bytes = m_nEncoding == CScriptEncoding::Utf8
                           ? GetControlBytes()
                           : CScriptEncoding::Utf8ToWindows1252(GetControlBytes(), &bad);
    if (pnUnencodable)
        *pnUnencodable = long(bad);
    return bytes;
}

void CKestrelView::SetTextBytes(const QByteArray &text, bool bCanUndo)
{
    if (!bCanUndo)
        m_nEncoding = CScriptEncoding::Detect(text);
    const QByteArray control =
        m_nEncoding == CScriptEncoding::Utf8 ? text : CScriptEncoding::Windows1252ToUtf8(text);
    if (!bCanUndo)
        SendScintilla(SCI_SETUNDOCOLLECTION, 0);
    else
        SendScintilla(SCI_BEGINUNDOACTION);
    SendScintilla(SCI_CLEARALL);
    if (!bCanUndo) {
        // Marks and breakpoints belong to the text that was there, not to the new one.
        // They go while the control is empty: cleared over a long text, they cost a
        // repaint request per line.
        m_pMarkers->Clear();
        m_pBreakpoints->Clear();
    }
    // Decided before the text goes in: the insertion notice itself would copy the
    // whole text into a string.
    UpdateModEventMask(control.size());
    SendScintilla(SCI_APPENDTEXT, (unsigned long)control.size(), control.constData());
    SendScintilla(SCI_GOTOPOS, 0);
    if (!bCanUndo) {
        SendScintilla(SCI_SETUNDOCOLLECTION, 1);
        SendScintilla(SCI_EMPTYUNDOBUFFER);
    } else {
        SendScintilla(SCI_ENDUNDOACTION);
    }
}

void CKestrelView::ReplaceSel(const QByteArray &text, bool bCanUndo)
{
    // The keyboard aids insert without being meant for undo; they are recorded anyway,
    // as leaving them out would leave Scintilla's undo history pointing at wrong places.
    Q_UNUSED(bCanUndo);
    const QByteArray control =
        m_nEncoding == CScriptEncoding::Utf8 ? text : CScriptEncoding::Windows1252ToUtf8(text);
    SendScintilla(SCI_BEGINUNDOACTION);
    // SCI_REPLACESEL stops at a NUL byte; the target messages take a length.
    long start = SendScintilla(SCI_GETSELECTIONSTART);
    long end = SendScintilla(SCI_GETSELECTIONEND);
    SendScintilla(SCI_SETTARGETSTART, start);
    SendScintilla(SCI_SETTARGETEND, end);
    SendScintilla(SCI_REPLACETARGET, (unsigned long)control.size(), control.constData());
    SendScintilla(SCI_SETEMPTYSELECTION, (unsigned long)(start + control.size()));
    SendScintilla(SCI_SCROLLCARET);
    SendScintilla(SCI_ENDUNDOACTION);
}

QByteArray CKestrelView::ControlRange(long start, long end) const
{
    auto *self = const_cast<CKestrelView *>(this);
    if (start < 0 || end <= start)
        return QByteArray();
    auto *p = reinterpret_cast<const char *>(self->SendScintilla(SCI_GETRANGEPOINTER, start, end - start));
    return QByteArray(p, int(end - start));
}

QByteArray CKestrelView::RangeBytes(long start, long end) const
{
    const QByteArray control = ControlRange(start, end);
    if (m_nEncoding == CScriptEncoding::Utf8)
        return control;
    return CScriptEncoding::Utf8ToWindows1252(control);
}

QByteArray CKestrelView::GetSelectedBytes() const
{
    auto *self = const_cast<CKestrelView *>(this);
    return RangeBytes(self->SendScintilla(SCI_GETSELECTIONSTART), self->SendScintilla(SCI_GETSELECTIONEND));
}

QString CKestrelView::RefusalMessage(const QString &text) const
{
    const qsizetype bad = CScriptEncoding::FirstUnencodable(text);
    if (m_nEncoding == CScriptEncoding::Utf8 || bad < 0)
        return QString();
    const qsizetype length = text[bad].isHighSurrogate() && bad + 1 < text.size() ? 2 : 1;
    return tr("\"%1\" was not inserted: this file is Windows-1252 text, which has no such character.")
        .arg(text.mid(bad, length));
}

bool CKestrelView::AcceptText(const QString &text)
{
    const QString message = RefusalMessage(text);
    if (message.isEmpty())
        return true;
    QApplication::beep();
    emit TextRefused(message);
    return false;
}

void CKestrelView::replace(const QString &replaceStr)
{
    if (AcceptText(replaceStr))
        QsciScintilla::replace(replaceStr);
}

void CKestrelView::replaceSelectedText(const QString &text)
{
    if (AcceptText(text))
        QsciScintilla::replaceSelectedText(text);
}

void CKestrelView::paste()
{
    const QMimeData *data = QApplication::clipboard()->mimeData();
    if (data && data->hasText() && !AcceptText(data->text()))
        return;
    QsciScintilla::paste();
}

bool CKestrelView::canInsertFromMimeData(const QMimeData *source) const
{
    if (!QsciScintilla::canInsertFromMimeData(source))
        return false;
    // Middle-click paste, the context menu's Paste and drops come this way.
    const QString message = RefusalMessage(source->text());
    if (message.isEmpty())
        return true;
    emit const_cast<CKestrelView *>(this)->TextRefused(message);
    return false;
}

void CKestrelView::inputMethodEvent(QInputMethodEvent *e)
{
    if (e->commitString().isEmpty() || AcceptText(e->commitString())) {
        QsciScintilla::inputMethodEvent(e);
        return;
    }
    QInputMethodEvent withoutCommit(e->preeditString(), e->attributes());
    QsciScintilla::inputMethodEvent(&withoutCommit);
}

// Typed text that would put a character Windows-1252 has no byte for into such a
// file. Scintilla's case conversions change ASCII letters only, so they need nothing.
bool CKestrelView::RefusesKey(QKeyEvent *e)
{
    if (m_nEncoding == CScriptEncoding::Utf8 || isReadOnly())
        return false;
    const int key = e->key();
    if (key != 0 && key != Qt::Key_unknown) {
        const int combo = key | int(e->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier
                                                      | Qt::MetaModifier));
        // A command key inserts no text.
        if (standardCommands()->boundTo(combo))
            return false;
    }
    const QString text = e->text();
    return !text.isEmpty() && text[0].isPrint() && !AcceptText(text);
}

QByteArray CKestrelView::LineBytes(int line) const
{
    auto *self = const_cast<CKestrelView *>(this);
    long start = self->SendScintilla(SCI_POSITIONFROMLINE, line);
    long end = self->SendScintilla(SCI_GETLINEENDPOSITION, line);
    return ControlRange(start, end);
}

void CKestrelView::UpdateCaretPos()
{
    long selStart = SendScintilla(SCI_GETSELECTIONSTART);
    long selEnd = SendScintilla(SCI_GETSELECTIONEND);
    long caret = SendScintilla(SCI_GETCURRENTPOS);
    int startLine = int(SendScintilla(SCI_LINEFROMPOSITION, selStart));
    int caretLine = int(SendScintilla(SCI_LINEFROMPOSITION, caret));
    long caretLineStart = SendScintilla(SCI_POSITIONFROMLINE, caretLine);
    g_nCurLine = 1 + startLine;
    g_nCurCol = 1 + int(SendScintilla(SCI_COUNTCHARACTERS, caretLineStart, qMax(selEnd, caretLineStart)));
    emit CaretMoved(g_nCurLine, g_nCurCol);
}

void CKestrelView::OnTabKeyDown()
{
    UpdateCaretPos();
    m_nLastKey = Qt::Key_Tab;
    if (g_settings.TAB_EXPAND == QLatin1String("Y"))
        ReplaceSel(g_strTabSpaces.toLatin1(), false);
    else
        ReplaceSel("\t", false);
}

void CKestrelView::OnHomeKeyDown(QKeyEvent *e)
{
    const bool shift = e->modifiers() & Qt::ShiftModifier;
    const bool ctrl = e->modifiers() & Qt::ControlModifier;
    // The previous key, before this one replaces it: only Home right after Home (the
    // same Home, with or without Shift) takes the second step.
    const bool again = m_nLastKey == unsigned(Qt::Key_Home);
    m_nLastKey = Qt::Key_Home;
    long target = 0;
    if (ctrl) {
        // The start of the text, at once: there is no indentation to stop at first.
        target = 0;
    } else {
        // Moving, the line is that of the caret or, with a selection, where it starts;
        // extending, the line of the end that moves.
        const long from = shift ? SendScintilla(SCI_GETCURRENTPOS) : SendScintilla(SCI_GETSELECTIONSTART);
        const int line = int(SendScintilla(SCI_LINEFROMPOSITION, from));
        const long lineStart = SendScintilla(SCI_POSITIONFROMLINE, line);
        if (again) {
            target = lineStart;
        } else {
            QByteArray text = LineBytes(line).left(1024);
            int count = 0;
            while (count < text.size() && (text[count] == ' ' || text[count] == '\t'))
                ++count;
            target = lineStart + count;
        }
    }
    if (shift) {
        SendScintilla(SCI_SETSEL, SendScintilla(SCI_GETANCHOR), target);
    } else {
        SendScintilla(SCI_SETEMPTYSELECTION, (unsigned long)target);
    }
    SendScintilla(SCI_SCROLLCARET);
    SendScintilla(SCI_CHOOSECARETX);
}

void CKestrelView::keyPressEvent(QKeyEvent *e)
{
    UpdateCaretPos();
    const int key = e->key();
    const bool plain = !(e->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
    if (key == Qt::Key_Tab && plain && !isReadOnly()) {
        OnTabKeyDown();
        e->accept();
        return;
    }
    if (key == Qt::Key_Home && !(e->modifiers() & (Qt::AltModifier | Qt::MetaModifier))) {
        OnHomeKeyDown(e);
        e->accept();
        return;
    }
    m_nLastKey = unsigned(key);
    if (RefusesKey(e)) {
        e->accept();
        return;
    }
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    const long linesBefore = enter ? SendScintilla(SCI_GETLINECOUNT) : 0;
    QsciScintilla::keyPressEvent(e);
    // The indentation goes with the Enter key that broke the line here, never with the
    // release of an Enter pressed elsewhere: the Enter that closes a dialog over the
    // editor is released here, after the dialog has gone.
    if (enter && g_settings.AUTO_INDENT && !isReadOnly() && SendScintilla(SCI_GETLINECOUNT) > linesBefore)
        AutoIndentAfterEnter();
}

void CKestrelView::keyReleaseEvent(QKeyEvent *e)
{
    UpdateCaretPos();
    QsciScintilla::keyReleaseEvent(e);
}

void CKestrelView::AutoIndentAfterEnter()
{
    long caret = SendScintilla(SCI_GETCURRENTPOS);
    int caretLine = int(SendScintilla(SCI_LINEFROMPOSITION, caret));
    if (caretLine == 0)
        return;
    QByteArray above = LineBytes(caretLine - 1).left(1024);
    int count = 0;
    while (count < above.size() && (above[count] == ' ' || above[count] == '\t'))
        ++count;
    ReplaceSel(above.left(count), false);
    if (above.contains('{')) {
        // The extra level is a Tab key of its own. It is taken at once: keys the user
        // typed quickly after Enter may already be waiting, and the level must come
        // before them, not land wherever the caret has got to by the next turn.
        OnTabKeyDown();
    }
}

void CKestrelView::mouseReleaseEvent(QMouseEvent *e)
{
    QsciScintilla::mouseReleaseEvent(e);
    UpdateCaretPos();
}
