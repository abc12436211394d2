#include "framework/FileLineParser.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

// Messages as perl 5.36, javac 17 and perlcritic print them.
class TestFileLineParser : public QObject
{
    Q_OBJECT

private slots:
    void messages_data();
    void messages();
    void nearSpanningLines();
    void blanksAndAtInPathFoundOnDisk();
    void relativeNamesResolveAgainstTheFolder();
    void failedRunEndsInAnError();
    void javaFramesFoundBesideTheSourceOrInItsPackage_data();
    void javaFramesFoundBesideTheSourceOrInItsPackage();
    void cheapTestRejectsOnlyLinesWithoutMessages_data();
    void cheapTestRejectsOnlyLinesWithoutMessages();
};

namespace {

// "file:line:E|W" for each message, frames marked with a trailing "^".
QStringList Describe(const QList<CFileLineMessage> &messages)
{
    QStringList out;
    for (const CFileLineMessage &m : messages)
        out << QStringLiteral("%1:%2:%3%4")
                   .arg(m.strFile)
                   .arg(m.nLine)
                   .arg(m.nSeverity == CFileLineMessage::Error ? QLatin1Char('E') : QLatin1Char('W'))
                   .arg(m.bFrame ? QStringLiteral("^") : QString());
    return out;
}

} // namespace

void TestFileLineParser::messages_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("die") << "Died at /home/u/dies.pl line 8.\n" << QStringList{"/home/u/dies.pl:8:E"};
    QTest::newRow("die with a message of its own and <STDIN>")
        << "no input at /home/u/in.pl line 3, <STDIN> line 2.\n" << QStringList{"/home/u/in.pl:3:W"};
    QTest::newRow("warn") << "careful at my dir/run me.pl line 5, <STDIN> line 1.\n"
                          << QStringList{"my dir/run me.pl:5:W"};
    QTest::newRow("uninitialized value, chunk")
        << "Use of uninitialized value $u in addition (+) at x.pl line 3, <$fh> chunk 7.\n" << QStringList{"x.pl:3:W"};
    QTest::newRow("syntax error near")
        << "syntax error at syn.pl line 3, near \"print\"\n"
           "Global symbol \"$x\" requires explicit package name (did you forget to declare \"my $x\"?) at syn.pl line 3.\n"
           "syn.pl had compilation errors.\n"
        << QStringList{"syn.pl:3:E", "syn.pl:3:E"};
    QTest::newRow("Can't locate, compilation aborted")
        << "Can't locate Foo/Bar.pm in @INC (you may need to install the Foo::Bar module) (@INC contains: /etc/perl "
           "/usr/share/perl5) at loc.pl line 1.\nBEGIN failed--compilation aborted at loc.pl line 1.\n"
        << QStringList{"loc.pl:1:E", "loc.pl:1:E"};
    QTest::newRow("message naming a module file") << "bad thing at lib/Mod.pm line 2.\n"
                                                   << QStringList{"lib/Mod.pm:2:W"};
    QTest::newRow("core module path") << "Odd number of elements in hash assignment at /usr/share/perl/5.36/Foo.pm line 12.\n"
                                      << QStringList{"/usr/share/perl/5.36/Foo.pm:12:W"};
    QTest::newRow("at EOF and at end of line")
        << "Missing right curly or square bracket at eof.pl line 1, at end of line\n"
           "syntax error at eof.pl line 1, at EOF\neof.pl had compilation errors.\n"
        << QStringList{"eof.pl:1:E", "eof.pl:1:E"};
    QTest::newRow("operator expected, then its hint line")
        << "Scalar found where operator expected at nl6.pl line 2, near \"$b\"\n"
           "\t(Missing semicolon on previous line?)\nsyntax error at nl6.pl line 2, near \"$b \"\n"
        << QStringList{"nl6.pl:2:W", "nl6.pl:2:E"};
    QTest::newRow("Carp stack frames")
        << "deep at /w/c.pl line 2.\n\tmain::f(1) called at /w/c.pl line 5\n"
        << QStringList{"/w/c.pl:2:W", "/w/c.pl:5:W^"};
    QTest::newRow("javac error") << "H.java:1: error: incompatible types: String cannot be converted to int\n"
                                    "public class H { int x = \"s\"; }\n                         ^\n1 error\n"
                                 << QStringList{"H.java:1:E"};
    QTest::newRow("javac warning in a folder with blanks")
        << "/tmp/my src/W.java:4: warning: [deprecation] stop() in Thread has been deprecated\n1 warning\n"
        << QStringList{"/tmp/my src/W.java:4:W"};
    QTest::newRow("perlcritic finding")
        << "STDIN:3:1: [InputOutput::ProhibitBarewordFileHandles] Bareword file handle opened. See pages 202,204 "
           "of PBP (Severity: 5)\n"
        << QStringList{"STDIN:3:W"};
    QTest::newRow("eval and -e name no file")
        << "oops at (eval 1) line 1.\ndeep at -e line 1.\n" << QStringList{};
    QTest::newRow("only looks like a message")
        << "We looked at the sky line 3.\nExecution of x.pl aborted due to compilation errors.\n"
           "x.pl syntax OK\nProcess completed at line 0.\nsee at x.pl line 0.\n"
        << QStringList{};
    QTest::newRow("CR LF line ends") << "Died at C:\\scripts\\dies.pl line 4.\r\n"
                                     << QStringList{"C:\\scripts\\dies.pl:4:E"};
    QTest::newRow("an at in the message") << "Look at me at /tmp/x.pl line 3.\n" << QStringList{"/tmp/x.pl:3:W"};
    QTest::newRow("java exception: its first line the message, the callers frames")
        << "Exception in thread \"main\" java.lang.IllegalStateException: at line 3: no\n"
           "\tat Hello.fail(Hello.java:9)\n\tat Hello.lambda$main$0(Hello.java:4)\n"
           "\tat Hello$Inner.<init>(Hello.java:14)\n\tat Hello.main(Hello.java:5)\n"
        << QStringList{"Hello.java:9:E", "Hello.java:4:E^", "Hello.java:14:E^", "Hello.java:5:E^"};
    QTest::newRow("java frames in a package, of the class path's loader")
        << "java.lang.RuntimeException: x\n\tat app//org.demo.Cls.run(Cls.java:21)\n"
           "\tat org.demo.Main.main(Main.java:7)\n"
        << QStringList{"Cls.java:21:E", "Main.java:7:E^"};
    QTest::newRow("java frames of the JDK, native or without source are none")
        << "java.lang.NumberFormatException: For input string: \"x\"\n"
           "\tat java.base/java.lang.NumberFormatException.forInputString(NumberFormatException.java:67)\n"
           "\tat java.base@17.0.15/java.lang.Integer.parseInt(Integer.java:668)\n"
           "\tat jdk.internal.reflect.NativeMethodAccessorImpl.invoke0(Native Method)\n"
           "\tat Gen.call(Unknown Source)\n\tat P.main(P.java:3)\n\t... 2 more\n"
        << QStringList{"P.java:3:E"};
    QTest::newRow("a cause starts a trace of its own")
        << "\tat A.f(A.java:2)\nCaused by: java.io.IOException: gone\n\tat B.g(B.java:8)\n\t... 1 more\n"
        << QStringList{"A.java:2:E", "B.java:8:E"};
    QTest::newRow("only looks like a java frame")
        << "at Hello.main(Hello.java:0)\nat Hello.main(Hello.java)\nwhat at Hello.main(Hello.java:3)\n"
           "at Hello(Hello.java:3)\nat x.y(Hello.kt:3)\n"
        << QStringList{};
}

