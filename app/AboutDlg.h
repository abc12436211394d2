#pragma once

#include <QDialog>

// Help > About Kestrel.
class CAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget *parent = nullptr);
};
