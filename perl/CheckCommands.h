#pragma once

#include <QObject>
#include <QString>

class CKestrelView;
class CScriptCheck;
struct CScriptCheckResult;

// The view's commands around messages: Go To Line, the next and previous marked
// line, the syntax check on save and Critique.
class CCheckCommands : public QObject
{
    Q_OBJECT

public:
    // Per-user settings under QSettings("QUILLON", "Kestrel").
    static constexpr const char *kCheckOnSaveKey = "Editor/CheckOnSave";
    static constexpr const char *kCritiqueSeverityKey = "Editor/CritiqueSeverity";

    explicit CCheckCommands(CKestrelView *pView);

    static void Register(CKestrelView *pView);
    static CCheckCommands *Of(CKestrelView *pView);

    void OnGoToLine();
    // Asks for the severity, then critiques.
    void OnCritique();
    void Critique(int nSeverity);

    static bool CheckOnSave();
    static void SetCheckOnSave(bool bOn);
    static int CritiqueSeverity();
    // "gentle" for 5 to "brutal" for 1.
    static QString SeverityName(int nSeverity);
    // Perl scripts and modules, and files without an extension.
    static bool IsPerlPath(const QString &strPath);
    // The status bar's words for a check's messages.
    static QString SyntaxSummary(const CScriptCheckResult &result);

    CScriptCheck *SyntaxCheck() const { return m_pSyntaxCheck; }
    CScriptCheck *CritiqueCheck() const { return m_pCritique; }

signals:
    // A check's marks are shown (or a check could not run); the text is the status bar's.
    void CheckDone(const QString &strStatus);

private:
    void OnSaved(const QString &strPath);
    void OnSyntaxChecked(const CScriptCheckResult &result);
    void OnCritiqued(const CScriptCheckResult &result);

    CKestrelView *m_pView;
    CScriptCheck *m_pSyntaxCheck;
    CScriptCheck *m_pCritique;
    QString m_strCheckedPath;
    QString m_strCritiquedPath;
    int m_nCritiqueSeverity = 5;
};
