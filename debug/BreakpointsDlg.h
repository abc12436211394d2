#pragma once

#include <QDialog>

class CBreakpointHost;
class QPushButton;
class QTreeWidget;

// The list of all breakpoints: file, line, condition and what the debugger made of
// each; one or all of them can be removed here.
class CBreakpointsDlg : public QDialog
{
    Q_OBJECT

public:
    CBreakpointsDlg(CBreakpointHost *pHost, QWidget *parent = nullptr);

    void Refill();
    void OnRemove();
    void OnRemoveAll();
    QTreeWidget *List() const { return m_pList; }

private:
    void UpdateButtons();

    CBreakpointHost *m_pHost;
    QTreeWidget *m_pList;
    QPushButton *m_pRemove;
    QPushButton *m_pRemoveAll;
};
