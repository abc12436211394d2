#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

class QComboBox;
class QLineEdit;
class QTreeWidget;
class QTreeWidgetItem;

// Picks a local folder: a drive box, the folder tree of the chosen drive unfolded along
// the current path, and the Directory box, whose text is the result. A double click on
// a folder makes it the chosen path and lists its subfolders; folders further down are
// listed only when asked for, so opening the dialog stays quick on large disks.
class CSelectDirectoryDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CSelectDirectoryDlg(QWidget *parent = nullptr);
    ~CSelectDirectoryDlg() override;

    int DoModal() { return exec(); }

    // Set before DoModal (empty: the current folder); after OK, the Directory box's text.
    QString m_strPath;
    QString m_strDrive;

    QTreeWidgetItem *m_hSelected = nullptr;
    QTreeWidgetItem *m_hRoot = nullptr;
    QComboBox *m_cbDrives = nullptr;
    QTreeWidget *m_tree = nullptr;

    // The folder image an item shows: 0 closed, 1 open.
    static int ImageOf(const QTreeWidgetItem *item);
    // The drives as the drive box shows them ("C:" on Windows, "/" elsewhere).
    static QStringList DriveTexts();

    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    bool OnInitDialog();
    void UpdateData(bool bSaveAndValidate);
    void BuildTree();
    void ListFolder(const QString &strPath, QTreeWidgetItem *item);
    void OnDriveSelEndOk(int nIndex);
    void OnItemExpanding(QTreeWidgetItem *item, bool bWasExpanded);
    void OnSelChanged(QTreeWidgetItem *current);
    void OnDblClick();
    // The tree control's state bits of an item: selected 2, expanded 32, expanded once 64.
    int ItemState(const QTreeWidgetItem *item, bool bExpanded) const;
    void SetFolderImage(QTreeWidgetItem *item, int nState);
    void SetImage(QTreeWidgetItem *item, int nImage);
    static QString RootText(const QString &strDrive);
    static QString JoinPath(const QString &strFolder, const QString &strName);

    QLineEdit *m_editPath = nullptr;
    QIcon m_images[2];
    bool m_bInitialised = false;
    bool m_bBuilding = false;
};
