#pragma once

#include <QString>
#include <QStringList>

struct CSettings;

// What one Run, Compile or Debug starts: a program and its arguments (never a shell
// line), the folder it starts in, and for the console form the runhold arguments.
struct CRunCommandLine
{
    enum class Kind { Run, Compile, Debug };

    QString strProgram;
    QStringList arguments;
    // Empty: the IDE's current folder.
    QString strDirectory;
    // The document the command works on.
    QString strDocument;
    // Run in a console window through runhold: strProgram is runhold.
    bool bConsole = false;
    // Debug runs the interpreter's debugger, driven by the debugger's engine.
    bool bDebugger = false;

    // The command as the user reads it in a message: words separated by blanks, a word
    // that holds blanks or is empty in double quotes.
    QString Display() const;

    // The document is Java when ".java" occurs in its path after the first character.
    static bool IsJava(const QString &strPath);
    // The path's folder, as the child's working folder.
    static QString FolderOf(const QString &strPath);
    // An option setting split into arguments by the shell's quoting rules, no shell run.
    static QStringList SplitOptions(const QString &strOptions);

    // The option setting runhold gets for Debug: perl's -d, then the user's options.
    static QString DebugOptions(const QString &strOptions);

    // strRunHold is the path of the console wrapper beside the IDE.
    static CRunCommandLine Compose(Kind kind, const QString &strPath, const QString &strTitle,
                                   const CSettings &settings, const QString &strRunHold);
};
