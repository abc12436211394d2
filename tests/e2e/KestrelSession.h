#pragma once

#include "XDesktop.h"

#include <QProcess>
#include <QString>

// The real kestrel program started from a program folder of its own (a copy of the
// built programs and the function catalogue, and a Kestrel.cfg only where the test
// writes one), on the test's X server, with a home folder of its own so that the
// user's recent files and toolbar state are not touched.
class CKestrelSession
{
public:
    CKestrelSession(const CXDesktop &desktop, const QString &strProgramDir, const QString &strHomeDir,
                    const QString &strLogFile);
    ~CKestrelSession();
    CKestrelSession(const CKestrelSession &) = delete;
    CKestrelSession &operator=(const CKestrelSession &) = delete;

    // Copies the programs of the build's bin folder into the program folder.
    static QString MakeProgramDir(const QString &strBinDir, const QString &strCatalogue, const QString &strProgramDir);

    // Starts kestrel in `strWorkDir` and waits for its main window; returns why it failed.
    QString Start(const QString &strWorkDir, const QStringList &args = {});
    bool IsRunning() const { return m_process.state() != QProcess::NotRunning; }
    // File > Exit from the keyboard; true when the program ended by itself with code 0.
    bool Exit();
    void Kill();

    QString MainWindow() const { return m_strMain; }
    QString Title() const;
    // Gives the main window the focus again: without a window manager nobody does
    // when a dialog closes.
    void FocusMain() const;
    // Waits for the main window's title to match the regular expression.
    bool WaitForTitle(const QString &strRegex, int nTimeoutMs = 15000) const;

private:
    const CXDesktop &m_desktop;
    QString m_strProgramDir;
    QString m_strHomeDir;
    QString m_strLogFile;
    QProcess m_process;
    QString m_strMain;
};
