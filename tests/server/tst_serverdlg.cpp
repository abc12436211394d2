#include "ScriptedServer.h"

#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "framework/CommandIds.h"
#include "server/ServerDlg.h"
#include "server/ServerSocket.h"
#include "server/ShellOutputPane.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QtTest>

// The remote shell window driven through its own widgets, against a server that
// records every byte.
class TestServerDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void layoutAndMenu();
    void createdHiddenWithFrame();
    void sendCommandClearsOutputAndKeepsList();
    void returnSendsCommand();
    void passwordLineIsKeptNowhere_data();
    void passwordLineIsKeptNowhere();
    void commandLongerThan200IsRefused();
    void loginThenDirectory_data();
    void loginThenDirectory();
    void runMenuLines_data();
    void runMenuLines();
    void cancelRequestSendsInterrupt();
    void disconnectShowsClosedText();
    void clearEmptiesOutput();
    void closeHidesAndKeepsConnection();
    void escapeClosesConnection_data();
    void escapeClosesConnection();
    void failuresAreSaid_data();
    void failuresAreSaid();
    void serverCloseIsSaid();
    void connectWhileConnected();
    void connectFollowsSettings();
    void outputAppendsAtEndWhateverSelected();
    void longLinesShownInPieces_data();
    void longLinesShownInPieces();
    void viewFollowsEndUnlessScrolledAway();
    void areaKeepsTheNewestText_data();
    void areaKeepsTheNewestText();
    void promptAfterAFloodIsShown();

private:
    void ConnectDlg();
    void Trigger(int nId);
    QString Output() const { return m_pDlg->OutputPane()->Text(); }

    CScriptedServer *m_pServer = nullptr;
    CServerDlg *m_pDlg = nullptr;
};

void TestServerDlg::init()
{
    g_settings = CSettings();
    m_pServer = new CScriptedServer;
    g_settings.SERVER_HOST = QStringLiteral("127.0.0.1");
    g_settings.SERVER_PORT_NUMBER = m_pServer->Port();
    m_pDlg = new CServerDlg(0, QString());
}

void TestServerDlg::cleanup()
{
    delete m_pDlg;
    delete m_pServer;
}

void TestServerDlg::Trigger(int nId)
{
    auto *action = m_pDlg->findChild<QAction *>(QStringLiteral("action_%1").arg(nId));
    QVERIFY2(action, qPrintable(QString::number(nId)));
    action->trigger();
}

void TestServerDlg::ConnectDlg()
{
    Trigger(Cmd::ID_SERVER_CONNECT);
    QTRY_COMPARE(m_pServer->Count(), 1);
    QTRY_VERIFY(m_pDlg->Socket()->IsConnected());
}

void TestServerDlg::layoutAndMenu()
{
    QCOMPARE(m_pDlg->windowTitle(), QStringLiteral("Run on Server"));
    QVERIFY(!m_pDlg->isModal());
    auto *send = m_pDlg->findChild<QPushButton *>(QStringLiteral("button_1079"));
    auto *cancel = m_pDlg->findChild<QPushButton *>(QStringLiteral("button_1080"));
    QVERIFY(send && cancel);
    QCOMPARE(send->text(), QStringLiteral("Send Command"));
    QCOMPARE(cancel->text(), QStringLiteral("Cancel Request"));
    QVERIFY(send->isDefault());
    QVERIFY(m_pDlg->findChild<QComboBox *>(QStringLiteral("combo_1027"))->isEditable());
    QVERIFY(m_pDlg->OutputPane()->isReadOnly());

    QStringList menus;
    for (QAction *a : m_pDlg->findChild<QMenuBar *>()->actions())
        menus << a->text();
    QCOMPARE(menus, (QStringList{"&Server", "&Run", "&Output"}));
    struct CItem
    {
        int nId;
        const char *pszText;
        const char *pszPrompt;
    };
    const CItem items[] = {
        {Cmd::ID_SERVER_CONNECT, "Co&nnect", "Connect to the server"},
        {Cmd::ID_SERVER_LOGIN, "&Login", "Logon to the server using configuration."},
        {Cmd::ID_SERVER_DISCONNECT, "&Disconnect", "Disconnect from the server."},
        {Cmd::ID_SERVER_CLOSE, "&Close", "Close connection and window."},
        {Cmd::ID_SERVER_RUN_PERL, "&Perl Script", "Runs a perl script"},
        {Cmd::ID_SERVER_RUN_JAVAC, "Java &Compiler", "Compile a java program"},
        {Cmd::ID_SERVER_RUN_JAVA, "&Java Interpreter", "Run a Java class"},
        {Cmd::ID_SERVER_OUTPUT_CLEAR, "&Clear", "Clear the output screen"}};
    for (const CItem &item : items) {
        auto *action = m_pDlg->findChild<QAction *>(QStringLiteral("action_%1").arg(item.nId));
        QVERIFY2(action, item.pszText);
        QCOMPARE(action->text(), QString::fromLatin1(item.pszText));
        QCOMPARE(action->statusTip(), QString::fromLatin1(item.pszPrompt));
    }
}

