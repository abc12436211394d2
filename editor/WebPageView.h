#pragma once

#include <QWebEngineView>

// The browser view of a web frame. It shows the file as saved on disk, not the
// editor's unsaved text.
class CWebPageView : public QWebEngineView
{
    Q_OBJECT

public:
    CWebPageView(const QString &strPath, QWidget *parent);

    // Goes to the file's URL, built from the path so that blanks and "#" stay part of
    // the file name.
    void OnInitialUpdate();

private:
    QString m_strPath;
};
