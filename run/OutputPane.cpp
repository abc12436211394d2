#include "run/OutputPane.h"

#include "editor/ScintillaAccessibility.h"
#include "framework/OutputLimit.h"

#include <QKeyEvent>

COutputPane::COutputPane(QWidget *parent)
    : QsciScintilla(parent)
{
    setUtf8(true);
    SendScintilla(SCI_SETCODEPAGE, SC_CP_UTF8);
    SendScintilla(SCI_SETUNDOCOLLECTION, 0);
    // Modification notifications cost time in proportion to the whole text on every
    // append; nothing here listens to them, and they made a flood crawl.
    SendScintilla(SCI_SETMODEVENTMASK, 0L);
    setReadOnly(true);
    setWrapMode(WrapNone);
    setMarginWidth(0, 0);
    setMarginWidth(1, 0);
    setMarginWidth(2, 0);
    setCaretLineVisible(false);
    // A child's lines can be very long; Scintilla measures only what is shown.
    SendScintilla(SCI_SETLAYOUTCACHE, SC_CACHE_PAGE);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    CScintillaAccessibility::Install();
}

void COutputPane::keyPressEvent(QKeyEvent *event)
{
    // Scintilla would take Escape to cancel modes that a read-only pane never enters;
    // left to the window, Escape closes it from a pane as from any other control.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->ignore();
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

bool COutputPane::IsAtBottom() const
{
    auto *self = const_cast<COutputPane *>(this);
    long first = self->SendScintilla(SCI_GETFIRSTVISIBLELINE);
    long onScreen = self->SendScintilla(SCI_LINESONSCREEN);
    long lines = self->SendScintilla(SCI_GETLINECOUNT);
    return first + onScreen >= lines;
}

void COutputPane::AppendBytes(const QByteArray &data)
{
    if (data.isEmpty())
        return;
    bool bFollow = IsAtBottom();
    SendScintilla(SCI_SETREADONLY, 0);
    SendScintilla(SCI_APPENDTEXT, (unsigned long)data.size(), data.constData());
    if (SendScintilla(SCI_GETLENGTH) > m_nMaxBytes)
        DropOldest();
    SendScintilla(SCI_SETREADONLY, 1);
    if (bFollow) {
        long lines = SendScintilla(SCI_GETLINECOUNT);
        long onScreen = SendScintilla(SCI_LINESONSCREEN);
        SendScintilla(SCI_SETFIRSTVISIBLELINE, qMax(0L, lines - onScreen));
    }
    emit Appended();
}

void COutputPane::DropOldest()
{
    long length = SendScintilla(SCI_GETLENGTH);
    long cut = long(COutputLimit::DropCount(length, m_nMaxBytes));
    if (cut <= m_nNoteLength)
        return;
    long line = SendScintilla(SCI_LINEFROMPOSITION, cut);
    long lineStart = SendScintilla(SCI_POSITIONFROMLINE, line);
    if (lineStart > m_nNoteLength)
        cut = lineStart;
    m_nDropped += cut - m_nNoteLength;
    SendScintilla(SCI_DELETERANGE, 0L, cut);
    const QByteArray note = COutputLimit::DroppedNote(m_nDropped);
    SendScintilla(SCI_INSERTTEXT, (unsigned long)0, note.constData());
    m_nNoteLength = note.size();
}

QByteArray COutputPane::TextBytes() const
{
    auto *self = const_cast<COutputPane *>(this);
    long length = self->SendScintilla(SCI_GETLENGTH);
    auto *p = reinterpret_cast<const char *>(self->SendScintilla(SCI_GETCHARACTERPOINTER));
    return QByteArray(p, int(length));
}

void COutputPane::SetPaneFont(const QFont &font)
{
    setFont(font);
    SendScintilla(SCI_STYLESETFONT, STYLE_DEFAULT, font.family().toUtf8().constData());
    SendScintilla(SCI_STYLESETSIZE, STYLE_DEFAULT, font.pointSize() > 0 ? font.pointSize() : 10);
    SendScintilla(SCI_STYLESETBOLD, STYLE_DEFAULT, font.bold() ? 1L : 0L);
    SendScintilla(SCI_STYLESETITALIC, STYLE_DEFAULT, font.italic() ? 1L : 0L);
    SendScintilla(SCI_STYLECLEARALL);
}