void TestServerDlg::createdHiddenWithFrame()
{
    g_settings.SERVER_HOST = QStringLiteral("shell.example");
    g_settings.SERVER_PORT_NUMBER = 2323;
    CMainFrame frame;
    CServerDlg *dlg = frame.ServerDlg();
    QVERIFY(dlg);
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->m_strHost, QStringLiteral("shell.example"));
    QCOMPARE(dlg->m_nPort, 2323);
    QVERIFY(frame.Action(Cmd::ID_TOOLS_SERVER_ACCESS)->isEnabled());
    frame.Action(Cmd::ID_TOOLS_SERVER_ACCESS)->trigger();
    QVERIFY(dlg->isVisible());
    dlg->close();
    QVERIFY(!dlg->isVisible());
    QCOMPARE(frame.ServerDlg(), dlg);
}

void TestServerDlg::sendCommandClearsOutputAndKeepsList()
{
    ConnectDlg();
    auto *combo = m_pDlg->findChild<QComboBox *>(QStringLiteral("combo_1027"));
    auto *send = m_pDlg->findChild<QPushButton *>(QStringLiteral("button_1079"));
    m_pServer->Send("earlier answer\r\n");
    QTRY_COMPARE(Output(), QStringLiteral("earlier answer\n"));

    for (const char *command : {"pwd", "ls -l", "pwd", "Make"}) {
        combo->setEditText(QString::fromLatin1(command));
        QTest::mouseClick(send, Qt::LeftButton);
        QCOMPARE(combo->currentText(), QString::fromLatin1(command));
        QCOMPARE(combo->lineEdit()->selectedText(), QString::fromLatin1(command));
        QCOMPARE(Output(), QString());
    }
    QTRY_COMPARE(m_pServer->Received(), QByteArray("pwd\nls -l\npwd\nMake\n"));
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    QCOMPARE(list, (QStringList{"ls -l", "Make", "pwd", "pwd"}));

    m_pServer->Send("answer\r\n");
    QTRY_COMPARE(Output(), QStringLiteral("answer\n"));
}

void TestServerDlg::returnSendsCommand()
{
    ConnectDlg();
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDlg));
    auto *combo = m_pDlg->findChild<QComboBox *>(QStringLiteral("combo_1027"));
    combo->setFocus();
    QTest::keyClicks(combo, QStringLiteral("echo hi"));
    QTest::keyClick(combo, Qt::Key_Return);
    QTRY_COMPARE(m_pServer->Received(), QByteArray("echo hi\n"));
    QVERIFY(m_pDlg->isVisible());
    QCOMPARE(combo->count(), 1);
    // The next command is typed over the last one.
    QTest::keyClicks(combo, QStringLiteral("pwd"));
    QTest::keyClick(combo, Qt::Key_Return);
    QTRY_COMPARE(m_pServer->Received(), QByteArray("echo hi\npwd\n"));
}

void TestServerDlg::passwordLineIsKeptNowhere_data()
{
    QTest::addColumn<QByteArray>("prompt");
    QTest::addColumn<bool>("secret");
    QTest::newRow("sudo") << QByteArray("[sudo] password for kestrel: ") << true;
    QTest::newRow("key passphrase, blanks after") << QByteArray("Enter passphrase for key '/home/k/.ssh/id_rsa':  ")
                                                  << true;
    QTest::newRow("shell prompt") << QByteArray("kestrel@host:~$ ") << false;
}

