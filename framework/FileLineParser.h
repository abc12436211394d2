#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// One message of perl, javac or perlcritic that names a file and a line.
struct CFileLineMessage
{
    enum Severity { Error, Warning };
    enum Form { Perl, Javac, Critic, JavaTrace };

    // The file as the message names it, and as a path when a folder was given to
    // resolve it against.
    QString strFile;
    QString strPath;
    int nLine = 0;
    Severity nSeverity = Warning;
    Form nForm = Perl;
    // The message as shown to the user, continuation lines included.
    QString strText;
    // perlcritic's policy, empty for the others.
    QString strPolicy;
    // The package of the class a java stack frame names ("pkg.sub"), empty for the
    // others.
    QString strPackage;
    // Where the message stands in the parsed text: its first and last line (0-based).
    int nFirstLine = 0;
    int nLastLine = 0;
    // A "called at" line of a stack trace: it names a place, but is not a message
    // of its own.
    bool bFrame = false;

    bool operator==(const CFileLineMessage &o) const
    {
        return strFile == o.strFile && strPath == o.strPath && nLine == o.nLine && nSeverity == o.nSeverity && nForm == o.nForm
               && strText == o.strText && strPolicy == o.strPolicy && strPackage == o.strPackage && nFirstLine == o.nFirstLine
               && nLastLine == o.nLastLine && bFrame == o.bFrame;
    }
};

// Finds the messages that name a file and line in a program's error output:
//   perl:       "... at FILE line N." with ", near "..."", ", <FH> line M." or
//               ", at EOF" after the line number; "... called at FILE line N"
//   javac:      "FILE:N: error: ..." and "FILE:N: warning: ..."
//   perlcritic: "FILE:N:C: [Policy] ..." (the form Script > Critique asks it for)
//   java:       "\tat pkg.Cls.method(Cls.java:N)", a line of an exception's stack
//               trace; the first of a trace is its message, the others its frames.
//               A frame in a named module (the JDK's own, "java.base/...") and one
//               without a line ("(Native Method)", "(Unknown Source)") is none.
// A file named in a perl message may hold blanks; where the text before " line N"
// has several " at ", the longest name that exists in the base folder wins, else the
// shortest that looks like a path.
class CFileLineParser
{
public:
    // strBaseDir: the folder relative names are resolved against (the program's
    // working folder); empty to leave names as they are and touch no file.
    explicit CFileLineParser(const QString &strBaseDir = QString());

    QList<CFileLineMessage> Parse(const QString &strText) const;
    QList<CFileLineMessage> Parse(const QStringList &lines) const;

    // False for a line that no form above can match, told from its bytes alone
    // (UTF-8, no line end) without building a string: every form names its line as
    // " line N" or ":N". Lets a flood of output be searched cheaply.
    static bool MayHoldMessage(const char *pLine, qsizetype nLength);
    // A line that opens perl's quotation of source (", near \"") whose end may come
    // on a later line.
    static bool MayOpenNear(const char *pLine, qsizetype nLength);
    // The most lines a message continues over.
    static constexpr int kMaxNearLines = 50;

    // perl's fatal messages: syntax errors, die, Can't ..., compile aborts and the
    // other compile-time errors that stop a script before it runs.
    static CFileLineMessage::Severity ClassifyPerl(const QString &strText);

    // A failed run's last perl message is the one that ended it, whatever its words
    // (die "no input" reads like any warning): it becomes an error.
    static void MarkFatalEnd(QList<CFileLineMessage> &messages);

private:
    bool ParseOne(const QString &line, CFileLineMessage &msg, bool *pbOpenNear) const;
    bool ParsePerl(const QString &line, CFileLineMessage &msg, bool *pbOpenNear) const;
    bool ParseJavac(const QString &line, CFileLineMessage &msg) const;
    bool ParseCritic(const QString &line, CFileLineMessage &msg) const;
    bool ParseJavaTrace(const QString &line, CFileLineMessage &msg) const;
    // The source a stack frame names: beside the program, else in the folders of the
    // class's package below it.
    QString ResolveJava(const QString &strFile, const QString &strPackage) const;
    QString PickPerlFile(const QString &head, QString *pstrBefore) const;
    bool Exists(const QString &strFile) const;
    QString Resolve(const QString &strFile) const;

    QString m_strBaseDir;
};
