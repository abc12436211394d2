#pragma once

#include <QByteArray>
#include <QUrl>
#include <QWidget>

class CCgiWebServer;
class CKestrelView;
class QLineEdit;
class QPlainTextEdit;

// Script > Run in Browser: a browser window onto a web server of our own that serves
// the script's folder on 127.0.0.1 for as long as the window is open, with a log pane
// of each request's standard error, exit code and time.
class CRunInBrowserFrame : public QWidget
{
    Q_OBJECT

public:
    // Enabled for a saved script; the command saves it first, as Run does.
    static void Register(CKestrelView *pView);

    // Serves the script's folder with `strPerl` running the scripts and opens the
    // script with the saved request: GET with the inputs as the query, POST with them
    // as the body, any other method as a plain GET. Null, with the reason, when the
    // server cannot start.
    static CRunInBrowserFrame *Open(const QString &strScript, const QString &strPerl, const QString &strMethod,
                                    const QString &strInputs, QString *pReason = nullptr);

    CCgiWebServer *Server() const { return m_pServer; }
    QPlainTextEdit *LogPane() const { return m_pLog; }
    QWidget *PageView() const { return m_pPage; }
    QString FirstUrl() const { return m_strFirstUrl; }
    // The address field: the page shown, which the user may edit to open another.
    QLineEdit *AddressField() const { return m_pAddress; }
    // Shows the first page again, or what the browser shows now, running the scripts anew.
    void OnReload();
    // Opens what the user typed: a path of the served folder, or an address of this
    // server. Any other address is refused with a line in the log pane.
    void OnAddressEntered();

private:
    CRunInBrowserFrame(const QString &strScript, const QString &strPerl);
    void Load(const QString &strUrl, const QByteArray &baMethod, const QByteArray &baBody);
    void ShowAddress(const QUrl &url);
    void OnRequestLogged(const QString &strEntry);

private slots:
    void OnPageUrlChanged(const QUrl &url);

private:

    QString m_strScript;
    QString m_strFirstUrl;
    CCgiWebServer *m_pServer;
    QWidget *m_pPage = nullptr;
    QPlainTextEdit *m_pLog;
    QLineEdit *m_pAddress;
    // The page's address, which the address field shows unless the user is typing.
    QUrl m_currentUrl;
    bool m_bEngine = false;
};
