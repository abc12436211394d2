#pragma once

#include <QFileDialog>

// File > Open's dialog: the script types Kestrel edits, each type a filter of its own,
// in the detail view, wide enough that the size, type and date of a file read whole.
class COpenFileDlg : public QFileDialog
{
    Q_OBJECT

public:
    COpenFileDlg(QWidget *parent, const QString &strDir);

    static QStringList Filters();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FitColumns();
};
