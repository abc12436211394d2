#include "app/OptionsPropertySheet.h"

#include "app/EditorParams.h"
#include "app/FtpParams.h"
#include "app/JavaExe.h"
#include "app/JavacExe.h"
#include "app/KestrelApp.h"
#include "app/PerlExeParams.h"
#include "app/ServerParams.h"
#include "app/Settings.h"
#include "app/SettingsFile.h"
#include "editor/KestrelView.h"
#include "framework/MessageBox.h"
#include "framework/Trace.h"

#include <QDir>

COptionsPropertySheet::COptionsPropertySheet(const QString &strCaption, QWidget *pParentWnd, int iSelectPage)
    : CPropertySheet(strCaption, pParentWnd, iSelectPage)
{
    setObjectName(QStringLiteral("OptionsPropertySheet"));
}

COptionsPropertySheet::~COptionsPropertySheet() = default;

void COptionsPropertySheet::SetSavePending(CPropertyPage *pPage)
{
    if (auto *sheet = qobject_cast<COptionsPropertySheet *>(pPage->GetParentSheet()))
        sheet->m_bSavePending = 1;
}

void COptionsPropertySheet::AddOptionsPages(const CSettings &s)
{
    m_pPerl = new CPerlExeParams;
    m_pPerl->m_strLocalExe = s.LOCAL_PERL_EXE;
    m_pPerl->m_strLocalParams = s.LOCAL_PERL_PRM;
    m_pPerl->m_strServerExe = s.REMOTE_PERL_EXE;
    m_pPerl->m_strServerParams = s.REMOTE_PERL_PRM;
    m_pPerl->m_bRunInDosWindow = s.RUN_IN_DOS_WINDOW == QLatin1String("Y") ? 1 : 0;

    m_pFtp = new CFtpParams;
    m_pFtp->m_strHost = s.FTP_HOST_NAME;
    m_pFtp->m_nPort = unsigned(s.FTP_PORT_NUMBER);
    m_pFtp->m_strUser = s.FTP_USER_NAME;
    m_pFtp->m_strPassword = s.FTP_USER_PASS;
    m_pFtp->m_strLocalDir = s.LOCAL_DIRECTORY;
    m_pFtp->m_strRemoteDir = s.REMOTE_DIRECTORY;

    m_pEditor = new CEditorParams;
    m_pEditor->m_strTabSize = s.TAB_SIZE;
    m_pEditor->m_strTabExpand = s.TAB_EXPAND;
    m_pEditor->m_strIndentSize = s.INDENT_SIZE;
    m_pEditor->m_bAutoIndent = s.AUTO_INDENT;
    m_pEditor->m_strViewFont = s.VIEW_FONT;

    m_pJava = new CJavaExe;
    m_pJava->m_strLocalExe = s.LOCAL_JAVA_EXE;
    m_pJava->m_strLocalParams = s.LOCAL_JAVA_PRM;
    m_pJava->m_strServerExe = s.REMOTE_JAVA_EXE;
    m_pJava->m_strServerParams = s.REMOTE_JAVA_PRM;

    m_pJavac = new CJavacExe;
    m_pJavac->m_strLocalExe = s.LOCAL_JAVAC_EXE;
    m_pJavac->m_strLocalParams = s.LOCAL_JAVAC_PRM;
    m_pJavac->m_strServerExe = s.REMOTE_JAVAC_EXE;
    m_pJavac->m_strServerParams = s.REMOTE_JAVAC_PRM;

    m_pServer = new CServerParams;
    m_pServer->m_strServerType = s.SERVER_TYPE;
    m_pServer->m_strHost = s.SERVER_HOST;
    m_pServer->m_strUser = s.SERVER_USER;
    m_pServer->m_strPassword = s.SERVER_PASS;
    m_pServer->m_nPort = unsigned(s.SERVER_PORT_NUMBER);
    m_pServer->m_strClientExe = s.SERVER_CLIENT_EXEPATH;

    AddPage(m_pPerl);
    AddPage(m_pFtp);
    AddPage(m_pEditor);
    AddPage(m_pJava);
    AddPage(m_pJavac);
    AddPage(m_pServer);
}

