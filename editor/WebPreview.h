#pragma once

#include <QString>
#include <QtGlobal>

class CKestrelView;
class QWidget;

// View > In Browser. The browser engine is large and slow to start, so it lives in a
// module of its own (kestrel_web beside the program) that is loaded on the first
// preview. Without the module a plain rich-text browser shows the page instead.
class CWebPreview
{
public:
    // Enabled exactly for a path ending in ".htm" or ".html", in that case.
    static bool IsBrowsable(const QString &strPath);

    // The enabled state of In Browser, which the view decides for its document.
    static void Register(CKestrelView *pView);

    // A new window showing the saved file at `strPath`, titled with the path.
    static QWidget *Open(const QString &strPath);
    // The same with the module at `strModule`; the stand-in when it can't be loaded.
    static QWidget *Open(const QString &strPath, const QString &strModule);

    // The module beside the program.
    static QString ModulePath();
    // An entry point of the module by name; null when the module or the entry is missing.
    static QFunctionPointer ModuleEntry(const char *pszName);
    // The window opened last.
    static QWidget *LastFrame();
};

// The module's entry points. A new, not yet shown, top-level frame showing the file at
// the UTF-8 path, which it deletes when closed:
extern "C" {
using PfnCreateWebFrame = QWidget *(*)(const char *pszPathUtf8);
// A browser view as a child of `parent`, showing nothing yet; its back(), forward()
// and reload() slots and its "url" property work through Qt's meta-object system:
using PfnCreateWebView = QWidget *(*)(QWidget *parent);
// Loads a URL into such a view with the method, body and content type given:
using PfnLoadWebView = void (*)(QWidget *view, const char *pszUrlUtf8, const char *pszMethod, const char *pBody,
                                int nBody, const char *pszContentType);
}
#define KESTREL_CREATE_WEB_FRAME "KestrelCreateWebFrame"
#define KESTREL_CREATE_WEB_VIEW "KestrelCreateWebView"
#define KESTREL_LOAD_WEB_VIEW "KestrelLoadWebView"
