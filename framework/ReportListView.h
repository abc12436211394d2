#pragma once

#include <QTreeView>

// A list of rows with columns, one row selected at a time, as the IDE's list windows
// show their variables, functions and server files.
class CReportListView : public QTreeView
{
    Q_OBJECT

public:
    explicit CReportListView(QWidget *parent = nullptr);
};