// A line typed while the server asks for a password is hidden as it is typed, sent,
// and then kept neither in the box nor in its list; other lines stay as always.
void TestServerDlg::passwordLineIsKeptNowhere()
{
    QFETCH(QByteArray, prompt);
    QFETCH(bool, secret);
    ConnectDlg();
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDlg));
    auto *combo = m_pDlg->findChild<QComboBox *>(QStringLiteral("combo_1027"));
    QLineEdit *edit = combo->lineEdit();
    combo->setFocus();
    QTest::keyClicks(combo, QStringLiteral("sudo -k ls"));
    QTest::keyClick(combo, Qt::Key_Return);
    QTRY_COMPARE(m_pServer->Received(), QByteArray("sudo -k ls\n"));
    m_pServer->ClearReceived();

    m_pServer->Send("earlier output\r\n" + prompt);
    QTRY_COMPARE(Output(), QString::fromLatin1("earlier output\n" + prompt));
    QTRY_COMPARE(edit->echoMode(), secret ? QLineEdit::Password : QLineEdit::Normal);
    // The command left selected in the box is no part of what is typed now.
    QCOMPARE(edit->text(), secret ? QString() : QStringLiteral("sudo -k ls"));
    if (secret) {
        // Nothing from the list is completed into a password.
        QTest::keyClicks(combo, QStringLiteral("su"));
        QCOMPARE(edit->text(), QStringLiteral("su"));
        edit->clear();
    }

    QTest::keyClicks(combo, QStringLiteral("s3cret pw"));
    QTest::keyClick(combo, Qt::Key_Return);
    QTRY_COMPARE(m_pServer->Received(), QByteArray("s3cret pw\n"));
    QStringList list;
    for (int i = 0; i < combo->count(); ++i)
        list << combo->itemText(i);
    if (secret) {
        QCOMPARE(list, QStringList{QStringLiteral("sudo -k ls")});
        QCOMPARE(edit->text(), QString());
        QCOMPARE(combo->currentText(), QString());
    } else {
        QCOMPARE(list, (QStringList{QStringLiteral("s3cret pw"), QStringLiteral("sudo -k ls")}));
        QCOMPARE(edit->selectedText(), QStringLiteral("s3cret pw"));
    }
    // Output after the prompt: what is typed shows again.
    m_pServer->Send("\r\nkestrel@host:~$ ");
    QTRY_VERIFY(Output().endsWith(QLatin1String("$ ")));
    QCOMPARE(edit->echoMode(), QLineEdit::Normal);
}

void TestServerDlg::commandLongerThan200IsRefused()
{
    ConnectDlg();
    auto *combo = m_pDlg->findChild<QComboBox *>(QStringLiteral("combo_1027"));
    // Typing stops at the limit the window set on the field.
    m_pDlg->show();
    combo->setFocus();
    QTest::keyClicks(combo, QString(210, QLatin1Char('a')));
    QCOMPARE(combo->currentText().size(), 200);
    m_pDlg->OnSendCommand();
    QTRY_COMPARE(m_pServer->Received(), QByteArray(200, 'a') + '\n');
}

void TestServerDlg::loginThenDirectory_data()
{
    QTest::addColumn<QString>("directory");
    QTest::addColumn<QByteArray>("cdLine");
    QTest::newRow("remote directory") << QStringLiteral("/srv/www") << QByteArray("cd /srv/www\n");
    QTest::newRow("empty remote directory gives cd alone") << QString() << QByteArray("cd \n");
}

void TestServerDlg::loginThenDirectory()
{
    QFETCH(QString, directory);
    QFETCH(QByteArray, cdLine);
    g_settings.SERVER_USER = QStringLiteral("alice");
    g_settings.SERVER_PASS = QStringLiteral("pa ss");
    g_settings.REMOTE_DIRECTORY = directory;
    ConnectDlg();
    m_pServer->Send("login: ");
    Trigger(Cmd::ID_SERVER_LOGIN);
    QTRY_COMPARE(m_pServer->Received(), QByteArray("alice\n"));
    m_pServer->Send("alice\r\nPassword: ");
    QTRY_COMPARE(m_pServer->Received(), QByteArray("alice\npa ss\n"));
    m_pServer->Send("\r\nLast login: today\r\n$ ");
    QTRY_COMPARE(m_pServer->Received(), QByteArray("alice\npa ss\n") + cdLine);
}

