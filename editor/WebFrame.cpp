#include "editor/WebFrame.h"

#include "editor/WebPageView.h"
#include "editor/WebPreview.h"
#include "framework/ScreenFit.h"

#include <QWebEngineHttpRequest>
#include <QVBoxLayout>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

CWebFrame::CWebFrame(const QString &strPath)
    : QWidget(nullptr, Qt::Window)
    , m_strPath(strPath)
{
    CScreenFit::Install(this);
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

namespace {

void PrepareEngine()
{
    // The engine's sandbox refuses to start for the superuser; without it the page
    // still shows. Read when the engine starts, which is the first view.
#ifdef Q_OS_UNIX
    if (::geteuid() == 0 && !qEnvironmentVariableIsSet("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
#endif
}

} // namespace

extern "C" Q_DECL_EXPORT QWidget *KestrelCreateWebFrame(const char *pszPathUtf8)
{
    PrepareEngine();
    return new CWebFrame(QString::fromUtf8(pszPathUtf8));
}

extern "C" Q_DECL_EXPORT QWidget *KestrelCreateWebView(QWidget *parent)
{
    PrepareEngine();
    auto *view = new QWebEngineView(parent);
    view->setObjectName(QStringLiteral("WebPageView"));
    return view;
}

extern "C" Q_DECL_EXPORT void KestrelLoadWebView(QWidget *view, const char *pszUrlUtf8, const char *pszMethod,
                                                 const char *pBody, int nBody, const char *pszContentType)
{
    auto *web = qobject_cast<QWebEngineView *>(view);
    if (!web)
        return;
    QWebEngineHttpRequest request(QUrl(QString::fromUtf8(pszUrlUtf8)));
    if (qstrcmp(pszMethod, "POST") == 0) {
        request.setMethod(QWebEngineHttpRequest::Post);
        request.setPostData(QByteArray(pBody, nBody));
        request.setHeader("Content-Type", pszContentType);
    }
    web->load(request);
}
