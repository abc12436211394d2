#pragma once

#include <QByteArray>
#include <QDialog>
#include <QString>

class CFunctionListModel;
class QTreeView;

// The "Perl functions" window: the catalogue read once from KESTREL.FNL in the
// program folder. It lives hidden beside the main frame; a double-click hands the
// chosen template (with a line end) to whoever inserts it, and hides the window.
class CFunctionListDlg : public QDialog
{
    Q_OBJECT

public:
    // The catalogue is read from strPath; empty means KESTREL.FNL in the program folder.
    explicit CFunctionListDlg(QWidget *parent = nullptr, const QString &strPath = QString());
    ~CFunctionListDlg() override;

    static QString CataloguePath();

    QByteArray m_strTemplate;
    QTreeView *m_listCtrl = nullptr;
    int m_bInitialized = 0;

    // Columns and the catalogue's rows.
    bool OnInitDialog();
    // View > Functions: shows the window and gives it the focus. A catalogue that
    // could not be read is reported the first time.
    void ShowWindow();
    // What a double-click does: takes the template of the row holding the selection
    // mark (none: an empty template), emits it with a line end and hides the window.
    void OnDblClkList();

    bool LoadFailed() const { return m_bLoadFailed; }
    CFunctionListModel *Model() const { return m_pModel; }

signals:
    void TemplateChosen(const QByteArray &baText);
    // F1 on a row: the documentation of its function is wanted.
    void DocumentationRequested(const QString &strName);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    CFunctionListModel *m_pModel;
    QString m_strPath;
    bool m_bLoadFailed = false;
    bool m_bFailureReported = false;
};
