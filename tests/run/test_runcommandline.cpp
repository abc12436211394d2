#include "app/Settings.h"
#include "run/RunCommandLine.h"

#include <QTest>

using Kind = CRunCommandLine::Kind;
Q_DECLARE_METATYPE(CRunCommandLine::Kind)

class TestRunCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void compose_data();
    void compose();
    void perlOptions_data();
    void perlOptions();
    void isJava_data();
    void isJava();
    void display();
};

void TestRunCommandLine::compose_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("dosWindow");
    QTest::addColumn<QString>("javaPrm");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("dir");
    QTest::addColumn<bool>("console");

    const QString rh = QStringLiteral("/opt/k/runhold");
    QTest::newRow("piped Perl run: script path, script folder")
        << Kind::Run << "/home/u/scripts/hello.pl" << "hello.pl" << "N" << "" << "/usr/bin/perl"
        << QStringList{"/home/u/scripts/hello.pl"} << "/home/u/scripts" << false;
    QTest::newRow("piped run keeps a path with blanks as one argument")
        << Kind::Run << "/home/u/my scripts/a b.pl" << "a b.pl" << "" << "" << "/usr/bin/perl"
        << QStringList{"/home/u/my scripts/a b.pl"} << "/home/u/my scripts" << false;
    QTest::newRow("Java run: class name in the source folder")
        << Kind::Run << "/src/Hello.java" << "Hello.java" << "" << "-Xmx64m -ea" << "/usr/bin/java"
        << QStringList{"-Xmx64m", "-ea", "Hello"} << "/src" << false;
    QTest::newRow("Java run with empty options gives no empty argument")
        << Kind::Run << "/src/Hello.java" << "Hello.java" << "" << "" << "/usr/bin/java"
        << QStringList{"Hello"} << "/src" << false;
    QTest::newRow("upper-case .JAVA is Perl")
        << Kind::Run << "/src/Hello.JAVA" << "Hello.JAVA" << "" << "" << "/usr/bin/perl"
        << QStringList{"/src/Hello.JAVA"} << "/src" << false;
    QTest::newRow("lower-case y is not the console")
        << Kind::Run << "/s/a.pl" << "a.pl" << "y" << "" << "/usr/bin/perl" << QStringList{"/s/a.pl"} << "/s" << false;
    QTest::newRow("console run: runhold with five arguments, empty option kept")
        << Kind::Run << "/s/my a.pl" << "my a.pl" << "Y" << "" << rh
        << QStringList{"Quillon+Kestrel+", "/usr/bin/perl", "", "/s/my a.pl"} << "/s" << true;
    QTest::newRow("console run of a Java source runs Perl")
        << Kind::Run << "/src/Hello.java" << "Hello.java" << "Y" << "" << rh
        << QStringList{"Quillon+Kestrel+", "/usr/bin/perl", "", "/src/Hello.java"} << "/src" << true;
    QTest::newRow("Perl compile checks syntax")
        << Kind::Compile << "/s/a.pl" << "a.pl" << "Y" << "" << "/usr/bin/perl"
        << QStringList{"-c", "/s/a.pl"} << "/s" << false;
    QTest::newRow("Java compile: javac with options and the source")
        << Kind::Compile << "/src/Hello.java" << "Hello.java" << "" << "" << "/usr/bin/javac"
        << QStringList{"-g", "/src/Hello.java"} << "/src" << false;
    QTest::newRow("piped debug starts in the script's folder, as Run does")
        << Kind::Debug << "/s/a.pl" << "a.pl" << "" << "" << "/usr/bin/perl" << QStringList{"-d", "/s/a.pl"} << "/s"
        << false;
    QTest::newRow("console debug passes -d as the option")
        << Kind::Debug << "/s/a.pl" << "a.pl" << "Y" << "" << rh
        << QStringList{"Quillon+Kestrel+", "/usr/bin/perl", "-d", "/s/a.pl"} << "/s" << true;
    QTest::newRow("Java in a folder name counts")
        << Kind::Run << "/x.java/Main.pl" << "Main.pl" << "" << "" << "/usr/bin/java" << QStringList{"Main.pl"}
        << "/x.java" << false;
}

void TestRunCommandLine::compose()
{
    QFETCH(Kind, kind);
    QFETCH(QString, path);
    QFETCH(QString, title);
    QFETCH(QString, dosWindow);
    QFETCH(QString, javaPrm);
    QFETCH(QString, program);
    QFETCH(QStringList, args);
    QFETCH(QString, dir);
    QFETCH(bool, console);

    CSettings s;
    s.LOCAL_PERL_EXE = QStringLiteral("/usr/bin/perl");
    s.LOCAL_PERL_PRM = QString();
    s.LOCAL_JAVA_EXE = QStringLiteral("/usr/bin/java");
    s.LOCAL_JAVA_PRM = javaPrm;
    s.LOCAL_JAVAC_EXE = QStringLiteral("/usr/bin/javac");
    s.LOCAL_JAVAC_PRM = QStringLiteral("-g");
    s.RUN_IN_DOS_WINDOW = dosWindow;
    CRunCommandLine cl = CRunCommandLine::Compose(kind, path, title, s, QStringLiteral("/opt/k/runhold"));
    QCOMPARE(cl.strProgram, program);
    QCOMPARE(cl.arguments, args);
    QCOMPARE(cl.strDirectory, dir);
    QCOMPARE(cl.bConsole, console);
    QCOMPARE(cl.bDebugger, kind == Kind::Debug && !console);
}

