#pragma once

#include "app/PropertySheet.h"

struct CSettings;
class CEditorParams;
class CFtpParams;
class CJavaExe;
class CJavacExe;
class CKestrelView;
class CPerlExeParams;
class CPropertyPage;
class CServerParams;

// Tools > Options: six pages that hold copies of the settings. Every page that is
// applied marks a save pending; the settings file is written only then.
class COptionsPropertySheet : public CPropertySheet
{
    Q_OBJECT

public:
    explicit COptionsPropertySheet(const QString &strCaption, QWidget *pParentWnd = nullptr, int iSelectPage = 0);
    ~COptionsPropertySheet() override;

    int m_bSavePending = 0;

    // Marks a save pending on the Options sheet that holds the page.
    static void SetSavePending(CPropertyPage *pPage);

    // Adds the six pages in tab order, holding the values of `settings`.
    void AddOptionsPages(const CSettings &settings);
    // The thirty values the pages hold, as they are written to the settings file.
    CSettings PageValues() const;

    CPerlExeParams *PerlPage() const { return m_pPerl; }
    CFtpParams *FtpPage() const { return m_pFtp; }
    CEditorParams *EditorPage() const { return m_pEditor; }
    CJavaExe *JavaPage() const { return m_pJava; }
    CJavacExe *JavacPage() const { return m_pJavac; }
    CServerParams *ServerPage() const { return m_pServer; }

    // The Options command: the settings copied into the pages and the sheet run; when a
    // save is pending, Kestrel.cfg is written and read back and the view (if any) gets
    // the display font.
    static void OnToolsOptions(QWidget *pOwner, CKestrelView *pView);

    // Writes the values to Kestrel.cfg and reads it back. RUN_IN_DOS_WINDOW takes its
    // new value in memory first, whether or not the write succeeds. False when the
    // file could not be written (the reason in *pError).
    static bool WriteSettings(const CSettings &values, QString *pError = nullptr);

private:
    CPerlExeParams *m_pPerl = nullptr;
    CFtpParams *m_pFtp = nullptr;
    CEditorParams *m_pEditor = nullptr;
    CJavaExe *m_pJava = nullptr;
    CJavacExe *m_pJavac = nullptr;
    CServerParams *m_pServer = nullptr;
};
