#pragma once

#include <QDialog>
#include <QString>

class CDataExchange;

// MKDIR of the FTP browser: the name of the new directory.
class CCreateDirDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CCreateDirDlg(QWidget *parent = nullptr);

    int DoModal();

    QString m_strDirName;

protected:
    void DoDataExchange(CDataExchange *pDX);
    void accept() override;
};