void TestFileLineParser::messages()
{
    QFETCH(QString, text);
    QFETCH(QStringList, expected);
    const QList<CFileLineMessage> found = CFileLineParser().Parse(text);
    QCOMPARE(Describe(found), expected);
    // The output pane passes over the lines the cheap test rejects: none of them may
    // hold a message.
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const CFileLineMessage &m : found) {
        const QByteArray line = lines[m.nFirstLine].toUtf8();
        QVERIFY2(CFileLineParser::MayHoldMessage(line.constData(), line.size()), line.constData());
    }
}

void TestFileLineParser::nearSpanningLines()
{
    const QString text = QStringLiteral("Unmatched right curly bracket at nl8.pl line 2, at end of line\n"
                                        "syntax error at nl8.pl line 2, near \"x\n}\"\n"
                                        "nl8.pl had compilation errors.\n");
    const QList<CFileLineMessage> messages = CFileLineParser().Parse(text);
    QCOMPARE(Describe(messages), (QStringList{"nl8.pl:2:E", "nl8.pl:2:E"}));
    QCOMPARE(messages[1].strText, QStringLiteral("syntax error at nl8.pl line 2, near \"x\n}\""));
    QCOMPARE(messages[1].nFirstLine, 1);
    QCOMPARE(messages[1].nLastLine, 2);
    // A quote that never closes takes no more than the lines there are.
    const QList<CFileLineMessage> open = CFileLineParser().Parse(QStringLiteral("syntax error at a.pl line 1, near \"x\ny\n"));
    QCOMPARE(open.size(), 1);
    QCOMPARE(open[0].nLastLine, 1);
    // Nor more than its limit: the lines after it are searched again.
    QString longOpen = QStringLiteral("syntax error at a.pl line 1, near \"x\n");
    for (int i = 0; i < CFileLineParser::kMaxNearLines + 5; ++i)
        longOpen += QStringLiteral("source\n");
    longOpen += QStringLiteral("Died at b.pl line 2.\n");
    QCOMPARE(Describe(CFileLineParser().Parse(longOpen)), (QStringList{"a.pl:1:E", "b.pl:2:E"}));
    QCOMPARE(CFileLineParser().Parse(longOpen)[0].nLastLine, CFileLineParser::kMaxNearLines);
}

