#pragma once

#include "framework/CommandMap.h"

#include <QApplication>
#include <QString>
#include <QStringList>

class CMainFrame;
class CKestrelDoc;
class CKestrelView;

// The folder of the running executable, ending in a separator; Kestrel.cfg and
// KESTREL.FNL are looked up there, unless g_strSettingsDir says otherwise.
extern QString g_strProgramDir;
// The user's folder of Kestrel.cfg (and of a KESTREL.FNL of their own), ending in a
// separator, for a copy that can't keep its settings beside the executable (an
// installed one); empty when they stay in g_strProgramDir.
extern QString g_strSettingsDir;

class CKestrelApp : public QApplication
{
    Q_OBJECT

public:
    CKestrelApp(int &argc, char **argv);
    ~CKestrelApp() override;

    static CKestrelApp *Instance();

    // Start-up: program folder, settings, main frame with its document and view, the
    // file named on the command line (or a new script), the window shown.
    bool InitInstance();
    // The same with a given program folder and file to open (none when empty).
    bool InitInstance(const QString &strProgramDir, const QString &strFileToOpen);

    CMainFrame *MainFrame() const { return m_pMainFrame; }
    CKestrelDoc *Document() const;
    CKestrelView *View() const;
    CCommandMap &Commands() { return m_commands; }

    // Reads Kestrel.cfg into the settings; false when it couldn't be opened.
    bool ReadSettings();
    static QString SettingsPath();
    // The functions catalogue in use (see CSettingsLocation).
    static QString CataloguePath();

    void OnFileNew();
    void OnFileOpen();
    bool OpenDocumentFile(const QString &strPath);
    void OnAppAbout();

    QStringList RecentFiles() const;
    void AddToRecentFileList(const QString &strPath);
    void RemoveFromRecentFileList(const QString &strPath);

    // 1 (FTP ASCII) for the text file types, 2 (binary) for anything else.
    static int GetTransferType(const QString &strName);
    // Nonzero when a file or folder exists at the path.
    static int FileExists(const QString &strPath);

    QString m_strOpenDir;

signals:
    void RecentFilesChanged();

private:
    void RegisterCommands();

    CCommandMap m_commands;
    CMainFrame *m_pMainFrame = nullptr;
};
