#include "TestBytes.h"

#include "server/LoginSequence.h"
#include "server/TelnetFilter.h"
#include "server/TerminalText.h"
#include "server/TextDecoder.h"

#include <QtTest>

namespace {

const int IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240;

struct CFiltered
{
    QByteArray shown;
    QByteArray replies;
};

CFiltered FilterInPieces(const QList<QByteArray> &pieces)
{
    CTelnetFilter filter;
    CFiltered out;
    for (const QByteArray &piece : pieces)
        filter.Process(piece, out.shown, out.replies);
    return out;
}

QByteArray CleanInPieces(const QList<QByteArray> &pieces)
{
    CTerminalText terminal;
    QByteArray out;
    for (const QByteArray &piece : pieces)
        terminal.Process(piece, out);
    return out;
}
}

class TestTelnetFilter : public QObject
{
    Q_OBJECT

private slots:
    void negotiation_data();
    void negotiation();
    void terminalText_data();
    void terminalText();
    void textDecoding_data();
    void textDecoding();
    void loginSequence_data();
    void loginSequence();
};

void TestTelnetFilter::negotiation_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("shown");
    QTest::addColumn<QByteArray>("replies");

    const QByteArray ansi = Bytes({IAC, SB, 24, 0, 'A', 'N', 'S', 'I', IAC, SE});
    QTest::newRow("DO terminal type is agreed to") << Bytes({IAC, DO, 24}) << QByteArray() << Bytes({IAC, WILL, 24});
    QTest::newRow("DO echo is refused") << Bytes({IAC, DO, 1}) << QByteArray() << Bytes({IAC, WONT, 1});
    QTest::newRow("SB terminal type SEND is answered ANSI")
        << Bytes({IAC, SB, 24, 1, IAC, SE}) << QByteArray() << ansi;
    QTest::newRow("SB terminal type IS is not answered") << Bytes({IAC, SB, 24, 0, IAC, SE}) << QByteArray()
                                                         << QByteArray();
    QTest::newRow("SB of another option is not answered")
        << Bytes({IAC, SB, 31, 1, IAC, SE}) << QByteArray() << QByteArray();
    QTest::newRow("WILL is answered DONT") << Bytes({IAC, WILL, 1}) << QByteArray() << Bytes({IAC, DONT, 1});
    QTest::newRow("WONT and DONT are not answered")
        << Bytes({IAC, WONT, 1, IAC, DONT, 24}) << QByteArray() << QByteArray();
    QTest::newRow("text on both sides of a sequence is shown")
        << QByteArray("abc") + Bytes({IAC, WILL, 3}) + "def" << QByteArray("abcdef") << Bytes({IAC, DONT, 3});
    QTest::newRow("text before the last of several sequences is shown")
        << QByteArray("one ") + Bytes({IAC, DO, 1}) + "two " + Bytes({IAC, DO, 24}) + "three"
        << QByteArray("one two three") << Bytes({IAC, WONT, 1, IAC, WILL, 24});
    QTest::newRow("IAC IAC is one data byte 255")
        << QByteArray("a") + Bytes({IAC, IAC}) + "b" << QByteArray("a") + Bytes({255}) + "b" << QByteArray();
    QTest::newRow("two-byte commands are not shown")
        << QByteArray("a") + Bytes({IAC, 241}) + "b" + Bytes({IAC, 249}) + "c" + Bytes({IAC, 244}) + "d"
        << QByteArray("abcd") << QByteArray();
    QTest::newRow("IAC SE alone is not shown") << QByteArray("x") + Bytes({IAC, SE}) + "y" << QByteArray("xy")
                                               << QByteArray();
    QTest::newRow("CR LF is a line end") << QByteArray("one\r\ntwo\r\n") << QByteArray("one\ntwo\n") << QByteArray();
    QTest::newRow("CR NUL is a bare carriage return") << QByteArray("50%\r\0" "60%", 8) << QByteArray("50%\r60%")
                                                      << QByteArray();
    QTest::newRow("CR before text is kept") << QByteArray("a\rb") << QByteArray("a\rb") << QByteArray();
    QTest::newRow("CR CR LF keeps one carriage return") << QByteArray("\r\r\nx") << QByteArray("\r\nx")
                                                        << QByteArray();
    QTest::newRow("NUL bytes are not shown") << QByteArray("a\0b\0", 4) << QByteArray("ab") << QByteArray();
    QTest::newRow("IAC at the very end shows what came before") << QByteArray("x") + Bytes({IAC}) << QByteArray("x")
                                                                << QByteArray();
    QTest::newRow("SB without SE shows the text after its four bytes")
        << QByteArray("a") + Bytes({IAC, SB, 24, 1}) + "bc" << QByteArray("abc") << ansi;
    QTest::newRow("busybox telnetd greeting")
        << Bytes({IAC, DO, 1, IAC, DO, 31, IAC, WILL, 1, IAC, WILL, 3}) + "\r\r\nDebian GNU/Linux 12\r\n\rvm login: "
        << QByteArray("\r\nDebian GNU/Linux 12\n\rvm login: ")
        << Bytes({IAC, WONT, 1, IAC, WONT, 31, IAC, DONT, 1, IAC, DONT, 3});
    QTest::newRow("data bytes above 127 pass") << QByteArray("caf\xc3\xa9 \xe2\x86\x92")
                                               << QByteArray("caf\xc3\xa9 \xe2\x86\x92") << QByteArray();
}

