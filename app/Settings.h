#pragma once

#include <QString>

// The thirty settings of Kestrel.cfg, one member per key, named by the key. Defaults are
// empty text, 0 and off.
struct CSettings
{
    QString LOCAL_PERL_EXE;
    QString LOCAL_PERL_PRM;
    QString RUN_IN_DOS_WINDOW;
    QString REMOTE_PERL_EXE;
    QString REMOTE_PERL_PRM;
    QString FTP_HOST_NAME;
    int FTP_PORT_NUMBER = 0;
    QString FTP_USER_NAME;
    QString FTP_USER_PASS;
    QString LOCAL_DIRECTORY;
    QString REMOTE_DIRECTORY;
    QString TAB_SIZE;
    QString TAB_EXPAND;
    QString INDENT_SIZE;
    int AUTO_INDENT = 0;
    QString VIEW_FONT;
    QString LOCAL_JAVA_EXE;
    QString LOCAL_JAVA_PRM;
    QString REMOTE_JAVA_EXE;
    QString REMOTE_JAVA_PRM;
    QString LOCAL_JAVAC_EXE;
    QString LOCAL_JAVAC_PRM;
    QString REMOTE_JAVAC_EXE;
    QString REMOTE_JAVAC_PRM;
    QString SERVER_TYPE;
    QString SERVER_HOST;
    QString SERVER_USER;
    QString SERVER_PASS;
    int SERVER_PORT_NUMBER = 0;
    QString SERVER_CLIENT_EXEPATH;

    bool operator==(const CSettings &o) const;
};

// The process-wide settings, read at start-up and after Options saves.
extern CSettings g_settings;
