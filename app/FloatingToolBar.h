#pragma once

#include <QList>
#include <QWidget>

class QAction;

// A toolbar that never docks: a small tool window of its own holding its buttons in
// a fixed number of columns. Moving the main window doesn't move it.
class CFloatingToolBar : public QWidget
{
    Q_OBJECT

public:
    CFloatingToolBar(const QString &strTitle, const QList<QAction *> &actions, int nColumns, QWidget *parent);

    // The narrowest window whose title bar shows `strTitle` whole.
    static int TitleBarWidth(const QString &strTitle);

signals:
    void VisibilityChanged(bool bVisible);

protected:
    void showEvent(QShowEvent *e) override;
    void hideEvent(QHideEvent *e) override;
};
