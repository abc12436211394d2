#include "web/RunInBrowserFrame.h"

#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "editor/WebPreview.h"
#include "framework/CommandIds.h"
#include "framework/MessageBox.h"
#include "run/CgiEnvironment.h"
#include "web/CgiWebServer.h"
#include "run/ScriptInputsDlg.h"
#include "framework/ScreenFit.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMetaMethod>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPlainTextEdit>
#include <QScreen>
#include <QSplitter>
#include <QUrlQuery>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

void CRunInBrowserFrame::Register(CKestrelView *pView)
{
    pView->Commands().On(
        Cmd::ID_SCRIPT_RUN_IN_BROWSER,
        [pView] {
            CKestrelDoc *pDoc = pView->GetDocument();
            if (!pDoc || !pDoc->SaveScript() || pDoc->GetPathName().isEmpty())
                return;
            const CScriptInputsDlg &inputs = *pView->m_dlgScriptInputs;
            QString reason;
            if (!Open(pDoc->GetPathName(), g_settings.LOCAL_PERL_EXE, inputs.m_strMethod, inputs.m_strInputs, &reason))
                AfxMessageBox(pView->window(), QStringLiteral("Could not run %1 in the browser.\n\n%2")
                                                   .arg(QDir::toNativeSeparators(pDoc->GetPathName()), reason));
        },
        [pView](CCmdUI &ui) { ui.Enable(!pView->GetDocument()->GetPathName().isEmpty()); });
}

CRunInBrowserFrame *CRunInBrowserFrame::Open(const QString &strScript, const QString &strPerl,
                                             const QString &strMethod, const QString &strInputs, QString *pReason)
{
    auto *frame = new CRunInBrowserFrame(strScript, strPerl);
    if (!frame->m_pServer->Start(pReason)) {
        delete frame;
        return nullptr;
    }
    QByteArray method = "GET";
    QByteArray body;
    QByteArray query;
    if (strMethod == QLatin1String("POST")) {
        method = "POST";
        body = CCgiEnvironment::InputBytes(strInputs);
    } else if (strMethod == QLatin1String("GET")) {
        query = CCgiEnvironment::QueryFromInputs(strInputs);
    }
    // The first address carries the server's secret; the server answers it with a cookie
    // that lets the window's later requests in, wherever it navigates on the server.
    frame->m_strFirstUrl = frame->m_pServer->EntryUrlOf(strScript, query);
    frame->show();
    frame->raise();
    frame->Load(frame->m_strFirstUrl, method, body);
    return frame;
}

CRunInBrowserFrame::CRunInBrowserFrame(const QString &strScript, const QString &strPerl)
    : QWidget(nullptr, Qt::Window)
    , m_strScript(strScript)
    , m_pServer(new CCgiWebServer(QFileInfo(strScript).absolutePath(), strPerl, this))
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("CRunInBrowserFrame"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Run in Browser - %1").arg(QDir::toNativeSeparators(strScript)));

    auto *tools = new QToolBar(this);
    QAction *back = tools->addAction(QStringLiteral("Back"));
    QAction *reload = tools->addAction(QStringLiteral("Reload"));
    reload->setShortcut(QKeySequence::Refresh);
    reload->setToolTip(QStringLiteral("Run the page's script again, as saved now (F5)"));
    QAction *first = tools->addAction(QStringLiteral("First Page"));
    first->setToolTip(QStringLiteral("The script with the saved inputs"));
    m_pAddress = new QLineEdit(this);
    m_pAddress->setObjectName(QStringLiteral("address"));
    m_pAddress->setPlaceholderText(QStringLiteral("A path of the served folder, e.g. /index.html"));
    m_pAddress->setToolTip(QStringLiteral("The page's address. Type a path of the served folder and press Enter to "
                                          "open it; addresses of other servers open in your own browser only."));
    tools->addWidget(m_pAddress);
    connect(m_pAddress, &QLineEdit::returnPressed, this, &CRunInBrowserFrame::OnAddressEntered);

    auto *splitter = new QSplitter(Qt::Vertical, this);
    if (auto create = reinterpret_cast<PfnCreateWebView>(CWebPreview::ModuleEntry(KESTREL_CREATE_WEB_VIEW)))
        m_pPage = create(splitter);
    m_bEngine = m_pPage != nullptr;
    if (!m_pPage) {
        // Without the engine a text browser shows the pages' HTML, without scripts or forms.
        auto *browser = new QTextBrowser(splitter);
        browser->setObjectName(QStringLiteral("WebPageView"));
        browser->setOpenLinks(false);
        connect(browser, &QTextBrowser::anchorClicked, this, [this, browser](const QUrl &url) {
            Load(browser->document()->baseUrl().resolved(url).toString(), "GET", QByteArray());
        });
        m_pPage = browser;
    } else if (int index = m_pPage->metaObject()->indexOfSignal("urlChanged(QUrl)"); index >= 0) {
        // The engine's view lives in a module of its own, so its signal is found by name;
        // its "url" property has no change signal to follow.
        connect(m_pPage, m_pPage->metaObject()->method(index), this,
                metaObject()->method(metaObject()->indexOfSlot("OnPageUrlChanged(QUrl)")));
    }
    m_pLog = new QPlainTextEdit(splitter);
    m_pLog->setObjectName(QStringLiteral("log_pane"));
    m_pLog->setReadOnly(true);
    m_pLog->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pLog->setPlaceholderText(QStringLiteral("Each request's standard error, exit code and time show here."));
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_pLog->setFont(mono);
    splitter->addWidget(m_pPage);
    splitter->addWidget(m_pLog);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 1);
    splitter->setChildrenCollapsible(false);
    // The browser view asks for no height of its own, so the split is given.
    splitter->setSizes({520, 160});

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(tools);
    layout->addWidget(splitter, 1);
    // CScreenFit shrinks it to the free area of smaller screens when it is shown.
    resize(900, 700);

    connect(back, &QAction::triggered, this, [this] { QMetaObject::invokeMethod(m_pPage, "back"); });
    connect(reload, &QAction::triggered, this, &CRunInBrowserFrame::OnReload);
    connect(first, &QAction::triggered, this, [this] { Load(m_strFirstUrl, "GET", QByteArray()); });
    connect(m_pServer, &CCgiWebServer::RequestLogged, this, &CRunInBrowserFrame::OnRequestLogged);
}

