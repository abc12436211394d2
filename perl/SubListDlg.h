#pragma once

#include <QByteArray>
#include <QDialog>

class CSubListModel;
class QTreeView;

// View > Subs: the script's package and sub declarations with their lines. Enter or a
// double-click on a row goes to its line and closes the list.
class CSubListDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CSubListDlg(QWidget *parent = nullptr);
    ~CSubListDlg() override;

    // The editor's text as the control holds it: the rows' offsets are then positions
    // in the editor. Set before the dialog opens.
    QByteArray m_strText;
    QTreeView *m_listCtrl = nullptr;

    int DoModal();
    CSubListModel *Model() const { return m_pModel; }

signals:
    // The 1-based line of the chosen row and the offset of its keyword.
    void LineActivated(int nLine, qsizetype nOffset);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Fill();
    void Activate(const QModelIndex &index);

    CSubListModel *m_pModel;
    bool m_bFilled = false;
};
