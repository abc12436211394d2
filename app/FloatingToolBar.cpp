#include "app/FloatingToolBar.h"

#include <QAction>
#include <QGridLayout>
#include <QToolButton>

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
        button->setObjectName(QStringLiteral("button_%1").arg(actions[i]->data().toInt()));
        grid->addWidget(button, i / nColumns, i % nColumns);
    }
    setFixedSize(sizeHint());
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
