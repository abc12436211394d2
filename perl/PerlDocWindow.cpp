#include "perl/PerlDocWindow.h"

#include "perl/PerlDocLookup.h"
#include "framework/ScreenFit.h"

#include <QApplication>
#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QVBoxLayout>

CPerlDocWindow::CPerlDocWindow(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_pText(new QPlainTextEdit(this))
    , m_pLookup(new CPerlDocLookup(this))
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("PerlDocWindow"));
    setWindowTitle(tr("Perl Documentation"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_pText->setObjectName(QStringLiteral("PerlDocText"));
    m_pText->setReadOnly(true);
    m_pText->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(m_pText);
    // perldoc's text is 80 columns wide.
    const QFontMetrics fm(m_pText->font());
    resize(fm.horizontalAdvance(QString(84, QLatin1Char('M'))) + 40, fm.height() * 36);
    connect(m_pLookup, &CPerlDocLookup::Finished, this, [this](bool bFound, const QString &strText) {
        SetBusy(false);
        m_pText->setPlainText(strText);
        emit LookupFinished(bFound);
    });
}

CPerlDocWindow::~CPerlDocWindow()
{
    SetBusy(false);
}

void CPerlDocWindow::SetBusy(bool bBusy)
{
    if (bBusy == m_bBusy)
        return;
    m_bBusy = bBusy;
    if (bBusy)
        QApplication::setOverrideCursor(Qt::BusyCursor);
    else
        QApplication::restoreOverrideCursor();
}

CPerlDocWindow *CPerlDocWindow::Instance(QWidget *owner)
{
    QWidget *top = owner ? owner->window() : nullptr;
    if (top) {
        if (auto *w = top->findChild<CPerlDocWindow *>(QStringLiteral("PerlDocWindow"), Qt::FindDirectChildrenOnly))
            return w;
    }
    return new CPerlDocWindow(top);
}

void CPerlDocWindow::ShowTopic(const CPerlDocTopic &topic)
{
    m_topic = topic;
    setWindowTitle(topic.IsEmpty() ? tr("Perl Documentation")
                                   : tr("Perl Documentation - %1").arg(topic.strName));
    m_pText->setPlainText(topic.IsEmpty() ? QString() : tr("Looking up %1 ...").arg(topic.strName));
    show();
    raise();
    activateWindow();
    SetBusy(true);
    m_pLookup->Start(topic);
}
