#include "ScriptedServer.h"

#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/Settings.h"
#include "framework/CommandIds.h"
#include "server/RunOnServer.h"
#include "server/ServerDlg.h"
#include "server/ServerSocket.h"
#include "server/ShellOutputPane.h"
#include "server/ShellQuote.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// Script > Run on Server in both forms: the user's telnet client started with the
// server's host and port, or the script's line sent through the remote shell window.
class TestRunOnServer : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void chooseForm_data();
    void chooseForm();
    void scriptName_data();
    void scriptName();
    void shellQuote_data();
    void shellQuote();
    void clientStartedWithHostAndPort_data();
    void clientStartedWithHostAndPort();
    void clientThatCannotStart_data();
    void clientThatCannotStart();
    void lineSentThroughWindow_data();
    void lineSentThroughWindow();
    void windowShownWithoutConnection();

private:
    QString ClientCopy(const QString &strFolderName);
    QTemporaryDir m_dir;
};

void TestRunOnServer::init()
{
    g_settings = CSettings();
    QVERIFY(m_dir.isValid());
}

void TestRunOnServer::chooseForm_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("client");
    QTest::addColumn<bool>("usesClient");
    QTest::newRow("telnet with a client") << "telnet" << "/usr/bin/telnet" << true;
    QTest::newRow("Telnet with a capital T uses the window") << "Telnet" << "/usr/bin/telnet" << false;
    QTest::newRow("telnet without a client uses the window") << "telnet" << "" << false;
    QTest::newRow("wrenshell uses the window") << "wrenshell" << "/usr/bin/telnet" << false;
    QTest::newRow("other uses the window") << "other" << "/usr/bin/telnet" << false;
    QTest::newRow("no type uses the window") << "" << "/usr/bin/telnet" << false;
}

void TestRunOnServer::chooseForm()
{
    QFETCH(QString, type);
    QFETCH(QString, client);
    QFETCH(bool, usesClient);
    CSettings settings;
    settings.SERVER_TYPE = type;
    settings.SERVER_CLIENT_EXEPATH = client;
    QCOMPARE(CRunOnServer::UsesClient(settings), usesClient);
}

void TestRunOnServer::scriptName_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("line");
    QTest::newRow("name without its folder") << "/home/ann/scripts/report.pl" << "/usr/bin/perl report.pl";
    QTest::newRow("a name with a blank is quoted") << "/home/ann/my scripts/a b.pl" << "/usr/bin/perl 'a b.pl'";
    QTest::newRow("a blank only in the folder needs no quotes") << "/home/ann/my scripts/ab.pl"
                                                                << "/usr/bin/perl ab.pl";
    QTest::newRow("a bare name") << "report.pl" << "/usr/bin/perl report.pl";
    QTest::newRow("never saved: interpreter and a blank") << "" << "/usr/bin/perl ";
}

void TestRunOnServer::scriptName()
{
    QFETCH(QString, path);
    QFETCH(QString, line);
    CSettings settings;
    settings.REMOTE_PERL_EXE = QStringLiteral("/usr/bin/perl");
    QCOMPARE(CRunOnServer::ServerCommand(settings, path), line);
}

