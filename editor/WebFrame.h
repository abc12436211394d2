#pragma once

#include <QWidget>

class CWebPageView;

// The window of View > In Browser: one browser view showing the saved HTML file.
// Built into the kestrel_web module only, so the engine loads with the first preview.
class CWebFrame : public QWidget
{
    Q_OBJECT

public:
    explicit CWebFrame(const QString &strPath);

    CWebPageView *PageView() const { return m_pView; }

private:
    void OnCreateClient();

    QString m_strPath;
    CWebPageView *m_pView = nullptr;
};
