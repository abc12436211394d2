#include "run/OutputPane.h"

#include "framework/OutputLimit.h"

COutputPane::COutputPane(QWidget *parent)
    : COutputView(parent)
{
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

