#pragma once

#include <QDialog>

// "About Bytelens": the program icon, its version and OK.
class CBytelensAboutDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CBytelensAboutDlg(QWidget *parent = nullptr);
};