void TestRunOnServer::shellQuote_data()
{
    QTest::addColumn<QString>("word");
    QTest::addColumn<QString>("quoted");
    QTest::newRow("plain name as it is") << "report.pl" << "report.pl";
    QTest::newRow("every plain punctuation") << "a_b-c+d,e:f=g@h%i/j.pl" << "a_b-c+d,e:f=g@h%i/j.pl";
    QTest::newRow("letters beyond ASCII as they are") << QStringLiteral("caf\u00e9-\u65e5\u672c.pl")
                                                      << QStringLiteral("caf\u00e9-\u65e5\u672c.pl");
    QTest::newRow("empty stays empty") << "" << "";
    QTest::newRow("blank") << "my script.pl" << "'my script.pl'";
    QTest::newRow("tab") << "a\tb.pl" << "'a\tb.pl'";
    QTest::newRow("line feed") << "a\nb.pl" << "'a\nb.pl'";
    QTest::newRow("single quote") << "it's.pl" << "'it'\\''s.pl'";
    QTest::newRow("only a single quote") << "'" << "''\\'''";
    QTest::newRow("double quote") << "say \"hi\".pl" << "'say \"hi\".pl'";
    QTest::newRow("dollar and variable") << "$HOME.pl" << "'$HOME.pl'";
    QTest::newRow("command substitution") << "$(rm -rf x).pl" << "'$(rm -rf x).pl'";
    QTest::newRow("backquote") << "`id`.pl" << "'`id`.pl'";
    QTest::newRow("backslash") << "a\\b.pl" << "'a\\b.pl'";
    QTest::newRow("command separators") << "a;b&c|d.pl" << "'a;b&c|d.pl'";
    QTest::newRow("redirections") << "a<b>c.pl" << "'a<b>c.pl'";
    QTest::newRow("subshell parentheses") << "(a).pl" << "'(a).pl'";
    QTest::newRow("glob characters") << "*?[a].pl" << "'*?[a].pl'";
    QTest::newRow("comment at the start") << "#1.pl" << "'#1.pl'";
    QTest::newRow("tilde at the start") << "~x.pl" << "'~x.pl'";
    QTest::newRow("history and braces") << "!a{b,c}.pl" << "'!a{b,c}.pl'";
    QTest::newRow("caret") << "a^b.pl" << "'a^b.pl'";
    QTest::newRow("leading dash is no option") << "-e.pl" << "./-e.pl";
    QTest::newRow("leading dash and a blank") << "-e x.pl" << "'./-e x.pl'";
    QTest::newRow("dash inside is plain") << "a-e.pl" << "a-e.pl";
    QTest::newRow("control character") << "a\x03" "b.pl" << "'a'\"$(printf '\\003')\"'b.pl'";
    QTest::newRow("carriage return") << "a\rb.pl" << "'a'\"$(printf '\\015')\"'b.pl'";
    QTest::newRow("no-break space") << QStringLiteral("a\u00a0b.pl") << QStringLiteral("'a\u00a0b.pl'");
}

// What real shells make of the quoted word must be the word itself.
void TestRunOnServer::shellQuote()
{
    QFETCH(QString, word);
    QFETCH(QString, quoted);
    QCOMPARE(CShellQuote::Word(word), quoted);
    QCOMPARE(CShellQuote::IsPlain(word), quoted == word);
    if (word.isEmpty())
        return;
    // A leading dash is kept from the program by a "./" that names the same file.
    const QString expected = word.startsWith(QLatin1Char('-')) ? QStringLiteral("./") + word : word;
    const QList<QStringList> shells = {{QStringLiteral("/bin/sh")},
                                       {QStringLiteral("/bin/bash")},
                                       {QStringLiteral("busybox"), QStringLiteral("sh")}};
    int nRun = 0;
    for (const QStringList &shell : shells) {
        if (QStandardPaths::findExecutable(shell.first()).isEmpty())
            continue;
        QProcess process;
        process.start(shell.first(), shell.mid(1) + QStringList{QStringLiteral("-c"), QStringLiteral("printf '%s' ") + quoted});
        QVERIFY2(process.waitForFinished(10000), qPrintable(shell.join(QLatin1Char(' '))));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()), expected);
        ++nRun;
    }
    QVERIFY(nRun > 0);
}

QString TestRunOnServer::ClientCopy(const QString &strFolderName)
{
    QDir(m_dir.path()).mkpath(strFolderName);
    const QString path = m_dir.filePath(strFolderName + QStringLiteral("/record args.sh"));
    QFile::remove(path);
    if (!QFile::copy(QStringLiteral(KESTREL_FIXTURES_DIR "/record-args.sh"), path))
        return QString();
    QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
    return path;
}

void TestRunOnServer::clientStartedWithHostAndPort_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("recorded");
    QTest::newRow("host and port 23") << "h" << 23 << "h\n23\n";
    QTest::newRow("empty host stays an argument") << "" << 0 << "\n0\n";
    QTest::newRow("host with a blank is one argument") << "a host; rm -rf x" << 2323 << "a host; rm -rf x\n2323\n";
}

// Run on Server through the main frame, as the menu does, with the client in a folder
// whose name has a blank.
void TestRunOnServer::clientStartedWithHostAndPort()
{
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(QString, recorded);
    const QString client = ClientCopy(QStringLiteral("telnet client"));
    QVERIFY(!client.isEmpty());
    const QString record = m_dir.filePath(QStringLiteral("args.txt"));
    QFile::remove(record);
    qputenv("KESTREL_RECORD_ARGS", record.toLocal8Bit());

    g_settings.SERVER_TYPE = QStringLiteral("telnet");
    g_settings.SERVER_CLIENT_EXEPATH = client;
    g_settings.SERVER_HOST = host;
    g_settings.SERVER_PORT_NUMBER = port;
    CMainFrame frame;
    frame.GetDocument()->SetPathName(QStringLiteral("/tmp/script.pl"));
    QVERIFY(frame.RouteCommand(Cmd::ID_SCRIPT_RUN_ON_SERVER));

    QTRY_VERIFY(QFile::exists(record));
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(QString::fromLocal8Bit(file.readAll()), recorded);
    // The client form leaves the window alone.
    QVERIFY(!frame.ServerDlg()->isVisible());
    QVERIFY(!frame.ServerDlg()->Socket()->IsOpen());
}