void TestServerDlg::runMenuLines_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("Perl Script") << int(Cmd::ID_SERVER_RUN_PERL) << QByteArray("/usr/bin/perl -w \n");
    QTest::newRow("Java Compiler") << int(Cmd::ID_SERVER_RUN_JAVAC) << QByteArray("javac -g \n");
    QTest::newRow("Java Interpreter") << int(Cmd::ID_SERVER_RUN_JAVA) << QByteArray("java  \n");
}

void TestServerDlg::runMenuLines()
{
    QFETCH(int, id);
    QFETCH(QByteArray, line);
    g_settings.REMOTE_PERL_EXE = QStringLiteral("/usr/bin/perl");
    g_settings.REMOTE_PERL_PRM = QStringLiteral("-w");
    g_settings.REMOTE_JAVAC_EXE = QStringLiteral("javac");
    g_settings.REMOTE_JAVAC_PRM = QStringLiteral("-g");
    g_settings.REMOTE_JAVA_EXE = QStringLiteral("java");
    ConnectDlg();
    Trigger(id);
    QTRY_COMPARE(m_pServer->Received(), line);
}

void TestServerDlg::cancelRequestSendsInterrupt()
{
    ConnectDlg();
    QTest::mouseClick(m_pDlg->findChild<QPushButton *>(QStringLiteral("button_1080")), Qt::LeftButton);
    QTRY_COMPARE(m_pServer->Received(), QByteArray("\xff\xf4"));
}

void TestServerDlg::disconnectShowsClosedText()
{
    ConnectDlg();
    m_pServer->Send("some output\r\n");
    QTRY_COMPARE(Output(), QStringLiteral("some output\n"));
    Trigger(Cmd::ID_SERVER_DISCONNECT);
    QCOMPARE(Output(), QStringLiteral("\nServer closed the connection."));
    QVERIFY(!m_pDlg->Socket()->IsOpen());
    QTRY_VERIFY(!m_pServer->Connection() || m_pServer->Connection()->state() == QAbstractSocket::UnconnectedState);
}

void TestServerDlg::clearEmptiesOutput()
{
    ConnectDlg();
    m_pServer->Send("text\r\n");
    QTRY_COMPARE(Output(), QStringLiteral("text\n"));
    Trigger(Cmd::ID_SERVER_OUTPUT_CLEAR);
    QCOMPARE(Output(), QString());
    QVERIFY(m_pDlg->Socket()->IsConnected());
}

void TestServerDlg::closeHidesAndKeepsConnection()
{
    ConnectDlg();
    for (int round = 0; round < 2; ++round) {
        m_pDlg->show();
        QVERIFY(m_pDlg->isVisible());
        if (round == 0)
            Trigger(Cmd::ID_SERVER_CLOSE);
        else
            m_pDlg->close();
        QVERIFY(!m_pDlg->isVisible());
        QVERIFY(m_pDlg->Socket()->IsConnected());
    }
    m_pDlg->SendCommand(QStringLiteral("still here"));
    QTRY_COMPARE(m_pServer->Received(), QByteArray("still here\n"));
}

void TestServerDlg::escapeClosesConnection_data()
{
    QTest::addColumn<QString>("control");
    QTest::newRow("from the window") << "";
    QTest::newRow("from the command box") << "combo_1027";
    QTest::newRow("from the output area") << "edit_1025";
}

void TestServerDlg::escapeClosesConnection()
{
    QFETCH(QString, control);
    ConnectDlg();
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDlg));
    QWidget *target = control.isEmpty() ? m_pDlg : m_pDlg->findChild<QWidget *>(control);
    QVERIFY(target);
    target->setFocus();
    QTest::keyClick(target, Qt::Key_Escape);
    QVERIFY(!m_pDlg->isVisible());
    QVERIFY(!m_pDlg->Socket()->IsOpen());
}

