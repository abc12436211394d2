// Writes the default Kestrel.cfg of a new installation, unless the file exists.
#include "app/Settings.h"
#include "app/SettingsFile.h"
#include "framework/LogFont.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestrel_default_cfg PATH\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (QFileInfo::exists(path))
        return 0;
    CSettings s;
    s.LOCAL_PERL_EXE = QStandardPaths::findExecutable(QStringLiteral("perl"));
    s.LOCAL_JAVA_EXE = QStandardPaths::findExecutable(QStringLiteral("java"));
    s.LOCAL_JAVAC_EXE = QStandardPaths::findExecutable(QStringLiteral("javac"));
    s.REMOTE_PERL_EXE = QStringLiteral("/usr/bin/perl");
    s.RUN_IN_DOS_WINDOW = QStringLiteral("N");
    s.FTP_PORT_NUMBER = 21;
    s.SERVER_PORT_NUMBER = 23;
    s.SERVER_TYPE = QStringLiteral("telnet");
    s.TAB_SIZE = QStringLiteral("4");
    s.INDENT_SIZE = QStringLiteral("3");
    s.TAB_EXPAND = QStringLiteral("Y");
    s.AUTO_INDENT = 1;
    s.VIEW_FONT = CLogFont::DefaultMonospace().Format();
    QString error;
    if (!CSettingsFile::Write(path, s, &error)) {
        std::fprintf(stderr, "Cannot write %s: %s\n", argv[1], qPrintable(error));
        return 1;
    }
    return 0;
}
