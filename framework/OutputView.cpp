#include "framework/OutputView.h"

#include "framework/ScintillaAccessibility.h"

#include <QFont>
#include <QKeyEvent>

COutputView::COutputView(QWidget *parent)
    : QsciScintilla(parent)
{
    // Nothing here is ever styled, so the view keeps a document without a style byte
    // for every character of text: half the memory, and half the fresh pages to fault
    // in while a flood grows the text, which is what an append costs most.
    // The code page and the undo setting below belong to the document and follow it.
    void *pDoc = reinterpret_cast<void *>(SendScintilla(SCI_CREATEDOCUMENT, 0UL, long(SC_DOCUMENTOPTION_STYLES_NONE)));
    if (pDoc) {
        SendScintilla(SCI_SETDOCPOINTER, 0UL, pDoc);
        SendScintilla(SCI_RELEASEDOCUMENT, 0UL, pDoc);
    }
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
    // Lines can be very long; Scintilla measures only what is shown.
    SendScintilla(SCI_SETLAYOUTCACHE, SC_CACHE_PAGE);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1);
    SendScintilla(SCI_SETSCROLLWIDTH, 1);
    CScintillaAccessibility::Install();
}

bool COutputView::IsAtBottom() const
{
    auto *self = const_cast<COutputView *>(this);
    const long first = self->SendScintilla(SCI_GETFIRSTVISIBLELINE);
    const long onScreen = self->SendScintilla(SCI_LINESONSCREEN);
    const long lines = self->SendScintilla(SCI_GETLINECOUNT);
    return first + onScreen >= lines;
}

void COutputView::SetPaneFont(const QFont &font)
{
    setFont(font);
    SendScintilla(SCI_STYLESETFONT, STYLE_DEFAULT, font.family().toUtf8().constData());
    SendScintilla(SCI_STYLESETSIZE, STYLE_DEFAULT, font.pointSize() > 0 ? font.pointSize() : 10);
    SendScintilla(SCI_STYLESETBOLD, STYLE_DEFAULT, font.bold() ? 1L : 0L);
    SendScintilla(SCI_STYLESETITALIC, STYLE_DEFAULT, font.italic() ? 1L : 0L);
    SendScintilla(SCI_STYLECLEARALL);
}

void COutputView::keyPressEvent(QKeyEvent *event)
{
    // Scintilla would take Escape to cancel modes that a read-only view never enters.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->ignore();
        return;
    }
    QsciScintilla::keyPressEvent(event);
}
