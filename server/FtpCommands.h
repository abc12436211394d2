#pragma once

#include "server/FtpConnection.h"

#include <QObject>
#include <QString>

#include <memory>

class CCmdUI;
class CFtpBrowserDlg;
class CKestrelView;

// File > Load from server, Put on server and Put Back, handled for the editor view.
class CFtpCommands : public QObject
{
    Q_OBJECT

public:
    explicit CFtpCommands(CKestrelView *pView);

    // Adds the three commands to the view's command map.
    static void Register(CKestrelView *pView);

    void OnLoadFromServer();
    void OnPutOnServer();
    void OnPutBack();
    void OnUpdatePutBack(CCmdUI &ui) const;

    // The login prompt and the connection, made on a worker while the status bar
    // counts the seconds. Null when the user cancelled or no connection came about.
    std::unique_ptr<CFtpConnection> Connect(CFtpBrowserDlg &dlg);

    // The settings of the connection as they are now.
    static CFtpConnectionParams ParamsFromSettings();
    // Tests point active mode elsewhere; empty keeps the usual address.
    static QString s_strActiveAddress;

private:
    void SetStatus(const QString &strText) const;
    QWidget *Window() const;

    CKestrelView *m_pView;
};
