#include "run/RunCommandLine.h"

#include "app/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>

QString CRunCommandLine::Display() const
{
    QStringList words;
    for (const QString &w : QStringList{strProgram} + arguments) {
        if (w.isEmpty() || w.contains(QLatin1Char(' ')) || w.contains(QLatin1Char('\t')))
            words << QLatin1Char('"') + w + QLatin1Char('"');
        else
            words << w;
    }
    return words.join(QLatin1Char(' '));
}

bool CRunCommandLine::IsJava(const QString &strPath)
{
    return strPath.indexOf(QLatin1String(".java")) > 0;
}

QString CRunCommandLine::FolderOf(const QString &strPath)
{
    return QFileInfo(strPath).absolutePath();
}

QStringList CRunCommandLine::SplitOptions(const QString &strOptions)
{
    return QProcess::splitCommand(strOptions);
}

QString CRunCommandLine::DebugOptions(const QString &strOptions)
{
    // -d goes first: nothing in the user's options (a "--" that ends perl's switches, a
    // quote left open) can then take it away from perl.
    return strOptions.trimmed().isEmpty() ? QStringLiteral("-d") : QStringLiteral("-d ") + strOptions;
}

CRunCommandLine CRunCommandLine::Compose(Kind kind, const QString &strPath, const QString &strTitle,
                                         const CSettings &settings, const QString &strRunHold)
{
    CRunCommandLine cl;
    cl.strDocument = strPath;
    const bool bConsole = settings.RUN_IN_DOS_WINDOW == QLatin1String("Y");
    const bool bJava = IsJava(strPath);
    QString native = QDir::toNativeSeparators(strPath);

    if (kind != Kind::Compile && bConsole) {
        // runhold gets its five arguments whatever the settings hold: the option setting
        // travels as one argument, empty or not, and runhold splits it.
        cl.bConsole = true;
        cl.strProgram = strRunHold;
        cl.arguments << QStringLiteral("Quillon+Kestrel+") << settings.LOCAL_PERL_EXE
                     << (kind == Kind::Debug ? DebugOptions(settings.LOCAL_PERL_PRM) : settings.LOCAL_PERL_PRM) << native;
        cl.strDirectory = FolderOf(strPath);
        return cl;
    }

    switch (kind) {
    case Kind::Run:
        cl.strDirectory = FolderOf(strPath);
        if (bJava) {
            QString strClass = strTitle.isEmpty() ? QFileInfo(strPath).fileName() : strTitle;
            strClass.remove(QLatin1String(".java"));
            cl.strProgram = settings.LOCAL_JAVA_EXE;
            cl.arguments << SplitOptions(settings.LOCAL_JAVA_PRM) << strClass;
        } else {
            cl.strProgram = settings.LOCAL_PERL_EXE;
            cl.arguments << SplitOptions(settings.LOCAL_PERL_PRM) << native;
        }
        break;
    case Kind::Compile:
        cl.strDirectory = FolderOf(strPath);
        if (bJava) {
            cl.strProgram = settings.LOCAL_JAVAC_EXE;
            cl.arguments << SplitOptions(settings.LOCAL_JAVAC_PRM) << native;
        } else {
            cl.strProgram = settings.LOCAL_PERL_EXE;
            cl.arguments << QStringLiteral("-c") << native;
        }
        break;
    case Kind::Debug:
        cl.bDebugger = true;
        cl.strDirectory = FolderOf(strPath);
        cl.strProgram = settings.LOCAL_PERL_EXE;
        cl.arguments << QStringLiteral("-d") << SplitOptions(settings.LOCAL_PERL_PRM) << native;
        break;
    }
    return cl;
}
