#include "editor/WebFrame.h"

#include "editor/WebPageView.h"
#include "editor/WebPreview.h"

#include <QVBoxLayout>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

CWebFrame::CWebFrame(const QString &strPath)
    : QWidget(nullptr, Qt::Window)
    , m_strPath(strPath)
{
    setObjectName(QStringLiteral("CWebFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    resize(800, 600);
    OnCreateClient();
}

void CWebFrame::OnCreateClient()
{
    m_pView = new CWebPageView(m_strPath, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pView);
    m_pView->OnInitialUpdate();
}

extern "C" Q_DECL_EXPORT QWidget *KestrelCreateWebFrame(const char *pszPathUtf8)
{
    // The engine's sandbox refuses to start for the superuser; without it the page
    // still shows. Read when the engine starts, which is the first view.
#ifdef Q_OS_UNIX
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
    return new CWebFrame(QString::fromUtf8(pszPathUtf8));
}
