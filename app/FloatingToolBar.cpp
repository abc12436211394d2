#include "app/FloatingToolBar.h"

#include <QAction>
#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QToolButton>

#include <algorithm>

CFloatingToolBar::CFloatingToolBar(const QString &strTitle, const QList<QAction *> &actions, int nColumns,
                                   QWidget *parent)
    : QWidget(parent, Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(strTitle);
    auto *grid = new QGridLayout(this);
    grid->setContentsMargins(2, 2, 2, 2);
    grid->setSpacing(1);
    for (int i = 0; i < actions.size(); ++i) {
        auto *button = new QToolButton(this);
        button->setDefaultAction(actions[i]);
        button->setAutoRaise(true);
        button->setIconSize(QSize(28, 18));
        // Buttons fill their columns when the title makes the window wider than they need.
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
        button->setObjectName(QStringLiteral("button_%1").arg(actions[i]->data().toInt()));
        grid->addWidget(button, i / nColumns, i % nColumns);
    }
    // A window as narrow as its buttons has a title bar that shows only "...".
    setFixedSize(std::max(sizeHint().width(), TitleBarWidth(strTitle)), sizeHint().height());
}

int CFloatingToolBar::TitleBarWidth(const QString &strTitle)
{
    // Window managers draw titles in a bold font about the application's size, beside
    // the window's icon and up to three buttons, each about a line high with padding.
    // A title centred across the bar (openbox) needs the buttons' room on both sides.
    QFont font = QApplication::font();
    font.setBold(true);
    const QFontMetrics fm(font);
    return fm.horizontalAdvance(strTitle) + 2 * 3 * (fm.height() + 4);
}

void CFloatingToolBar::showEvent(QShowEvent *e)
{
    QWidget::showEvent(e);
    emit VisibilityChanged(true);
}

void CFloatingToolBar::hideEvent(QHideEvent *e)
{
    QWidget::hideEvent(e);
    emit VisibilityChanged(false);
}