void TestServerDlg::failuresAreSaid_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("said");
    const quint16 closedPort = CScriptedServer().Port();
    QTest::newRow("refused") << QStringLiteral("127.0.0.1") << int(closedPort)
                             << QStringLiteral("Could not connect to 127.0.0.1 port %1: Connection refused").arg(closedPort);
    QTest::newRow("unknown host") << QStringLiteral("no-such-host.invalid") << 23
                                  << QStringLiteral("Could not connect to no-such-host.invalid port 23: ");
    QTest::newRow("port 0 of an empty configuration") << QString() << 0 << QStringLiteral("Could not connect to  port 0: ");
}

void TestServerDlg::failuresAreSaid()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, said);
    g_settings.SERVER_HOST = host;
    g_settings.SERVER_PORT_NUMBER = port;
    Trigger(Cmd::ID_SERVER_CONNECT);
    QTRY_VERIFY_WITH_TIMEOUT(Output().contains(QLatin1String("Could not connect")), 20000);
    QVERIFY2(Output().startsWith(said), qPrintable(Output()));
    QVERIFY2(Output().size() > QStringLiteral("Could not connect to %1 port %2: ").arg(host).arg(port).size() + 1,
             "the reason follows");

    // A line typed with no connection is said not to have gone.
    m_pDlg->SendCommand(QStringLiteral("ls"));
    QVERIFY2(Output().contains(QLatin1String("Not connected to the server: \"ls\" was not sent.")), qPrintable(Output()));
}

void TestServerDlg::serverCloseIsSaid()
{
    ConnectDlg();
    m_pServer->Send("logout\r\n");
    m_pServer->Connection()->disconnectFromHost();
    QTRY_COMPARE(Output(), QStringLiteral("logout\nServer closed the connection.\n"));
    QVERIFY(!m_pDlg->Socket()->IsOpen());
}

void TestServerDlg::connectWhileConnected()
{
    ConnectDlg();
    QPointer<QTcpSocket> first = m_pServer->Connection(0);
    Trigger(Cmd::ID_SERVER_CONNECT);
    QTRY_COMPARE(m_pServer->Count(), 2);
    QTRY_VERIFY(!first || first->state() == QAbstractSocket::UnconnectedState);
    QTRY_VERIFY(m_pDlg->Socket()->IsConnected());
    m_pDlg->SendCommand(QStringLiteral("on the new one"));
    QTRY_COMPARE(m_pServer->Received(1), QByteArray("on the new one\n"));
    QVERIFY(!Output().contains(QLatin1String("closed")));
}

void TestServerDlg::connectFollowsSettings()
{
    m_pDlg->m_strHost = QStringLiteral("old.example");
    m_pDlg->m_nPort = 1;
    ConnectDlg();
    QCOMPARE(m_pDlg->m_strHost, QStringLiteral("127.0.0.1"));
    QCOMPARE(m_pDlg->m_nPort, int(m_pServer->Port()));
}

void TestServerDlg::outputAppendsAtEndWhateverSelected()
{
    ConnectDlg();
    m_pServer->Send("first line\r\n");
    QTRY_COMPARE(Output(), QStringLiteral("first line\n"));
    m_pDlg->OutputPane()->setSelection(0, 2, 0, 5);
    QVERIFY(m_pDlg->OutputPane()->hasSelectedText());
    m_pServer->Send("second\r\n");
    QTRY_COMPARE(Output(), QStringLiteral("first line\nsecond\n"));
}

void TestServerDlg::longLinesShownInPieces_data()
{
    const int max = int(CShellOutputPane::kMaxLineChars);
    QTest::addColumn<QStringList>("appends");
    QTest::addColumn<QList<int>>("lineLengths");
    QTest::newRow("short lines stay as they are") << QStringList{"ab\ncd\n", "ef"} << QList<int>{2, 2, 2};
    QTest::newRow("a line at the limit stays whole") << QStringList{QString(max, QLatin1Char('x')) + "\n"}
                                                     << QList<int>{max, 0};
    QTest::newRow("a line over the limit is broken")
        << QStringList{QString(max * 2 + 10, QLatin1Char('x'))} << QList<int>{max, max, 10};
    QTest::newRow("a line grown by several pieces is broken at the limit")
        << QStringList{QString(max - 5, QLatin1Char('x')), QString(10, QLatin1Char('y')) + "\nz"}
        << QList<int>{max, 5, 1};
    QTest::newRow("a character of two units at the limit goes whole to the next line")
        << QStringList{QString(max - 1, QLatin1Char('x')) + QStringLiteral("\U0001F600z")} << QList<int>{max - 1, 3};
    QTest::newRow("the same when it comes in the next piece")
        << QStringList{QString(max - 1, QLatin1Char('x')), QStringLiteral("\U0001F600z")} << QList<int>{max - 1, 3};
    QTest::newRow("a break at the very start of a piece")
        << QStringList{QString(max, QLatin1Char('x')), QStringLiteral("yz")} << QList<int>{max, 2};
    QTest::newRow("the count starts again after a line end")
        << QStringList{QString(max - 1, QLatin1Char('x')) + "\n" + QString(max - 1, QLatin1Char('x'))}
        << QList<int>{max - 1, max - 1};
}

