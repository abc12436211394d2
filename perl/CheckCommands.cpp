#include "perl/CheckCommands.h"

#include "app/KestrelDoc.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "editor/MessageMarkers.h"
#include "framework/CommandIds.h"
#include "framework/MessageBox.h"
#include "perl/ScriptCheck.h"

#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QSettings>
#include <QStandardPaths>

namespace {

QSettings UserSettings()
{
    return QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel"));
}

QString Counted(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

CCheckCommands::CCheckCommands(CKestrelView *pView)
    : QObject(pView)
    , m_pView(pView)
    , m_pSyntaxCheck(new CScriptCheck(this))
    , m_pCritique(new CScriptCheck(this))
{
    setObjectName(QStringLiteral("CheckCommands"));
    connect(m_pSyntaxCheck, &CScriptCheck::Finished, this, &CCheckCommands::OnSyntaxChecked);
    connect(m_pCritique, &CScriptCheck::Finished, this, &CCheckCommands::OnCritiqued);
    if (CKestrelDoc *pDoc = pView->GetDocument())
        connect(pDoc, &CKestrelDoc::Saved, this, &CCheckCommands::OnSaved);
    // A run's messages are of the text as it is now; a check still running is not.
    connect(pView->Markers(), &CMessageMarkers::RunMessagesShown, this, [this] {
        m_pSyntaxCheck->Cancel();
        m_pCritique->Cancel();
    });
}

void CCheckCommands::Register(CKestrelView *pView)
{
    auto *self = new CCheckCommands(pView);
    CCommandMap &map = pView->Commands();
    map.On(Cmd::ID_EDIT_GO_TO_LINE, [self] { self->OnGoToLine(); });
    map.On(Cmd::ID_NEXT_MESSAGE, [pView] { pView->Markers()->GoToNext(); },
           [pView](CCmdUI &ui) { ui.Enable(!pView->Markers()->MarkedLines().isEmpty()); });
    map.On(Cmd::ID_PREV_MESSAGE, [pView] { pView->Markers()->GoToPrevious(); },
           [pView](CCmdUI &ui) { ui.Enable(!pView->Markers()->MarkedLines().isEmpty()); });
    map.On(Cmd::ID_SCRIPT_CRITIQUE, [self] { self->OnCritique(); });
    map.On(Cmd::ID_SCRIPT_CHECK_ON_SAVE, [] { SetCheckOnSave(!CheckOnSave()); },
           [](CCmdUI &ui) { ui.SetCheck(CheckOnSave()); });
}

CCheckCommands *CCheckCommands::Of(CKestrelView *pView)
{
    return pView->findChild<CCheckCommands *>(QStringLiteral("CheckCommands"), Qt::FindDirectChildrenOnly);
}

bool CCheckCommands::CheckOnSave()
{
    return UserSettings().value(QLatin1String(kCheckOnSaveKey), true).toBool();
}

void CCheckCommands::SetCheckOnSave(bool bOn)
{
    UserSettings().setValue(QLatin1String(kCheckOnSaveKey), bOn);
}

int CCheckCommands::CritiqueSeverity()
{
    return qBound(1, UserSettings().value(QLatin1String(kCritiqueSeverityKey), 5).toInt(), 5);
}

QString CCheckCommands::SeverityName(int nSeverity)
{
    static const char *const kNames[] = {"brutal", "cruel", "harsh", "stern", "gentle"};
    return QLatin1String(kNames[qBound(1, nSeverity, 5) - 1]);
}

bool CCheckCommands::IsPerlPath(const QString &strPath)
{
    static const QStringList kPerl = {QStringLiteral("pl"), QStringLiteral("pm"), QStringLiteral("cgi"),
                                      QStringLiteral("t"), QStringLiteral("plx"), QStringLiteral("psgi")};
    const QString suffix = QFileInfo(strPath).suffix().toLower();
    return !strPath.isEmpty() && (suffix.isEmpty() || kPerl.contains(suffix));
}

void CCheckCommands::OnGoToLine()
{
    int line = 0, index = 0;
    m_pView->getCursorPosition(&line, &index);
    const int last = qMax(1, m_pView->lines());
    bool ok = false;
    const int chosen = QInputDialog::getInt(m_pView->window(), tr("Go To Line"),
                                            tr("Line number (1 - %1):").arg(last), line + 1, 1, last, 1, &ok);
    if (!ok)
        return;
    m_pView->GoToLine(chosen);
    m_pView->setFocus();
}

void CCheckCommands::OnSaved(const QString &strPath)
{
    if (!CheckOnSave() || !IsPerlPath(strPath))
        return;
    const QFileInfo info(strPath);
    m_strCheckedPath = info.absoluteFilePath();
    emit m_pView->StatusMessage(tr("Checking the syntax of %1...").arg(info.fileName()));
    m_pSyntaxCheck->Start(g_settings.LOCAL_PERL_EXE, CScriptCheck::SyntaxCheckArguments(m_strCheckedPath),
                          info.absolutePath());
}

QString CCheckCommands::SyntaxSummary(const CScriptCheckResult &result)
{
    if (!result.bStarted)
        return tr("Syntax check: could not start perl: %1").arg(result.strError);
    int errors = 0, warnings = 0;
    for (const CFileLineMessage &m : result.messages) {
        if (m.bFrame)
            continue;
        (m.nSeverity == CFileLineMessage::Error ? errors : warnings) += 1;
    }
    if (errors == 0 && warnings == 0) {
        if (result.nExitCode == 0)
            return tr("syntax OK");
        const QString first = QString::fromUtf8(result.baOutput).trimmed().section(QLatin1Char('\n'), 0, 0);
        return tr("Syntax check failed: %1").arg(first.isEmpty() ? result.strError : first);
    }
    return tr("Syntax check: %1, %2").arg(Counted(errors, "error", "errors"), Counted(warnings, "warning", "warnings"));
}

void CCheckCommands::OnSyntaxChecked(const CScriptCheckResult &result)
{
    // The document may have become another file while perl ran.
    CKestrelDoc *pDoc = m_pView->GetDocument();
    if (!pDoc || !CMessageMarkers::SamePath(pDoc->GetPathName(), m_strCheckedPath))
        return;
    QList<CFileLineMessage> messages = result.messages;
    if (result.bStarted && result.nExitCode != 0)
        CFileLineParser::MarkFatalEnd(messages);
    m_pView->Markers()->Show(messages);
    CScriptCheckResult shown = result;
    shown.messages = messages;
    const QString status = SyntaxSummary(shown);
    emit m_pView->StatusMessage(status);
    emit CheckDone(status);
}

void CCheckCommands::OnCritique()
{
    QStringList items;
    for (int severity = 5; severity >= 1; --severity)
        items << QStringLiteral("%1 (%2)").arg(SeverityName(severity)).arg(severity);
    bool ok = false;
    const QString chosen = QInputDialog::getItem(m_pView->window(), tr("Critique"),
                                                 tr("Severity of the policies to apply:"), items,
                                                 5 - CritiqueSeverity(), false, &ok);
    if (!ok)
        return;
    const int severity = 5 - int(items.indexOf(chosen));
    UserSettings().setValue(QLatin1String(kCritiqueSeverityKey), severity);
    Critique(severity);
}

void CCheckCommands::Critique(int nSeverity)
{
    CKestrelDoc *pDoc = m_pView->GetDocument();
    const QString program = QStandardPaths::findExecutable(QStringLiteral("perlcritic"));
    if (program.isEmpty()) {
        AfxMessageBox(m_pView->window(),
                      tr("perlcritic was not found on the search path.\nInstall Perl::Critic (Debian's "
                         "libperl-critic-perl) to critique scripts."));
        return;
    }
    // The text as it stands in the editor, saved or not; it goes to perlcritic's
    // standard input, so the line numbers are the editor's.
    m_strCritiquedPath = pDoc ? pDoc->GetPathName() : QString();
    m_nCritiqueSeverity = nSeverity;
    const QString folder = m_strCritiquedPath.isEmpty() ? QDir::currentPath() : QFileInfo(m_strCritiquedPath).absolutePath();
    emit m_pView->StatusMessage(tr("Critiquing with perlcritic (%1)...").arg(SeverityName(nSeverity)));
    m_pCritique->Start(program, CScriptCheck::CritiqueArguments(nSeverity), folder, m_pView->GetTextBytes());
}

void CCheckCommands::OnCritiqued(const CScriptCheckResult &result)
{
    CKestrelDoc *pDoc = m_pView->GetDocument();
    if (!pDoc || pDoc->GetPathName() != m_strCritiquedPath)
        return;
    if (!result.bStarted || (result.nExitCode != 0 && result.nExitCode != 2)) {
        const QString reason = result.bStarted ? QString::fromUtf8(result.baOutput).trimmed() : result.strError;
        emit m_pView->StatusMessage(tr("perlcritic failed"));
        AfxMessageBox(m_pView->window(), tr("perlcritic could not critique %1:\n%2")
                                             .arg(m_strCritiquedPath.isEmpty() ? pDoc->GetTitle()
                                                                               : QDir::toNativeSeparators(m_strCritiquedPath),
                                                  reason.left(2000)));
        emit CheckDone(tr("perlcritic failed"));
        return;
    }
    QList<CFileLineMessage> findings;
    for (CFileLineMessage m : result.messages) {
        if (m.nForm != CFileLineMessage::Critic || m.strFile != QLatin1String(CScriptCheck::kCritiqueInputName))
            continue;
        m.strPath = m_strCritiquedPath;
        findings << m;
    }
    // All of them are of the text perlcritic read, an untitled one too.
    m_pView->Markers()->Show(findings, true);
    const QString status = findings.isEmpty()
                               ? tr("perlcritic (%1): no findings").arg(SeverityName(m_nCritiqueSeverity))
                               : tr("perlcritic (%1): %2").arg(SeverityName(m_nCritiqueSeverity),
                                                              Counted(int(findings.size()), "finding", "findings"));
    emit m_pView->StatusMessage(status);
    emit CheckDone(status);
}
