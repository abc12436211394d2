#include "app/KestrelApp.h"

#include "app/AboutDlg.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/OpenFileDlg.h"
#include "app/Settings.h"
#include "app/SettingsFile.h"
#include "app/SettingsLocation.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "framework/Trace.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

#include <curl/curl.h>

QString g_strProgramDir;
QString g_strSettingsDir;

namespace {

const int kRecentFileCount = 4;

QSettings RegistrySettings() { return QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel")); }

} // namespace

CKestrelApp::CKestrelApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Kestrel"));
    // No display name of its own: Qt would add it to every window's title ("Output
    // Window — Kestrel"), and the captions are the windows' own.
    setOrganizationName(QStringLiteral("QUILLON"));
    // The process-wide internet session of the FTP commands.
    curl_global_init(CURL_GLOBAL_DEFAULT);
    RegisterCommands();
}

CKestrelApp::~CKestrelApp()
{
    delete m_pMainFrame;
    curl_global_cleanup();
}

CKestrelApp *CKestrelApp::Instance() { return static_cast<CKestrelApp *>(QCoreApplication::instance()); }

CKestrelDoc *CKestrelApp::Document() const { return m_pMainFrame ? m_pMainFrame->GetDocument() : nullptr; }

CKestrelView *CKestrelApp::View() const { return m_pMainFrame ? m_pMainFrame->GetActiveView() : nullptr; }

void CKestrelApp::RegisterCommands()
{
    using namespace Cmd;
    m_commands.On(ID_FILE_NEW, [this] { OnFileNew(); });
    m_commands.On(ID_FILE_OPEN, [this] { OnFileOpen(); });
    m_commands.On(ID_APP_ABOUT, [this] { OnAppAbout(); });
    m_commands.On(ID_APP_EXIT, [this] {
        if (m_pMainFrame)
            m_pMainFrame->close();
    });
    for (int i = 0; i < kRecentFileCount; ++i) {
        m_commands.On(
            ID_FILE_MRU_FILE1 + i,
            [this, i] {
                QStringList files = RecentFiles();
                if (i < files.size() && !OpenDocumentFile(files[i]))
                    RemoveFromRecentFileList(files[i]);
            },
            [this, i](CCmdUI &ui) { ui.Enable(i < RecentFiles().size()); });
    }
}

QString CKestrelApp::SettingsPath()
{
    return (g_strSettingsDir.isEmpty() ? g_strProgramDir : g_strSettingsDir)
           + QLatin1String(CSettingsLocation::kSettingsName);
}

QString CKestrelApp::CataloguePath() { return CSettingsLocation::CataloguePath(g_strProgramDir, g_strSettingsDir); }

bool CKestrelApp::ReadSettings()
{
    if (!CSettingsFile::Read(SettingsPath(), g_settings))
        return false;
    m_strOpenDir = g_settings.LOCAL_DIRECTORY;
    return true;
}

bool CKestrelApp::InitInstance()
{
    QString fileToOpen;
    const QStringList args = arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--")) {
            fileToOpen = args.value(i + 1);
            break;
        }
        if (!args[i].startsWith(QLatin1Char('-'))) {
            fileToOpen = args[i];
            break;
        }
    }
    return InitInstance(applicationDirPath(), fileToOpen);
}

bool CKestrelApp::InitInstance(const QString &strProgramDir, const QString &fileToOpen)
{
    g_strProgramDir = QDir(strProgramDir).absolutePath();
    if (!g_strProgramDir.endsWith(QLatin1Char('/')))
        g_strProgramDir += QLatin1Char('/');
    const CSettingsLocation location(g_strProgramDir);
    g_strSettingsDir = location.IsBesideProgram() ? QString() : location.Folder();
    // Not fatal: the settings keep their defaults, and Options says why it can't save.
    QString error;
    if (!location.CreateSettingsFile(&error))
        qWarning("Kestrel: cannot create the settings file %s", qPrintable(error));
    ReadSettings();

    delete m_pMainFrame;
    m_pMainFrame = new CMainFrame;
    TRACE() << "Main frame created";
    if (!fileToOpen.isEmpty()) {
        if (!OpenDocumentFile(fileToOpen))
            return false;
    } else {
        Document()->OnNewDocument();
        View()->OnInitialUpdate();
    }
    m_pMainFrame->show();
    return true;
}

void CKestrelApp::OnFileNew()
{
    CKestrelDoc *doc = Document();
    if (!doc->SaveModified())
        return;
    doc->OnNewDocument();
    View()->OnInitialUpdate();
}

// Open starts in the remembered open folder and leaves the process's current folder
// as it was; the folder the user opened from is remembered for the next time.
void CKestrelApp::OnFileOpen()
{
    QString previous = QDir::currentPath();
    if (!m_strOpenDir.isEmpty())
        QDir::setCurrent(m_strOpenDir);
    QString start = QDir::currentPath();
    QString path;
    {
        COpenFileDlg dlg(m_pMainFrame, start);
        if (dlg.exec() == QDialog::Accepted)
            path = dlg.selectedFiles().value(0);
    }
    if (!path.isEmpty()) {
        QDir::setCurrent(QFileInfo(path).absolutePath());
        OpenDocumentFile(path);
    }
    m_strOpenDir = QDir::currentPath();
    QDir::setCurrent(previous);
}

bool CKestrelApp::OpenDocumentFile(const QString &strPath)
{
    CKestrelDoc *doc = Document();
    if (!doc->SaveModified())
        return false;
    if (!doc->OnOpenDocument(strPath))
        return false;
    View()->OnInitialUpdate();
    AddToRecentFileList(doc->GetPathName());
    return true;
}

void CKestrelApp::OnAppAbout()
{
    CAboutDlg dlg(m_pMainFrame);
    dlg.exec();
}

QStringList CKestrelApp::RecentFiles() const
{
    QSettings settings = RegistrySettings();
    QStringList files;
    for (int i = 1; i <= kRecentFileCount; ++i) {
        QString f = settings.value(QStringLiteral("Recent File List/File%1").arg(i)).toString();
        if (!f.isEmpty())
            files << f;
    }
    return files;
}

static void StoreRecentFiles(const QStringList &files)
{
    QSettings settings = RegistrySettings();
    for (int i = 1; i <= kRecentFileCount; ++i) {
        QString key = QStringLiteral("Recent File List/File%1").arg(i);
        if (i <= files.size())
            settings.setValue(key, files[i - 1]);
        else
            settings.remove(key);
    }
}

void CKestrelApp::AddToRecentFileList(const QString &strPath)
{
    QStringList files = RecentFiles();
    files.removeAll(strPath);
    files.prepend(strPath);
    StoreRecentFiles(files.mid(0, kRecentFileCount));
    emit RecentFilesChanged();
}

void CKestrelApp::RemoveFromRecentFileList(const QString &strPath)
{
    QStringList files = RecentFiles();
    files.removeAll(strPath);
    StoreRecentFiles(files);
    emit RecentFilesChanged();
}

int CKestrelApp::GetTransferType(const QString &strName)
{
    static const char *const suffixes[] = {".java", ".pl", ".cgi", ".txt", ".cpp", ".htm", ".html", ".conf", ".c"};
    for (const char *s : suffixes) {
        if (strName.endsWith(QLatin1String(s), Qt::CaseSensitive))
            return 1;
    }
    return 2;
}

int CKestrelApp::FileExists(const QString &strPath)
{
    if (strPath.isEmpty())
        return 0;
    return QFileInfo::exists(strPath) ? 1 : 0;
}