void TestServerDlg::longLinesShownInPieces()
{
    QFETCH(QStringList, appends);
    QFETCH(QList<int>, lineLengths);
    CShellOutputPane *pane = m_pDlg->OutputPane();
    for (const QString &text : appends)
        pane->AppendText(text);
    const QString shown = pane->Text();
    QList<int> lengths;
    for (const QString &line : shown.split(QLatin1Char('\n')))
        lengths << int(line.size());
    QCOMPARE(lengths, lineLengths);
    // Every received character is shown.
    QCOMPARE(QString(shown).remove(QLatin1Char('\n')), appends.join(QString()).remove(QLatin1Char('\n')));
}

void TestServerDlg::viewFollowsEndUnlessScrolledAway()
{
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDlg));
    CShellOutputPane *pane = m_pDlg->OutputPane();
    auto fill = [pane](int from) {
        for (int i = from; i < from + 300; ++i)
            pane->AppendText(QStringLiteral("line %1\n").arg(i));
        pane->Flush();
    };
    fill(0);
    QScrollBar *bar = pane->verticalScrollBar();
    QVERIFY(bar->maximum() > 0);
    QCOMPARE(bar->value(), bar->maximum());

    bar->setValue(10);
    fill(300);
    QCOMPARE(bar->value(), 10);

    bar->setValue(bar->maximum());
    fill(600);
    QCOMPARE(bar->value(), bar->maximum());
    QVERIFY(pane->Text().endsWith(QLatin1String("line 899\n")));
}

void TestServerDlg::areaKeepsTheNewestText_data()
{
    QTest::addColumn<int>("maxBytes");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QStringList>("appends");
    QTest::addColumn<bool>("shownBetween");  // each append inserted before the next one
    QTest::addColumn<bool>("fromALineStart");
    QStringList lines;
    for (int i = 0; i < 400; ++i)
        lines << QStringLiteral("line %1 of the output\n").arg(i);
    QStringList accented;
    for (int i = 0; i < 300; ++i)
        accented << QStringLiteral("caf\u00e9 \u65e5\u672c \U0001F600 %1\n").arg(i);
    QTest::newRow("lines shown one by one") << 1000 << 50000 << lines << true << true;
    QTest::newRow("a flood that arrives before a display") << 1000 << 50000 << lines << false << true;
    QTest::newRow("a flood after text already shown")
        << 1000 << 50000
        << (QStringList{lines.mid(0, 20).join(QString())} + QStringList{lines.mid(20).join(QString())}) << true
        << true;
    QTest::newRow("characters of several bytes shown one by one") << 700 << 50000 << accented << true << true;
    QTest::newRow("characters of several bytes in a flood") << 700 << 50000 << accented << false << true;
    QTest::newRow("a line longer than what is kept")
        << 900 << 50000 << QStringList{QString(600, QChar(0x00e9)) + QStringLiteral("\U0001F600end")} << true
        << false;
    QTest::newRow("text under the limit is all kept") << 100000 << 50000 << lines.mid(0, 10) << true << true;
    QTest::newRow("short lines past the line limit, shown one by one") << 100000 << 30 << lines << true << true;
    QTest::newRow("short lines past the line limit in a flood")
        << 100000 << 30 << QStringList{lines.join(QString())} << false << true;
}