void CRunInBrowserFrame::Load(const QString &strUrl, const QByteArray &baMethod, const QByteArray &baBody)
{
    ShowAddress(QUrl(strUrl));
    if (m_bEngine) {
        if (auto load = reinterpret_cast<PfnLoadWebView>(CWebPreview::ModuleEntry(KESTREL_LOAD_WEB_VIEW)))
            load(m_pPage, strUrl.toUtf8().constData(), baMethod.constData(), baBody.constData(), int(baBody.size()),
                 "application/x-www-form-urlencoded");
        return;
    }
    auto *browser = qobject_cast<QTextBrowser *>(m_pPage);
    auto *network = findChild<QNetworkAccessManager *>();
    if (!network)
        network = new QNetworkAccessManager(this);
    QNetworkRequest request{QUrl(strUrl)};
    QNetworkReply *reply;
    if (baMethod == "POST") {
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArray("application/x-www-form-urlencoded"));
        reply = network->post(request, baBody);
    } else {
        reply = network->get(request);
    }
    connect(reply, &QNetworkReply::finished, browser, [this, browser, reply] {
        reply->deleteLater();
        browser->setHtml(QString::fromUtf8(reply->readAll()));
        // The address after the redirects the server gave.
        browser->document()->setBaseUrl(reply->url());
        ShowAddress(reply->url());
    });
}

void CRunInBrowserFrame::ShowAddress(const QUrl &url)
{
    m_currentUrl = url;
    // The secret of the first address never shows; the cookie has it.
    QUrl shown = url;
    QUrlQuery query(shown);
    query.removeAllQueryItems(QString::fromLatin1(CCgiWebServerAccess::kSecretParameter));
    shown.setQuery(query.isEmpty() ? QString() : query.query(QUrl::FullyEncoded));
    m_pAddress->setText(shown.toString());
    m_pAddress->setCursorPosition(0);
}

void CRunInBrowserFrame::OnReload()
{
    if (m_bEngine)
        QMetaObject::invokeMethod(m_pPage, "reload");
    else
        Load(m_pAddress->text(), "GET", QByteArray());
}

void CRunInBrowserFrame::OnAddressEntered()
{
    const QString typed = m_pAddress->text().trimmed();
    const QUrl server(QStringLiteral("http://127.0.0.1:%1/").arg(m_pServer->Port()));
    // A path is one of the served folder's, from its top: "page.pl?x=1" and "/page.pl?x=1" alike.
    QUrl url = QUrl(typed, QUrl::StrictMode);
    if (url.isRelative() && !typed.startsWith(QLatin1String("//")))
        url = server.resolved(QUrl(typed.startsWith(QLatin1Char('/')) ? typed : QLatin1Char('/') + typed));
    const bool bOurs = url.isValid() && url.scheme() == QLatin1String("http") && url.port() == m_pServer->Port()
        && (url.host() == QLatin1String("127.0.0.1") || url.host() == QLatin1String("localhost"));
    if (!bOurs) {
        // This window is for the script's folder, and its cookie lets it act with the
        // user's rights there; the wider web belongs in the user's own browser.
        OnRequestLogged(QStringLiteral("%1 not opened: this window shows only the served folder (%2); "
                                       "open other addresses in your own browser.")
                            .arg(typed, server.toString()));
        ShowAddress(m_currentUrl);
        return;
    }
    url.setHost(QStringLiteral("127.0.0.1"));
    Load(url.toString(), "GET", QByteArray());
}

void CRunInBrowserFrame::OnPageUrlChanged(const QUrl &url) { ShowAddress(url); }

void CRunInBrowserFrame::OnRequestLogged(const QString &strEntry)
{
    // The script's own lines are indented under the request they belong to.
    QString entry = strEntry;
    entry.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
    m_pLog->appendPlainText(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss ")) + entry);
}
