#pragma once

#include "perl/PerlDocTopic.h"

#include <QObject>
#include <QPointer>
#include <QString>

class QByteArray;

class QProcess;

// Looks a topic up with perldoc, as plain text, in a process of its own so the window
// stays responsive: the topic's lookups are tried in turn until one finds something.
// A new lookup drops the one still running.
class CPerlDocLookup : public QObject
{
    Q_OBJECT

public:
    explicit CPerlDocLookup(QObject *parent = nullptr);
    ~CPerlDocLookup() override;

    void Start(const CPerlDocTopic &topic);
    bool IsRunning() const;

    // The program that shows the documentation; "perldoc" on the PATH unless set.
    QString m_strProgram = QStringLiteral("perldoc");

    static QString NotFoundText(const CPerlDocTopic &topic);
    // perldoc's output as text, whichever encoding the page was written in.
    static QString DecodeOutput(const QByteArray &output);

signals:
    // bFound: strText is the documentation; otherwise it says why there is none.
    void Finished(bool bFound, const QString &strText);

private:
    void RunNext();
    void OnProcessFinished();

    CPerlDocTopic m_topic;
    int m_nNext = 0;
    QPointer<QProcess> m_pProcess;
};