// Past its limit of bytes or of lines the area drops its oldest text, down to whole
// lines where it can, says at the top how many bytes went, and keeps every character
// after the cut.
void TestServerDlg::areaKeepsTheNewestText()
{
    QFETCH(int, maxBytes);
    QFETCH(int, maxLines);
    QFETCH(QStringList, appends);
    QFETCH(bool, shownBetween);
    QFETCH(bool, fromALineStart);
    CShellOutputPane *pane = m_pDlg->OutputPane();
    pane->SetMaxBytes(maxBytes);
    pane->SetMaxLines(maxLines);
    const QString all = appends.join(QString());
    for (const QString &text : appends) {
        pane->AppendText(text);
        if (shownBetween)
            pane->Flush();
    }
    QString shown = pane->Text();
    QString kept = shown;
    const QRegularExpression note(QStringLiteral("^\\[(\\d+) bytes of earlier output were removed from this pane to "
                                                 "limit its memory\\.\\]\\n"));
    const QRegularExpressionMatch match = note.match(shown);
    if (all.toUtf8().size() <= maxBytes && all.count(QLatin1Char('\n')) <= maxLines) {
        QVERIFY(!match.hasMatch());
        QCOMPARE(pane->DroppedBytes(), 0);
    } else {
        QVERIFY2(match.hasMatch(), qPrintable(shown.left(200)));
        kept = shown.mid(match.capturedLength());
        QCOMPARE(match.captured(1).toLongLong(), pane->DroppedBytes());
        QCOMPARE(pane->DroppedBytes(), all.toUtf8().size() - kept.toUtf8().size());
    }
    QVERIFY2(kept.toUtf8().size() <= maxBytes, qPrintable(QString::number(kept.toUtf8().size())));
    QVERIFY2(kept.count(QLatin1Char('\n')) <= maxLines, qPrintable(QString::number(kept.count(QLatin1Char('\n')))));
    QVERIFY(!kept.isEmpty());
    QVERIFY2(all.endsWith(kept), qPrintable(kept.left(200)));
    QVERIFY(!kept.contains(QChar::ReplacementCharacter));
    if (fromALineStart)
        QVERIFY2(kept.size() == all.size() || all.at(all.size() - kept.size() - 1) == QLatin1Char('\n'),
                 qPrintable(kept.left(80)));
    // Clear starts again with an empty area and nothing said dropped.
    Trigger(Cmd::ID_SERVER_OUTPUT_CLEAR);
    QCOMPARE(pane->Text(), QString());
    QCOMPARE(pane->DroppedBytes(), 0);
}

// A server floods the window, then stops and shows its prompt: the prompt appears
// without anyone asking the area for its text, and the area has kept its limit.
void TestServerDlg::promptAfterAFloodIsShown()
{
    m_pDlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_pDlg));
    ConnectDlg();
    CShellOutputPane *pane = m_pDlg->OutputPane();
    const QByteArray block = QByteArray("y\r\n").repeated(64 * 1024);
    const int nBlocks = 96;
    int nSent = 0;
    // Written as the connection takes it, as a flooding server would.
    QTcpSocket *connection = m_pServer->Connection();
    auto feed = [&] {
        while (nSent < nBlocks && connection->bytesToWrite() < 4 * block.size()) {
            connection->write(block);
            ++nSent;
        }
        if (nSent == nBlocks && connection->bytesToWrite() == 0)
            return true;
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(feed(), 120000);
    m_pServer->Send("^C\r\nuser@host:~$ ");
    QTRY_VERIFY_WITH_TIMEOUT(pane->ShownText().endsWith(QLatin1String("y\n^C\nuser@host:~$ ")), 60000);
    QVERIFY(!pane->HasPendingText());
    const QByteArray shown = pane->ShownText().toUtf8();
    QVERIFY(shown.startsWith("["));
    QVERIFY2(shown.size() <= CShellOutputPane::kMaxBytes + 100, QByteArray::number(shown.size()).constData());
    QVERIFY(shown.count('\n') <= CShellOutputPane::kMaxLines + 1);
    QVERIFY(pane->DroppedBytes() > 0);
    // Every received byte but the CRs is either shown or counted as dropped.
    const qint64 received = qint64(nBlocks) * block.size() / 3 * 2 + QByteArray("^C\nuser@host:~$ ").size();
    QCOMPARE(pane->DroppedBytes() + shown.size() - (shown.indexOf('\n') + 1), received);
}

int main(int argc, char **argv)
{
    CKestrelApp app(argc, argv);
    TestServerDlg test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_serverdlg.moc"