// Every block is also cut in two at every position and fed byte by byte: the result
// must not depend on where the network split it.
void TestTelnetFilter::negotiation()
{
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, shown);
    QFETCH(QByteArray, replies);

    CFiltered whole = FilterInPieces({received});
    QCOMPARE(whole.shown, shown);
    QCOMPARE(whole.replies, replies);

    for (qsizetype cut = 1; cut < received.size(); ++cut) {
        CFiltered split = FilterInPieces({received.left(cut), received.mid(cut)});
        QVERIFY2(split.shown == shown, qPrintable(QStringLiteral("shown differs when cut at %1").arg(cut)));
        QVERIFY2(split.replies == replies, qPrintable(QStringLiteral("replies differ when cut at %1").arg(cut)));
    }
    QList<QByteArray> single;
    for (char c : received)
        single.append(QByteArray(1, c));
    CFiltered bytes = FilterInPieces(single);
    QCOMPARE(bytes.shown, shown);
    QCOMPARE(bytes.replies, replies);
}

void TestTelnetFilter::terminalText_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QByteArray>("shown");

    QTest::newRow("colours are removed") << QByteArray("\x1b[01;32mgreen\x1b[0m text") << QByteArray("green text");
    QTest::newRow("bracketed paste switches are removed")
        << QByteArray("\x1b[?2004h$ ls\n\x1b[?2004lfile\n") << QByteArray("$ ls\nfile\n");
    QTest::newRow("window title ended by BEL is removed")
        << QByteArray("\x1b]0;user@host: ~\x07prompt$ ") << QByteArray("prompt$ ");
    QTest::newRow("window title ended by ST is removed") << QByteArray("\x1b]2;title\x1b\\text") << QByteArray("text");
    QTest::newRow("character set selection is removed") << QByteArray("\x1b(Bplain\x1b)0") << QByteArray("plain");
    QTest::newRow("keypad modes are removed") << QByteArray("\x1b=x\x1b>y") << QByteArray("xy");
    QTest::newRow("cursor moves are removed") << QByteArray("a\x1b[2;5Hb\x1b[Kc") << QByteArray("abc");
    QTest::newRow("carriage return, backspace, bell and delete are dropped")
        << QByteArray("a\rb\bc\ad\x7f") << QByteArray("abcd");
    QTest::newRow("tabs and line ends are kept") << QByteArray("a\tb\nc\n") << QByteArray("a\tb\nc\n");
    QTest::newRow("UTF-8 text is kept") << QByteArray("caf\xc3\xa9 \xe2\x86\x92") << QByteArray("caf\xc3\xa9 \xe2\x86\x92");
    QTest::newRow("an unterminated title stops at the line end")
        << QByteArray("\x1b]0;title\nnext") << QByteArray("\nnext");
    QTest::newRow("an unterminated title gives way after 4 KB")
        << QByteArray("\x1b]") + QByteArray(5000, 'x') + "after" << QByteArray(904, 'x') + "after";
    QTest::newRow("a broken control sequence gives way to the line end")
        << QByteArray("\x1b[12\nabc") << QByteArray("\nabc");
    QTest::newRow("ESC at the very end shows what came before") << QByteArray("x\x1b") << QByteArray("x");
}

void TestTelnetFilter::terminalText()
{
    QFETCH(QByteArray, received);
    QFETCH(QByteArray, shown);

    QCOMPARE(CleanInPieces({received}), shown);
    for (qsizetype cut = 1; cut < received.size(); ++cut) {
        QVERIFY2(CleanInPieces({received.left(cut), received.mid(cut)}) == shown,
                 qPrintable(QStringLiteral("differs when cut at %1").arg(cut)));
    }
}

