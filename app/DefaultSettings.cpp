#include "app/DefaultSettings.h"

#include "app/Settings.h"
#include "framework/LogFont.h"

#include <QFileInfo>
#include <QStandardPaths>

namespace {

void NameInterpreter(QString &setting, const char *name)
{
    const QFileInfo current(setting);
    if (!setting.isEmpty() && current.isFile() && current.isExecutable())
        return;
    setting = QStandardPaths::findExecutable(QLatin1String(name));
}

} // namespace

CSettings CDefaultSettings::Make()
{
    CSettings s;
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
    return s;
}

void CDefaultSettings::NameInterpreters(CSettings &settings)
{
    NameInterpreter(settings.LOCAL_PERL_EXE, "perl");
    NameInterpreter(settings.LOCAL_JAVA_EXE, "java");
    NameInterpreter(settings.LOCAL_JAVAC_EXE, "javac");
}
