#pragma once

#include "framework/FileLineParser.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

// What one check of a script gave.
struct CScriptCheckResult
{
    // False when the program could not be started; strError then says why.
    bool bStarted = false;
    int nExitCode = 0;
    QString strError;
    // Both output streams, as the program wrote them.
    QByteArray baOutput;
    QList<CFileLineMessage> messages;
};

// Runs a checking program (perl -c, perlcritic) on a script in the background and
// reports its messages; nothing waits for it. Starting a new check drops one that
// still runs, with everything it started: perl -c runs BEGIN blocks, and they may
// start programs of their own.
class CScriptCheck : public QObject
{
    Q_OBJECT

public:
    explicit CScriptCheck(QObject *parent = nullptr);
    ~CScriptCheck() override;

    // The program runs in strDirectory, which also resolves the file names in its
    // messages; baInput is its standard input (then closed).
    void Start(const QString &strProgram, const QStringList &arguments, const QString &strDirectory,
               const QByteArray &baInput = QByteArray());
    void Cancel();
    bool IsRunning() const { return m_pProcess != nullptr; }

    // perl's syntax check with warnings of a script, by its path.
    static QStringList SyntaxCheckArguments(const QString &strScript);
    // perlcritic on its standard input at a severity from 5 (gentle) to 1 (brutal),
    // in the form the message parser reads. The user's .perlcriticrc is read as usual.
    static QStringList CritiqueArguments(int nSeverity);
    // The file name perlcritic gives to its standard input.
    static constexpr const char *kCritiqueInputName = "STDIN";

signals:
    void Finished(const CScriptCheckResult &result);

private:
    void OnFinished();
    void OnFailedToStart();

    QProcess *m_pProcess = nullptr;
    QString m_strDirectory;
    QByteArray m_baInput;
};