void TestRunOnServer::clientThatCannotStart_data()
{
    QTest::addColumn<QString>("client");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << "/no/such/telnet" << "The file does not exist.";
    QTest::newRow("not executable") << QString(KESTREL_FIXTURES_DIR "/../server/CMakeLists.txt")
                                    << "The file is not executable.";
}

void TestRunOnServer::clientThatCannotStart()
{
    QFETCH(QString, client);
    QFETCH(QString, reason);
    CSettings settings;
    settings.SERVER_TYPE = QStringLiteral("telnet");
    settings.SERVER_CLIENT_EXEPATH = client;
    QString error;
    QVERIFY(!CRunOnServer::Run(settings, QStringLiteral("/tmp/x.pl"), nullptr, &error));
    QCOMPARE(error, QStringLiteral("Could not run %1\n%2").arg(client, reason));
}

void TestRunOnServer::lineSentThroughWindow_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("client");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("wrenshell") << "wrenshell" << "/usr/bin/telnet" << "/home/ann/report.pl"
                               << QByteArray("perl report.pl\n");
    QTest::newRow("Telnet with a capital T") << "Telnet" << "/usr/bin/telnet" << "/home/ann/report.pl"
                                             << QByteArray("perl report.pl\n");
    QTest::newRow("telnet without a client") << "telnet" << "" << "/x/y.pl" << QByteArray("perl y.pl\n");
    QTest::newRow("never saved") << "other" << "" << "" << QByteArray("perl \n");
    QTest::newRow("a name with a blank, quoted") << "wrenshell" << "" << "/home/ann/my script.pl"
                                                 << QByteArray("perl 'my script.pl'\n");
    QTest::newRow("a name with a quote and a dollar") << "wrenshell" << "" << "/home/ann/it's $5.pl"
                                                      << QByteArray("perl 'it'\\''s $5.pl'\n");
}

void TestRunOnServer::lineSentThroughWindow()
{
    QFETCH(QString, type);
    QFETCH(QString, client);
    QFETCH(QString, path);
    QFETCH(QByteArray, line);
    CScriptedServer server;
    g_settings.SERVER_TYPE = type;
    g_settings.SERVER_CLIENT_EXEPATH = client;
    g_settings.SERVER_HOST = QStringLiteral("127.0.0.1");
    g_settings.SERVER_PORT_NUMBER = server.Port();
    g_settings.REMOTE_PERL_EXE = QStringLiteral("perl");
    CMainFrame frame;
    CServerDlg *dlg = frame.ServerDlg();
    dlg->OnConnect();
    QTRY_VERIFY(dlg->Socket()->IsConnected());
    dlg->hide();

    // The window takes the server of the settings, for its next Connect.
    g_settings.SERVER_HOST = QStringLiteral("next.example");
    g_settings.SERVER_PORT_NUMBER = 2424;
    frame.GetDocument()->SetPathName(path);
    QVERIFY(frame.RouteCommand(Cmd::ID_SCRIPT_RUN_ON_SERVER));
    QVERIFY(dlg->isVisible());
    QCOMPARE(dlg->m_strHost, QStringLiteral("next.example"));
    QCOMPARE(dlg->m_nPort, 2424);
    QTRY_COMPARE(server.Received(), line);
}

void TestRunOnServer::windowShownWithoutConnection()
{
    g_settings.SERVER_TYPE = QStringLiteral("wrenshell");
    g_settings.REMOTE_PERL_EXE = QStringLiteral("perl");
    CMainFrame frame;
    frame.GetDocument()->SetPathName(QStringLiteral("/a/run.pl"));
    QVERIFY(frame.RouteCommand(Cmd::ID_SCRIPT_RUN_ON_SERVER));
    QVERIFY(frame.ServerDlg()->isVisible());
    // The line could not go anywhere, and the window says so.
    QCOMPARE(frame.ServerDlg()->OutputPane()->Text(),
             QStringLiteral("Not connected to the server: \"perl run.pl\" was not sent.\n"));
}

int main(int argc, char **argv)
{
    CKestrelApp app(argc, argv);
    TestRunOnServer test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_runonserver.moc"
