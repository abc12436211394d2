#include "server/FtpCommandLine.h"
#include "server/FtpListParser.h"
#include "server/FtpTransfer.h"

#include <QTest>
#include <QTimeZone>

// The parsers of what the server and the user type: no server needed.
class TestFtpParsers : public QObject
{
    Q_OBJECT

private slots:
    void commandSplitter_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("arg1");
        QTest::addColumn<QString>("arg2");
        QTest::newRow("command alone") << "CD" << "CD" << "" << "";
        QTest::newRow("lower case is upper-cased") << "cd sub" << "CD" << "sub" << "";
        QTest::newRow("mixed case") << "Cd sub" << "CD" << "sub" << "";
        QTest::newRow("blanks around are trimmed") << "   rename a.pl b.pl  " << "RENAME" << "a.pl" << "b.pl";
        QTest::newRow("two blanks give an empty word") << "CD  sub" << "CD" << "" << "sub";
        QTest::newRow("arguments are single words") << "CD my folder" << "CD" << "my" << "folder";
        QTest::newRow("fourth and fifth word ignored") << "a b c d e f g" << "A" << "b" << "c";
        QTest::newRow("unknown command") << "get x" << "GET" << "x" << "";
        QTest::newRow("empty line") << "" << "" << "" << "";
        QTest::newRow("CD dot dot") << "CD .." << "CD" << ".." << "";
        QTest::newRow("preset CD with its blank") << "CD " << "CD" << "" << "";
    }
    void commandSplitter()
    {
        QFETCH(QString, line);
        CFtpCommandLine c = CFtpCommandLine::Split(line);
        QTEST(c.m_strCommand, "command");
        QTEST(c.m_strArg1, "arg1");
        QTEST(c.m_strArg2, "arg2");
    }

    void splitterStopsAtTheFifthBlank_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QStringList>("words");
        QTest::newRow("five words") << "a b c d e" << QStringList{"a", "b", "c", "d", "e"};
        QTest::newRow("rest after the fifth blank dropped") << "a b c d e f g"
                                                            << QStringList{"a", "b", "c", "d", "e"};
        QTest::newRow("two words") << "a b" << QStringList{"a", "b", "", "", ""};
    }
    void splitterStopsAtTheFifthBlank()
    {
        QFETCH(QString, line);
        QTEST(CFtpCommandLine::Words(line), "words");
    }

    void replies_data()
    {
        QTest::addColumn<QList<QByteArray>>("lines");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("one line") << QList<QByteArray>{"550 No such file.\r\n"} << 550 << "550 No such file.";
        QTest::newRow("last reply wins") << QList<QByteArray>{"230 OK\r\n", "550 Nope\r\n"} << 550 << "550 Nope";
        QTest::newRow("multi-line reply") << QList<QByteArray>{"211-Features:\r\n", " MDTM\r\n", "211 End\r\n"}
                                          << 211 << "211-Features:\n MDTM\n211 End";
        QTest::newRow("unfinished reply ignored") << QList<QByteArray>{"220 Hi\r\n", "211-Start\r\n"} << 220
                                                  << "220 Hi";
        QTest::newRow("no reply") << QList<QByteArray>{"garbage\r\n"} << 0 << "";
        QTest::newRow("code only") << QList<QByteArray>{"200\r\n"} << 200 << "200";
    }
    void replies()
    {
        QFETCH(QList<QByteArray>, lines);
        QString text;
        QTEST(CFtpReply::LastReply(lines, &text), "code");
        QTEST(text, "text");
    }

    void pwdReply_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("dir");
        QTest::newRow("plain") << QByteArray("257 \"/home/u\" is the current directory.") << true << "/home/u";
        QTest::newRow("doubled quotes") << QByteArray("257 \"/a \"\"b\"\"\" created") << true << "/a \"b\"";
        QTest::newRow("blanks kept") << QByteArray("257 \"/my dir\"") << true << "/my dir";
        QTest::newRow("UTF-8") << QByteArray("257 \"/caf\xc3\xa9\"") << true << QString::fromUtf8("/caf\xc3\xa9");
        QTest::newRow("not 257") << QByteArray("250 \"/x\"") << false << "";
        QTest::newRow("no closing quote") << QByteArray("257 \"/x") << false << "";
    }
    void pwdReply()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, ok);
        QString dir;
        QCOMPARE(CFtpReply::ParsePwd(reply, dir), ok);
        if (ok)
            QTEST(dir, "dir");
    }

    // The first line of a server that is no FTP server, as the user is shown it.
    void greetingOfAnotherProtocol_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("protocol");
        QTest::addColumn<QString>("shown");
        QTest::newRow("SSH banner") << QByteArray("SSH-2.0-OpenSSH_9.2p1 Debian-2\r\n") << "SSH"
                                    << "SSH-2.0-OpenSSH_9.2p1 Debian-2";
        QTest::newRow("old SSH banner") << QByteArray("SSH-1.99-Cisco-1.25\n") << "SSH" << "SSH-1.99-Cisco-1.25";
        QTest::newRow("unknown protocol") << QByteArray("+OK POP3 ready\r\n") << "" << "+OK POP3 ready";
        QTest::newRow("control characters replaced")
            << QByteArray("a\x1b[0m\tb\x7f\r\n") << "" << QStringLiteral("a\ufffd[0m\ufffdb\ufffd");
        QTest::newRow("invalid UTF-8 replaced") << QByteArray("caf\xe9\r\n") << "" << QStringLiteral("caf\ufffd");
        QTest::newRow("long line cut") << QByteArray(300, 'x') << "" << QString(200, QLatin1Char('x')) + "...";
        QTest::newRow("cut never splits a character")
            << QByteArray(199, 'x') + QByteArray("\xf0\x9f\x98\x80") + QByteArray(10, 'y') << ""
            << QString(199, QLatin1Char('x')) + "...";
    }
    void greetingOfAnotherProtocol()
    {
        QFETCH(QByteArray, line);
        QTEST(CFtpReply::ProtocolOfGreeting(line), "protocol");
        QTEST(CFtpReply::Printable(line), "shown");
        QCOMPARE(CFtpReply::Code(line), 0);
    }

    void listingLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("name");
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("folder");
        QTest::addColumn<QDateTime>("time");
        const QDateTime now(QDate(2026, 12, 9), QTime(12, 0), QTimeZone::utc());
        auto at = [](int y, int mo, int d, int h, int mi) { return QDateTime(QDate(y, mo, d), QTime(h, mi), QTimeZone::utc()); };
        QTest::newRow("unix file") << QByteArray("-rw-r--r--   1 root     root           18 Dec 09 21:49 t.txt") << true
                                   << "t.txt" << qint64(18) << false << at(2026, 12, 9, 21, 49);
        QTest::newRow("unix folder") << QByteArray("drwxr-xr-x   2 root root 4096 Jan  3  2019 src") << true << "src"
                                     << qint64(4096) << true << at(2019, 1, 3, 0, 0);
        QTest::newRow("date ahead is last year") << QByteArray("-rw-r--r-- 1 a b 5 Dec 20 10:00 x") << true << "x"
                                                 << qint64(5) << false << at(2025, 12, 20, 10, 0);
        QTest::newRow("name with blanks") << QByteArray("-rw-r--r-- 1 a b 5 Mar  1 10:00 my  file .pl") << true
                                          << "my  file .pl" << qint64(5) << false << at(2026, 3, 1, 10, 0);
        QTest::newRow("leading blank in name") << QByteArray("-rw-r--r-- 1 a b 5 Mar  1 10:00  lead") << true
                                               << " lead" << qint64(5) << false << at(2026, 3, 1, 10, 0);
        QTest::newRow("symbolic link") << QByteArray("lrwxrwxrwx 1 a b 5 Mar  1 10:00 link -> t.txt") << true
                                       << "link" << qint64(5) << false << at(2026, 3, 1, 10, 0);
        QTest::newRow("no group column") << QByteArray("-rw-r--r-- 1 owner 77 Mar  1 2020 n.pl") << true << "n.pl"
                                         << qint64(77) << false << at(2020, 3, 1, 0, 0);
        QTest::newRow("large file") << QByteArray("-rw-r--r-- 1 a b 209715200 Mar  1 10:00 big") << true << "big"
                                    << qint64(209715200) << false << at(2026, 3, 1, 10, 0);
        QTest::newRow("non-ASCII name") << QByteArray("-rw-r--r-- 1 a b 0 Mar  1 10:00 caf\xc3\xa9.pl") << true
                                        << QString::fromUtf8("caf\xc3\xa9.pl") << qint64(0) << false
                                        << at(2026, 3, 1, 10, 0);
        QTest::newRow("CR at the end") << QByteArray("-rw-r--r-- 1 a b 1 Mar  1 10:00 x\r") << true << "x" << qint64(1)
                                       << false << at(2026, 3, 1, 10, 0);
        QTest::newRow("DOS file") << QByteArray("12-31-20  10:15PM              1234 report.txt") << true
                                  << "report.txt" << qint64(1234) << false << at(2020, 12, 31, 22, 15);
        QTest::newRow("DOS folder") << QByteArray("01-02-2021  12:05AM       <DIR>          my dir") << true
                                    << "my dir" << qint64(0) << true << at(2021, 1, 2, 0, 5);
        QTest::newRow("total line") << QByteArray("total 12") << false << "" << qint64(0) << false << QDateTime();
        QTest::newRow("blank line") << QByteArray("   ") << false << "" << qint64(0) << false << QDateTime();
        QTest::newRow("dot entry") << QByteArray("drwxr-xr-x 2 a b 4096 Mar  1 10:00 .") << false << "" << qint64(0)
                                   << false << QDateTime();
        QTest::newRow("unknown format") << QByteArray("type=file;size=3; x") << false << "" << qint64(0) << false
                                        << QDateTime();
        QTest::newRow("bad month") << QByteArray("-rw-r--r-- 1 a b 5 Foo  1 10:00 x") << false << "" << qint64(0)
                                   << false << QDateTime();
        QTest::newRow("no name") << QByteArray("-rw-r--r-- 1 a b 5 Mar  1 10:00") << false << "" << qint64(0) << false
                                 << QDateTime();
        QTest::newRow("DOS bad date") << QByteArray("13-45-20  10:15PM  12 x") << false << "" << qint64(0) << false
                                      << QDateTime();
    }
    void listingLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, ok);
        const QDateTime now(QDate(2026, 12, 9), QTime(12, 0), QTimeZone::utc());
        CFtpFileEntry e;
        QCOMPARE(CFtpListParser::ParseLine(line, now, e), ok);
        if (!ok)
            return;
        QTEST(e.m_strName, "name");
        QTEST(e.m_nSize, "size");
        QTEST(e.m_bDirectory, "folder");
        QTEST(e.m_time, "time");
    }

    void listingCountsWhatItSkips()
    {
        QByteArray listing = "total 3\r\n"
                             "-rw-r--r-- 1 a b 5 Mar  1 10:00 one\r\n"
                             "this line means nothing\r\n"
                             "\r\n"
                             "drwxr-xr-x 1 a b 5 Mar  1 10:00 two";
        int skipped = -1;
        QVector<CFtpFileEntry> entries = CFtpListParser::Parse(listing, QDateTime::currentDateTimeUtc(), &skipped);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].m_strName, QStringLiteral("one"));
        QCOMPARE(entries[1].m_strName, QStringLiteral("two"));
        QVERIFY(entries[1].m_bDirectory);
        QCOMPARE(skipped, 1);
    }

    void sizeColumnIsSevenWide()
    {
        CFtpFileEntry e;
        e.m_nSize = 42;
        QCOMPARE(CFtpListParser::FormatSize(e), QStringLiteral("     42"));
        e.m_nSize = 209715200;
        QCOMPARE(CFtpListParser::FormatSize(e), QStringLiteral("209715200"));
    }

    void nativeText_data()
    {
        QTest::addColumn<QByteArray>("in");
        QTest::addColumn<QByteArray>("out");
        QTest::newRow("last line gets its end") << QByteArray("a\nb") << QByteArray("a\nb\n");
        QTest::newRow("CR LF becomes native") << QByteArray("a\r\nb\r\n") << QByteArray("a\nb\n");
        QTest::newRow("empty stays empty") << QByteArray() << QByteArray();
        QTest::newRow("blank lines kept") << QByteArray("\n\n") << QByteArray("\n\n");
        QTest::newRow("lone CR is data") << QByteArray("a\rb") << QByteArray("a\rb\n");
    }
    void nativeText()
    {
        QFETCH(QByteArray, in);
        QTEST(CFtpTransfer::ToNativeText(in), "out");
    }
};

QTEST_APPLESS_MAIN(TestFtpParsers)
#include "tst_ftpparsers.moc"
