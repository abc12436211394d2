#pragma once

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QProcess;

// Runs perltidy on a piece of Perl, in processes of its own, on pipes (no file is
// written beside the user's script). The user's own .perltidyrc is honoured: perltidy
// looks for it itself, from the folder it runs in, then in $PERLTIDY, $HOME and the
// system's folders. Only when there is none is the editor's indentation given.
class CPerlTidy : public QObject
{
    Q_OBJECT

public:
    explicit CPerlTidy(QObject *parent = nullptr);
    ~CPerlTidy() override;

    // The arguments of the tidy run. nTabSize < 1 leaves perltidy's own indentation;
    // with bExpandTabs false each level is one tab character.
    static QStringList Arguments(bool bProfileFound, int nTabSize, bool bExpandTabs, bool bDosLineEnds);
    // Whether `perltidy -dpro` output names a profile it found.
    static bool ProfileFound(const QByteArray &dproOutput);

    // Tidies source in the folder strWorkDir; Finished reports the result.
    void Start(const QByteArray &source, const QString &strWorkDir, int nTabSize, bool bExpandTabs);
    bool IsRunning() const { return m_bRunning; }

    QString m_strProgram = QStringLiteral("perltidy");

signals:
    // bOk: baOutput is the tidied text. Otherwise the source stays as it was and
    // strError says why.
    void Finished(bool bOk, const QByteArray &baOutput, const QString &strError);
    // Destroyed while it ran: no result will come. The owner may be half destroyed
    // already, so this is all that is said.
    void Stopped();

private:
    QProcess *NewProcess();
    void RunTidy(bool bProfileFound);
    void Fail(const QString &strError);

    QByteArray m_baSource;
    QString m_strWorkDir;
    int m_nTabSize = 0;
    bool m_bExpandTabs = true;
    bool m_bRunning = false;
    QPointer<QProcess> m_pProcess;
};
