#pragma once

#include <QByteArray>
#include <QDialog>

class CVariableListModel;
class QTreeView;

// The list of a script's scalars, arrays or hashes (modes 0, 1, 2), or, in any other
// mode, the table of Perl's special variables. The caller sets the text and the mode
// before the dialog opens.
class CVariableListDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CVariableListDlg(QWidget *parent = nullptr);
    ~CVariableListDlg() override;

    // The editor's whole text, byte for byte.
    QByteArray m_strText;
    int m_nMode = 0;
    QTreeView *m_listCtrl = nullptr;
    int m_bInitialized = 0;

    // Title, columns and rows for the mode. Runs once, before the dialog first shows.
    bool OnInitDialog();
    int DoModal();

    CVariableListModel *Model() const { return m_pModel; }

signals:
    // A scan row was double-clicked (or Enter pressed on it), which also closes the
    // list: the 1-based line of the row and the byte offset
    // of the name's sigil.
    void LineActivated(int nLine, qsizetype nOffset);

protected:
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void OnDoubleClick(const QModelIndex &index);

    CVariableListModel *m_pModel;
};