void TestTelnetFilter::textDecoding_data()
{
    QTest::addColumn<QByteArray>("received");
    QTest::addColumn<QString>("shown");
    QTest::newRow("ASCII") << QByteArray("plain text\n") << QStringLiteral("plain text\n");
    QTest::newRow("UTF-8 of two, three and four bytes") << QByteArray("caf\xc3\xa9 \xe2\x86\x92 \xf0\x9f\x90\xa6")
                                                         << QStringLiteral("caf\u00e9 \u2192 \U0001F426");
    QTest::newRow("Latin-1 text stays readable") << QByteArray("caf\xe9 na\xefve") << QStringLiteral("caf\u00e9 na\u00efve");
    QTest::newRow("byte 255 from IAC IAC") << QByteArray("a\xff" "b") << QStringLiteral("a\u00ffb");
    QTest::newRow("overlong form is not a character") << QByteArray("\xc0\xaf") << QStringLiteral("\u00c0\u00af");
    QTest::newRow("encoded surrogate is not a character")
        << QByteArray("\xed\xa0\x80") << QStringLiteral("\u00ed\u00a0\u0080");
    QTest::newRow("lead byte followed by text") << QByteArray("\xe2x") << QStringLiteral("\u00e2x");
    QTest::newRow("character cut off by the end of the connection")
        << QByteArray("ok \xe2\x86") << QStringLiteral("ok \u00e2\u0086");
}

void TestTelnetFilter::textDecoding()
{
    QFETCH(QByteArray, received);
    QFETCH(QString, shown);
    for (qsizetype cut = 0; cut < received.size(); ++cut) {
        CTextDecoder decoder;
        QString text = decoder.Decode(received.left(cut));
        text += decoder.Decode(received.mid(cut));
        text += decoder.Flush();
        QVERIFY2(text == shown, qPrintable(QStringLiteral("differs when cut at %1: %2").arg(cut).arg(text)));
    }
}

// Each row is a login of user "u" with password "p" followed by a queued "cd /x", then
// events: "text:..." (received), "timeout", "queue:LINE"; `sent` holds what goes out
// after the start and after each event.
void TestTelnetFilter::loginSequence_data()
{
    QTest::addColumn<QList<QByteArray>>("events");
    QTest::addColumn<QList<QByteArray>>("sent");

    QTest::newRow("password at its prompt, directory after the answer")
        << QList<QByteArray>{"text:u\n", "text:Password: ", "text:\n", "text:Linux vm\n$ "}
        << QList<QByteArray>{"u\n", "", "p\n", "", "cd /x\n"};
    QTest::newRow("prompt split across blocks")
        << QList<QByteArray>{"text:Pass", "text:word:", "text:$ "} << QList<QByteArray>{"u\n", "", "p\n", "cd /x\n"};
    QTest::newRow("a prompt in another language ends in a colon")
        << QList<QByteArray>{"text:Passwort: ", "text:Willkommen\n"} << QList<QByteArray>{"u\n", "p\n", "cd /x\n"};
    QTest::newRow("a late user-name prompt is not the password prompt")
        << QList<QByteArray>{"text:vm login: ", "text:u\nPassword:", "text:$ "}
        << QList<QByteArray>{"u\n", "", "p\n", "cd /x\n"};
    QTest::newRow("a server that never asks gets the rest after the timeouts")
        << QList<QByteArray>{"text:sh: u: not found\n$ ", "timeout", "timeout"}
        << QList<QByteArray>{"u\n", "", "p\n", "cd /x\n"};
    QTest::newRow("lines queued during the login follow the directory change")
        << QList<QByteArray>{"queue:ls", "text:Password:", "queue:pwd", "text:$ ", "queue:date"}
        << QList<QByteArray>{"u\n", "", "p\n", "", "cd /x\nls\npwd\n", "date\n"};
}

void TestTelnetFilter::loginSequence()
{
    QFETCH(QList<QByteArray>, events);
    QFETCH(QList<QByteArray>, sent);

    CLoginSequence login;
    QList<QByteArray> actual;
    actual << login.Start("u", "p");
    QVERIFY(login.Queue("cd /x").isEmpty());
    for (const QByteArray &event : events) {
        if (event.startsWith("text:"))
            actual << login.OnText(event.mid(5));
        else if (event.startsWith("queue:"))
            actual << login.Queue(event.mid(6));
        else
            actual << login.Timeout();
    }
    QCOMPARE(actual, sent);
    QVERIFY(!login.IsActive());
}

QTEST_APPLESS_MAIN(TestTelnetFilter)
#include "tst_telnetfilter.moc"
