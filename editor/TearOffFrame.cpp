#include "editor/TearOffFrame.h"

#include "app/KestrelDoc.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "framework/ScreenFit.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QScreen>

CTearOffFrame::CTearOffFrame()
    : QWidget(nullptr, Qt::Window)
    , m_wndEdit(new QPlainTextEdit(this))
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("CTearOffFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_wndEdit->setObjectName(QStringLiteral("103"));
    m_wndEdit->setReadOnly(true);
    m_wndEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_wndEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_wndEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Selecting and copying still work in a read-only box; a caret shows where.
    m_wndEdit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The window manager places the frame; its size is that of a usual document window.
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QSize avail = screen->availableSize();
        resize(avail.width() / 2, avail.height() / 2);
    }
}

void CTearOffFrame::Register(CKestrelView *pView)
{
    pView->Commands().On(Cmd::ID_VIEW_TEAR_OFF, [pView] { TearOff(pView); });
}

CTearOffFrame *CTearOffFrame::TearOff(CKestrelView *pView)
{
    auto *frame = new CTearOffFrame;
    frame->m_font = pView->font();
    frame->m_bHasFont = true;
    frame->setWindowTitle(pView->GetDocument()->GetTitle());
    // The control's own text, so that the copy shows each character as the editor
    // does, whatever the file's encoding.
    frame->m_wndEdit->setPlainText(QString::fromUtf8(pView->GetControlBytes()));
    frame->show();
    return frame;
}

void CTearOffFrame::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_bHasFont)
        m_wndEdit->setFont(m_font);
    m_wndEdit->setGeometry(kStripWidth, 0, width() - kStripWidth, height());
}

void CTearOffFrame::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    painter.fillRect(event->rect(), QColor(150, 160, 160));
}