CSettings COptionsPropertySheet::PageValues() const
{
    CSettings s;
    s.LOCAL_PERL_EXE = m_pPerl->m_strLocalExe;
    s.LOCAL_PERL_PRM = m_pPerl->m_strLocalParams;
    s.REMOTE_PERL_EXE = m_pPerl->m_strServerExe;
    s.REMOTE_PERL_PRM = m_pPerl->m_strServerParams;
    s.RUN_IN_DOS_WINDOW = m_pPerl->m_bRunInDosWindow ? QStringLiteral("Y") : QStringLiteral("N");

    s.FTP_HOST_NAME = m_pFtp->m_strHost;
    s.FTP_PORT_NUMBER = int(m_pFtp->m_nPort);
    s.FTP_USER_NAME = m_pFtp->m_strUser;
    s.FTP_USER_PASS = m_pFtp->m_strPassword;
    s.LOCAL_DIRECTORY = m_pFtp->m_strLocalDir;
    s.REMOTE_DIRECTORY = m_pFtp->m_strRemoteDir;

    s.TAB_SIZE = m_pEditor->m_strTabSize;
    s.TAB_EXPAND = m_pEditor->m_strTabExpand;
    s.INDENT_SIZE = m_pEditor->m_strIndentSize;
    s.AUTO_INDENT = m_pEditor->m_bAutoIndent ? 1 : 0;
    s.VIEW_FONT = m_pEditor->m_strViewFont;

    s.LOCAL_JAVA_EXE = m_pJava->m_strLocalExe;
    s.LOCAL_JAVA_PRM = m_pJava->m_strLocalParams;
    s.REMOTE_JAVA_EXE = m_pJava->m_strServerExe;
    s.REMOTE_JAVA_PRM = m_pJava->m_strServerParams;

    s.LOCAL_JAVAC_EXE = m_pJavac->m_strLocalExe;
    s.LOCAL_JAVAC_PRM = m_pJavac->m_strLocalParams;
    s.REMOTE_JAVAC_EXE = m_pJavac->m_strServerExe;
    s.REMOTE_JAVAC_PRM = m_pJavac->m_strServerParams;

    s.SERVER_TYPE = m_pServer->m_strServerType;
    s.SERVER_HOST = m_pServer->m_strHost;
    s.SERVER_USER = m_pServer->m_strUser;
    s.SERVER_PASS = m_pServer->m_strPassword;
    s.SERVER_PORT_NUMBER = int(m_pServer->m_nPort);
    s.SERVER_CLIENT_EXEPATH = m_pServer->m_strClientExe;
    return s;
}

bool COptionsPropertySheet::WriteSettings(const CSettings &values, QString *pError)
{
    g_settings.RUN_IN_DOS_WINDOW = values.RUN_IN_DOS_WINDOW;
    if (!CSettingsFile::Write(CKestrelApp::SettingsPath(), values, pError))
        return false;
    CKestrelApp::Instance()->ReadSettings();
    return true;
}

void COptionsPropertySheet::OnToolsOptions(QWidget *pOwner, CKestrelView *pView)
{
    COptionsPropertySheet sheet(QStringLiteral("Options"), pOwner);
    sheet.AddOptionsPages(g_settings);
    sheet.DoModal();
    if (!sheet.m_bSavePending)
        return;
    TRACE("Save pending value = %d", sheet.m_bSavePending);
    QString error;
    // A save that failed is said, or the user's changes would vanish unnoticed.
    if (!WriteSettings(sheet.PageValues(), &error))
        AfxMessageBox(pOwner, QObject::tr("Cannot write file %1:\n%2.")
                                  .arg(QDir::toNativeSeparators(CKestrelApp::SettingsPath()), error));
    sheet.m_bSavePending = 0;
    if (pView)
        pView->ApplyFont(g_fontView);
}
