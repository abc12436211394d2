#include "editor/WebPreview.h"

#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "framework/ScreenFit.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QPointer>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QPointer<QWidget> g_pLastFrame;

// What stands in for the browser when the engine is not there: it shows the file's
// HTML, without scripts or style sheets.
QWidget *CreateStandIn(const QString &strPath)
{
    auto *frame = new QWidget(nullptr, Qt::Window);
    frame->setObjectName(QStringLiteral("CWebFrame"));
    frame->setAttribute(Qt::WA_DeleteOnClose);
    auto *page = new QTextBrowser(frame);
    page->setObjectName(QStringLiteral("WebPageView"));
    page->setOpenExternalLinks(true);
    page->setSource(QUrl::fromLocalFile(strPath));
    auto *layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(page);
    frame->resize(800, 600);
    CScreenFit::Install(frame);
    return frame;
}

// The module stays loaded once loaded: the engine can't be unloaded safely.
PfnCreateWebFrame ResolveModule(const QString &strModule)
{
    static QHash<QString, PfnCreateWebFrame> resolved;
    auto it = resolved.find(strModule);
    if (it != resolved.end())
        return it.value();
    QLibrary library(strModule);
    auto create = reinterpret_cast<PfnCreateWebFrame>(library.resolve(KESTREL_CREATE_WEB_FRAME));
    resolved.insert(strModule, create);
    return create;
}

} // namespace

bool CWebPreview::IsBrowsable(const QString &strPath)
{
    return strPath.endsWith(QLatin1String(".htm")) || strPath.endsWith(QLatin1String(".html"));
}

void CWebPreview::Register(CKestrelView *pView)
{
    // The main frame carries the command out; the view only says when it may.
    pView->Commands().On(Cmd::ID_VIEW_IN_BROWSER, nullptr, [pView](CCmdUI &ui) {
        ui.Enable(IsBrowsable(pView->GetDocument()->GetPathName()));
    });
}

QString CWebPreview::ModulePath()
{
    QString dir = g_strProgramDir.isEmpty() ? QCoreApplication::applicationDirPath() + QLatin1Char('/')
                                            : g_strProgramDir;
    // An installed copy keeps the module with its private libraries, not among the
    // programs; a build folder or a portable copy keeps it beside the executable.
    const QString installed = dir + QStringLiteral("../lib/kestrel/");
    if (QFileInfo(installed).isDir())
        return installed + QStringLiteral("kestrel_web");
    return dir + QStringLiteral("kestrel_web");
}

QWidget *CWebPreview::Open(const QString &strPath) { return Open(strPath, ModulePath()); }

QFunctionPointer CWebPreview::ModuleEntry(const char *pszName)
{
    QLibrary library(ModulePath());
    return library.resolve(pszName);
}

QWidget *CWebPreview::Open(const QString &strPath, const QString &strModule)
{
    QWidget *frame = nullptr;
    if (PfnCreateWebFrame create = ResolveModule(strModule))
        frame = create(strPath.toUtf8().constData());
    if (!frame)
        frame = CreateStandIn(strPath);
    frame->setWindowTitle(QDir::toNativeSeparators(strPath));
    frame->show();
    frame->raise();
    g_pLastFrame = frame;
    return frame;
}

QWidget *CWebPreview::LastFrame() { return g_pLastFrame; }