void TestRunCommandLine::perlOptions_data()
{
    QTest::addColumn<Kind>("kind");
    QTest::addColumn<QString>("dosWindow");
    QTest::addColumn<QString>("perlPrm");
    QTest::addColumn<QStringList>("args");

    const QString s = QStringLiteral("/s/my a.pl");
    QTest::newRow("piped run: options between perl and the script")
        << Kind::Run << "" << "-w -Ilib" << QStringList{"-w", "-Ilib", s};
    QTest::newRow("piped run: double quotes group, blanks around are no words")
        << Kind::Run << "" << "  -I\"my lib\"   -w " << QStringList{"-Imy lib", "-w", s};
    QTest::newRow("piped run: three double quotes stand for one")
        << Kind::Run << "" << "-Mconstant=Q,\"\"\"x\"\"\"" << QStringList{"-Mconstant=Q,\"x\"", s};
    QTest::newRow("piped run: two double quotes alone are no word, as runhold has it")
        << Kind::Run << "" << "-w \"\"" << QStringList{"-w", s};
    QTest::newRow("piped run: empty options give no word")
        << Kind::Run << "" << "" << QStringList{s};
    QTest::newRow("piped run: blank options give no word")
        << Kind::Run << "" << "   " << QStringList{s};
    QTest::newRow("no shell: its characters stay as they are")
        << Kind::Run << "" << "-e1;$HOME|x" << QStringList{"-e1;$HOME|x", s};
    QTest::newRow("piped debug: -d, then the options")
        << Kind::Debug << "" << "-w -Ilib" << QStringList{"-d", "-w", "-Ilib", s};
    QTest::newRow("piped debug: -d before a -- of the user's")
        << Kind::Debug << "" << "-w --" << QStringList{"-d", "-w", "--", s};
    QTest::newRow("piped debug: empty options")
        << Kind::Debug << "" << "" << QStringList{"-d", s};
    QTest::newRow("console debug: runhold gets -d and the options as one argument")
        << Kind::Debug << "Y" << "-w -I\"my lib\"" << QStringList{"Quillon+Kestrel+", "/usr/bin/perl", "-d -w -I\"my lib\"", s};
    QTest::newRow("console debug: -d stays out of a quote the user left open")
        << Kind::Debug << "Y" << "-I\"lib" << QStringList{"Quillon+Kestrel+", "/usr/bin/perl", "-d -I\"lib", s};
    QTest::newRow("console debug: blank options give -d alone")
        << Kind::Debug << "Y" << "  " << QStringList{"Quillon+Kestrel+", "/usr/bin/perl", "-d", s};
    QTest::newRow("console run: the options as runhold's one argument")
        << Kind::Run << "Y" << "-w -Ilib" << QStringList{"Quillon+Kestrel+", "/usr/bin/perl", "-w -Ilib", s};
    QTest::newRow("compile takes no options")
        << Kind::Compile << "" << "-w" << QStringList{"-c", s};
}

// Tools > Options > Perl's parameters reach every form of Run and Debug, split into
// arguments by the shell's quoting rules (runhold splits them itself).
void TestRunCommandLine::perlOptions()
{
    QFETCH(Kind, kind);
    QFETCH(QString, dosWindow);
    QFETCH(QString, perlPrm);
    QFETCH(QStringList, args);

    CSettings settings;
    settings.LOCAL_PERL_EXE = QStringLiteral("/usr/bin/perl");
    settings.LOCAL_PERL_PRM = perlPrm;
    settings.RUN_IN_DOS_WINDOW = dosWindow;
    CRunCommandLine cl = CRunCommandLine::Compose(kind, QStringLiteral("/s/my a.pl"), QStringLiteral("my a.pl"), settings,
                                                  QStringLiteral("/opt/k/runhold"));
    QCOMPARE(cl.arguments, args);
}

void TestRunCommandLine::isJava_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("java");
    QTest::newRow("source") << "/src/A.java" << true;
    QTest::newRow("at the first character is not Java") << ".java" << false;
    QTest::newRow("perl script") << "/src/a.pl" << false;
    QTest::newRow("case matters") << "/src/A.Java" << false;
}

void TestRunCommandLine::isJava()
{
    QFETCH(QString, path);
    QFETCH(bool, java);
    QCOMPARE(CRunCommandLine::IsJava(path), java);
}

void TestRunCommandLine::display()
{
    CRunCommandLine cl;
    cl.strProgram = QStringLiteral("/opt/my perl/perl");
    cl.arguments = QStringList{QStringLiteral("-c"), QString(), QStringLiteral("/a b.pl")};
    QCOMPARE(cl.Display(), QStringLiteral("\"/opt/my perl/perl\" -c \"\" \"/a b.pl\""));
}

QTEST_APPLESS_MAIN(TestRunCommandLine)
#include "test_runcommandline.moc"
