#pragma once

#include <QDialog>
#include <QString>

class CDataExchange;

// RENAME of the FTP browser: the old name shown, the new name asked.
class CRenameFileDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CRenameFileDlg(QWidget *parent = nullptr);

    int DoModal();

    QString m_strNewName;
    QString m_strOldName;

protected:
    void DoDataExchange(CDataExchange *pDX);
    void accept() override;
};