void TestFileLineParser::blanksAndAtInPathFoundOnDisk()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("work at home")));
    const QString script = dir.filePath(QStringLiteral("work at home/my script.pl"));
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    const QString text = QStringLiteral("Look at this at %1 line 7.\n").arg(script);
    // Without the folder the shortest name is taken; with it, the one that exists.
    QCOMPARE(CFileLineParser().Parse(text).value(0).strFile, QStringLiteral("home/my script.pl"));
    const QList<CFileLineMessage> found = CFileLineParser(dir.path()).Parse(text);
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].strFile, script);
    QCOMPARE(found[0].strPath, script);
    QCOMPARE(found[0].nLine, 7);
}

void TestFileLineParser::relativeNamesResolveAgainstTheFolder()
{
    const QList<CFileLineMessage> m =
        CFileLineParser(QStringLiteral("/srv/app")).Parse(QStringLiteral("bad at lib/../lib/Mod.pm line 2.\n"));
    QCOMPARE(m.size(), 1);
    QCOMPARE(m[0].strFile, QStringLiteral("lib/../lib/Mod.pm"));
    QCOMPARE(m[0].strPath, QStringLiteral("/srv/app/lib/Mod.pm"));
}

void TestFileLineParser::failedRunEndsInAnError()
{
    QList<CFileLineMessage> m = CFileLineParser().Parse(
        QStringLiteral("careful at a.pl line 1.\nno input at a.pl line 4.\n\tmain::f() called at a.pl line 9\n"));
    CFileLineParser::MarkFatalEnd(m);
    QCOMPARE(Describe(m), (QStringList{"a.pl:1:W", "a.pl:4:E", "a.pl:9:W^"}));
    QList<CFileLineMessage> javac = CFileLineParser().Parse(QStringLiteral("H.java:2: warning: [x] y\n"));
    CFileLineParser::MarkFatalEnd(javac);
    QCOMPARE(Describe(javac), QStringList{"H.java:2:W"});
}

void TestFileLineParser::javaFramesFoundBesideTheSourceOrInItsPackage_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("frame");
    QTest::addColumn<QString>("expected");
    QTest::newRow("beside the source") << QStringList{"Hello.java"} << "\tat Hello.main(Hello.java:3)"
                                       << "Hello.java";
    QTest::newRow("in its package's folders") << QStringList{"org/demo/Cls.java"}
                                              << "\tat org.demo.Cls$Inner.run(Cls.java:3)" << "org/demo/Cls.java";
    QTest::newRow("beside the source first") << QStringList{"Cls.java", "org/demo/Cls.java"}
                                             << "\tat org.demo.Cls.run(Cls.java:3)" << "Cls.java";
    // Like a javac message's, a name found nowhere is taken as beside the source.
    QTest::newRow("nowhere") << QStringList{} << "\tat org.demo.Cls.run(Cls.java:3)" << "Cls.java";
}

void TestFileLineParser::javaFramesFoundBesideTheSourceOrInItsPackage()
{
    QFETCH(QStringList, files);
    QFETCH(QString, frame);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString &name : files) {
        QVERIFY(QDir(dir.path()).mkpath(QFileInfo(name).path()));
        QFile f(dir.filePath(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const QList<CFileLineMessage> found = CFileLineParser(dir.path()).Parse(frame);
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].nForm, CFileLineMessage::JavaTrace);
    QCOMPARE(found[0].nLine, 3);
    QCOMPARE(found[0].strPath, dir.filePath(expected));
}

void TestFileLineParser::cheapTestRejectsOnlyLinesWithoutMessages_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<bool>("may");
    QTest::newRow("plain output") << QByteArray("00012345 xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx") << false;
    QTest::newRow("a colon, no number") << QByteArray("Exception in thread \"main\" java.lang.Error: x") << false;
    QTest::newRow("a line word, no number") << QByteArray("the line is busy at 5") << false;
    QTest::newRow("colon at the end") << QByteArray("key:") << false;
    QTest::newRow("perl") << QByteArray("x at a.pl line 1.") << true;
    QTest::newRow("javac") << QByteArray("A.java:12: error: x") << true;
    QTest::newRow("java frame") << QByteArray("\tat A.m(A.java:3)") << true;
    QTest::newRow("a colon before the number") << QByteArray("a: b:7") << true;
}

void TestFileLineParser::cheapTestRejectsOnlyLinesWithoutMessages()
{
    QFETCH(QByteArray, line);
    QFETCH(bool, may);
    QCOMPARE(CFileLineParser::MayHoldMessage(line.constData(), line.size()), may);
}

QTEST_APPLESS_MAIN(TestFileLineParser)
#include "tst_filelineparser.moc"
