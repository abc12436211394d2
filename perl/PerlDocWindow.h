#pragma once

#include "perl/PerlDocTopic.h"

#include <QWidget>

class CPerlDocLookup;
class QPlainTextEdit;

// The Perl documentation window: one of its own beside the main window, showing the
// plain text perldoc gives for a topic, or why there is none.
class CPerlDocWindow : public QWidget
{
    Q_OBJECT

public:
    explicit CPerlDocWindow(QWidget *parent = nullptr);
    ~CPerlDocWindow() override;

    // The one window of the main window `owner`, made on first use.
    static CPerlDocWindow *Instance(QWidget *owner);
    // Shows the window and looks the topic up.
    void ShowTopic(const CPerlDocTopic &topic);

    QPlainTextEdit *TextView() const { return m_pText; }
    CPerlDocLookup *Lookup() const { return m_pLookup; }

signals:
    void LookupFinished(bool bFound);

private:
    void SetBusy(bool bBusy);

    bool m_bBusy = false;
    QPlainTextEdit *m_pText;
    CPerlDocLookup *m_pLookup;
    CPerlDocTopic m_topic;
};
