#include "OutputWindowWatch.h"
#include "app/Settings.h"
#include "framework/CommandIds.h"
#include "run/CgiEnvironment.h"
#include "debug/DebugPanel.h"
#include "run/OutputPane.h"
#include "run/OutputWindowDlg.h"
#include "run/RunCommandLine.h"
#include "run/RunCommands.h"
#include "debug/DebugCommands.h"
#include "debug/DebugRunHook.h"

#include "FixtureServer.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(CRunCommandLine::Kind)

namespace {

using Vars = QMap<QString, QString>;

// Collects the standard output of the run whose window opens next, once the run is
// over or its output ends with "END\n" (the debugger waits for a command after the
// program), and closes the window. The watch ends when the caller lets go of `out`.
void CollectOutput(std::shared_ptr<QByteArray> out)
{
    QTimer::singleShot(20, [out] {
        if (out.use_count() == 1)
            return;
        COutputWindowDlg *wnd = OpenOutputWindow();
        if (!wnd) {
            CollectOutput(out);
            return;
        }
        // A debug run stops at the first statement; the debugger's commands come
        // through its window, its inputs are the script's.
        if (CDebugPanel *panel = CDebugRunHook::PanelOf(wnd)) {
            QAction *proceed = panel->findChild<QAction *>(QStringLiteral("action_%1").arg(Cmd::ID_DEBUG_CONTINUE));
            QTRY_VERIFY_WITH_TIMEOUT(proceed->isEnabled() || wnd->IsRunOver(), 60000);
            panel->OnContinue();
        }
        QTRY_VERIFY_WITH_TIMEOUT(wnd->IsRunOver() || wnd->StdOutPane()->TextBytes().endsWith("END\n"), 60000);
        *out = wnd->StdOutPane()->TextBytes();
        wnd->OnClose();
    });
}

// Sets variables of the IDE's own environment for as long as it lives.
class CEnvironmentScope
{
public:
    explicit CEnvironmentScope(const Vars &vars)
    {
        for (auto it = vars.cbegin(); it != vars.cend(); ++it) {
            QByteArray name = it.key().toLatin1();
            m_saved.append({name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()});
            m_wasSet.append(qEnvironmentVariableIsSet(name));
            qputenv(name, it.value().toUtf8());
        }
    }
    ~CEnvironmentScope()
    {
        for (int i = 0; i < m_saved.size(); ++i) {
            if (m_wasSet[i])
                qputenv(m_saved[i].first, m_saved[i].second);
            else
                qunsetenv(m_saved[i].first);
        }
    }

private:
    QList<QPair<QByteArray, QByteArray>> m_saved;
    QList<bool> m_wasSet;
};

// "NAME=value" lines, one a line, as the environment script prints them.
Vars ParseVars(const QByteArray &text)
{
    Vars vars;
    for (const QByteArray &line : text.split('\n')) {
        int eq = line.indexOf('=');
        if (eq > 0)
            vars.insert(QString::fromUtf8(line.left(eq)), QString::fromUtf8(line.mid(eq + 1)));
    }
    return vars;
}

Vars VarsOf(const QStringList &entries)
{
    Vars vars;
    for (const QString &e : entries)
        vars.insert(e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1));
    return vars;
}

QList<CCgiEnvironment::NameValue> NameValues(const QStringList &entries)
{
    QList<CCgiEnvironment::NameValue> list;
    for (const QString &e : entries)
        list.append({e.section(QLatin1Char('='), 0, 0), e.section(QLatin1Char('='), 1)});
    return list;
}

// Splits a CGI response into its header block and its body.
QPair<QByteArray, QByteArray> SplitResponse(const QByteArray &response)
{
    int end = response.indexOf("\r\n\r\n");
    if (end < 0)
        return {response, QByteArray()};
    return {response.left(end), response.mid(end + 4)};
}

QByteArray HttpRequest(int port, const QByteArray &request)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(5000))
        return QByteArray();
    socket.write(request);
    QByteArray all;
    while (socket.state() == QAbstractSocket::ConnectedState && socket.waitForReadyRead(30000))
        all += socket.readAll();
    all += socket.readAll();
    return all;
}

// The environment a script sees: every variable a web server could set, the marker of
// the IDE's environment, and what standard input held when CONTENT_LENGTH says so.
const QByteArray kEnvScript = R"(
for (sort keys %ENV) { print "$_=$ENV{$_}\n" if /^(HTTP_|CONTENT_|QUERY_|REQUEST_|SCRIPT_|SERVER_|REMOTE_|GATEWAY_|PATH_INFO|PATH_TRANSLATED|DOCUMENT_ROOT|HTTPS|KESTREL_MARK)/; }
if (defined $ENV{CONTENT_LENGTH}) { read(STDIN, my $body, $ENV{CONTENT_LENGTH}); print "BODY=$body\n"; }
elsif (($ENV{REQUEST_METHOD} // '') eq 'GET' && !defined $DB::single) { my @rest = <STDIN>; print "STDIN_LINES=", scalar(@rest), "\n"; }
print "END\n";
)";

// What CGI.pm makes of a request: the method, the parameters in order, and a greeting.
const QByteArray kCgiPmScript = R"(#!/usr/bin/perl
use strict;
use warnings;
use CGI;
my $q = CGI->new;
print $q->header(-type => 'text/plain', -charset => 'utf-8');
print "method=", $q->request_method, "\n";
print "Hello ", scalar($q->param('name')), "\n";
for my $name ($q->param) { print "param $name=", join('|', $q->multi_param($name)), "\n"; }
)";

} // namespace

class TestCgiEnvironment : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void queryFromInputs_data();
    void queryFromInputs();
    void validNames_data();
    void validNames();
    void headerVariables_data();
    void headerVariables();
    void serverRequest();
    void inheritedCgiVariablesReplaced();
    void runnerEnvironment_data();
    void runnerEnvironment();
    void sameAsBusyboxHttpd_data();
    void sameAsBusyboxHttpd();

private:
    QString Write(const QString &name, const QByteArray &text, bool bExecutable = false);
    QByteArray Run(CRunCommandLine::Kind kind, const QString &path, const QString &inputs, const QString &method,
                   const QList<CCgiEnvironment::NameValue> &userVars = {});

    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/kestrel cgi XXXXXX")};
};

void TestCgiEnvironment::initTestCase()
{
    QVERIFY(m_dir.isValid());
    g_settings = CSettings();
    g_settings.LOCAL_PERL_EXE = QStandardPaths::findExecutable(QStringLiteral("perl"));
    QVERIFY(!g_settings.LOCAL_PERL_EXE.isEmpty());
}

QString TestCgiEnvironment::Write(const QString &name, const QByteArray &text, bool bExecutable)
{
    QString path = m_dir.filePath(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(text);
    f.close();
    if (bExecutable)
        f.setPermissions(f.permissions() | QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther);
    return path;
}

QByteArray TestCgiEnvironment::Run(CRunCommandLine::Kind kind, const QString &path, const QString &inputs,
                                   const QString &method, const QList<CCgiEnvironment::NameValue> &userVars)
{
    CRunCommandLine cl = CRunCommandLine::Compose(kind, path, QFileInfo(path).fileName(), g_settings,
                                                  CRunCommands::RunHoldPath());
    auto out = std::make_shared<QByteArray>();
    CollectOutput(out);
    CDebugCommands::RunPiped(nullptr, kind, cl, inputs, method, QStringLiteral("Could not run "), userVars);
    return *out;
}

void TestCgiEnvironment::queryFromInputs_data()
{
    QTest::addColumn<QString>("inputs");
    QTest::addColumn<QByteArray>("query");
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("one line without a line end") << "a=1" << QByteArray("a=1");
    QTest::newRow("lines joined, trailing line end dropped") << "a=1\nb=2\n" << QByteArray("a=1&b=2");
    QTest::newRow("CR LF line ends") << "a=1\r\nb=2\r\n" << QByteArray("a=1&b=2");
    QTest::newRow("several trailing line ends") << "a=1\n\n" << QByteArray("a=1");
    QTest::newRow("already one line with &") << "a=1&b=x%20y" << QByteArray("a=1&b=x%20y");
}

void TestCgiEnvironment::queryFromInputs()
{
    QFETCH(QString, inputs);
    QFETCH(QByteArray, query);
    QCOMPARE(CCgiEnvironment::QueryFromInputs(inputs), query);
}

void TestCgiEnvironment::validNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("valid");
    QTest::newRow("upper case") << "HTTP_COOKIE" << true;
    QTest::newRow("lower case and digits") << "my_var2" << true;
    QTest::newRow("underscore first") << "_X" << true;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("digit first") << "2X" << false;
    QTest::newRow("blank inside") << "MY VAR" << false;
    QTest::newRow("equals sign") << "A=B" << false;
    QTest::newRow("hyphen") << "USER-AGENT" << false;
    QTest::newRow("non-ASCII letter") << QStringLiteral("CAF\u00c9") << false;
}

void TestCgiEnvironment::validNames()
{
    QFETCH(QString, name);
    QFETCH(bool, valid);
    QCOMPARE(CCgiEnvironment::IsValidName(name), valid);
}

void TestCgiEnvironment::headerVariables_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::addColumn<QString>("variable");
    QTest::newRow("User-Agent") << QByteArray("User-Agent") << "HTTP_USER_AGENT";
    QTest::newRow("lower case cookie") << QByteArray("cookie") << "HTTP_COOKIE";
    QTest::newRow("Content-Type has its own variable") << QByteArray("Content-Type") << "";
    QTest::newRow("Content-Length has its own variable") << QByteArray("Content-Length") << "";
    QTest::newRow("Proxy never becomes HTTP_PROXY") << QByteArray("Proxy") << "";
    QTest::newRow("Authorization stays with the server") << QByteArray("Authorization") << "";
    QTest::newRow("name with a blank") << QByteArray("Bad Name") << "";
    QTest::newRow("name with a dot") << QByteArray("X.Y") << "";
    QTest::newRow("empty name") << QByteArray() << "";
}

void TestCgiEnvironment::headerVariables()
{
    QFETCH(QByteArray, header);
    QFETCH(QString, variable);
    QCOMPARE(CCgiEnvironment::HeaderVariable(header), variable);
}

void TestCgiEnvironment::serverRequest()
{
    CCgiEnvironment::Request r;
    r.strMethod = QStringLiteral("POST");
    r.baQuery = "a=1";
    r.baBody = "x=2&y=3";
    r.bHasBody = true;
    r.headers = {{"Host", "127.0.0.1:8123"}, {"Content-Type", "multipart/form-data; boundary=zz"},
                 {"Accept", "text/html"}, {"accept", "*/*"}, {"Proxy", "evil:1"}, {"Content-Length", "7"}};
    r.strScriptFile = QStringLiteral("/srv/site/bin/form.pl");
    r.strDocumentRoot = QStringLiteral("/srv/site");
    r.strScriptName = QStringLiteral("/bin/form.pl");
    r.strPathInfo = QStringLiteral("/more path");
    r.baRequestUri = "/bin/form.pl/more%20path?a=1";
    r.nServerPort = 8123;
    Vars vars;
    for (const auto &v : CCgiEnvironment::Variables(r))
        vars.insert(v.first, v.second);
    QCOMPARE(vars.value("HTTP_HOST"), QStringLiteral("127.0.0.1:8123"));
    QCOMPARE(vars.value("SERVER_PORT"), QStringLiteral("8123"));
    QCOMPARE(vars.value("CONTENT_TYPE"), QStringLiteral("multipart/form-data; boundary=zz"));
    QCOMPARE(vars.value("CONTENT_LENGTH"), QStringLiteral("7"));
    QCOMPARE(vars.value("HTTP_ACCEPT"), QStringLiteral("text/html, */*"));
    QVERIFY(!vars.contains("HTTP_PROXY"));
    QVERIFY(!vars.contains("HTTP_CONTENT_TYPE"));
    QCOMPARE(vars.value("PATH_INFO"), QStringLiteral("/more path"));
    QCOMPARE(vars.value("PATH_TRANSLATED"), QStringLiteral("/srv/site/more path"));
    QCOMPARE(vars.value("REQUEST_URI"), QStringLiteral("/bin/form.pl/more%20path?a=1"));
    QCOMPARE(vars.value("QUERY_STRING"), QStringLiteral("a=1"));
    QCOMPARE(vars.value("SCRIPT_NAME"), QStringLiteral("/bin/form.pl"));
}

void TestCgiEnvironment::inheritedCgiVariablesReplaced()
{
    QProcessEnvironment ide;
    ide.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin"));
    ide.insert(QStringLiteral("HTTP_PROXY"), QStringLiteral("http://proxy:3128"));
    ide.insert(QStringLiteral("CONTENT_LENGTH"), QStringLiteral("99"));
    ide.insert(QStringLiteral("QUERY_STRING"), QStringLiteral("stale"));
    ide.insert(QStringLiteral("PATH_INFO"), QStringLiteral("/stale"));
    CCgiEnvironment::Request r = CCgiEnvironment::FromInputs(QStringLiteral("/tmp/x/s.pl"), QStringLiteral("GET"),
                                                             QStringLiteral("q=1"), {});
    QProcessEnvironment env = CCgiEnvironment::Apply(ide, r);
    QCOMPARE(env.value(QStringLiteral("PATH")), QStringLiteral("/usr/bin"));
    QCOMPARE(env.value(QStringLiteral("QUERY_STRING")), QStringLiteral("q=1"));
    QVERIFY(!env.contains(QStringLiteral("HTTP_PROXY")));
    QVERIFY(!env.contains(QStringLiteral("CONTENT_LENGTH")));
    QVERIFY(!env.contains(QStringLiteral("PATH_INFO")));
}

void TestCgiEnvironment::runnerEnvironment_data()
{
    QTest::addColumn<CRunCommandLine::Kind>("kind");
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("inputs");
    QTest::addColumn<QStringList>("userVars");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("absent");

    const QString script = m_dir.filePath(QStringLiteral("site dir/env.pl"));
    const QString folder = QFileInfo(script).absolutePath();
    const QStringList always{QStringLiteral("GATEWAY_INTERFACE=CGI/1.1"),
                             QStringLiteral("SCRIPT_NAME=/env.pl"),
                             QStringLiteral("SCRIPT_FILENAME=") + script,
                             QStringLiteral("SERVER_NAME=localhost"),
                             QStringLiteral("HTTP_HOST=localhost"),
                             QStringLiteral("SERVER_PORT=80"),
                             QStringLiteral("SERVER_PROTOCOL=HTTP/1.1"),
                             QStringLiteral("SERVER_SOFTWARE=") + CCgiEnvironment::ServerSoftware(),
                             QStringLiteral("REMOTE_ADDR=127.0.0.1"),
                             QStringLiteral("DOCUMENT_ROOT=") + folder,
                             QStringLiteral("KESTREL_MARK=ide")};
    const QStringList inheritedCgi{QStringLiteral("HTTP_COOKIE"), QStringLiteral("HTTP_PROXY"),
                                   QStringLiteral("PATH_INFO")};
    using K = CRunCommandLine::Kind;

    QTest::newRow("GET: lines become the query, no body, stdin at end of file")
        << K::Run << "GET" << "name=Alice\nlang=perl\n" << QStringList()
        << always + QStringList{"REQUEST_METHOD=GET", "QUERY_STRING=name=Alice&lang=perl",
                                "REQUEST_URI=/env.pl?name=Alice&lang=perl", "STDIN_LINES=0"}
        << inheritedCgi + QStringList{"CONTENT_LENGTH", "CONTENT_TYPE", "BODY"};
    QTest::newRow("GET without inputs: empty query")
        << K::Run << "GET" << "" << QStringList()
        << always + QStringList{"REQUEST_METHOD=GET", "QUERY_STRING=", "REQUEST_URI=/env.pl", "STDIN_LINES=0"}
        << inheritedCgi + QStringList{"CONTENT_LENGTH"};
    QTest::newRow("POST: the text is the body, its exact length, form type")
        << K::Run << "POST" << "name=Alice&lang=perl" << QStringList()
        << always + QStringList{"REQUEST_METHOD=POST", "QUERY_STRING=", "CONTENT_LENGTH=20",
                                "CONTENT_TYPE=application/x-www-form-urlencoded", "REQUEST_URI=/env.pl",
                                "BODY=name=Alice&lang=perl"}
        << inheritedCgi;
    QTest::newRow("POST: the length counts bytes, not characters")
        << K::Run << "POST" << QStringLiteral("name=Zo\u00eb") << QStringList()
        << always + QStringList{"CONTENT_LENGTH=9", QStringLiteral("BODY=name=Zo\u00eb")} << inheritedCgi;
    QTest::newRow("user variables are added and win")
        << K::Run << "POST" << "a=1" << QStringList{"HTTP_COOKIE=session=42", "CONTENT_TYPE=text/plain",
                                                    "PATH_INFO=/extra/path", "SERVER_PORT=8080", "HTTPS=on"}
        << always.filter(QRegularExpression("^(?!SERVER_PORT)"))
               + QStringList{"HTTP_COOKIE=session=42", "CONTENT_TYPE=text/plain", "PATH_INFO=/extra/path",
                             "PATH_TRANSLATED=" + folder + "/extra/path", "SERVER_PORT=8080", "HTTPS=on",
                             "REQUEST_URI=/env.pl/extra/path", "CONTENT_LENGTH=3", "BODY=a=1"}
        << QStringList{"HTTP_PROXY"};
    QTest::newRow("Debug gets the same environment")
        << K::Debug << "GET" << "c\nq\n" << QStringList()
        << always + QStringList{"REQUEST_METHOD=GET", "QUERY_STRING=c&q"} << inheritedCgi;
    QTest::newRow("blank method: the IDE's environment as it is")
        << K::Run << "" << "" << QStringList() << QStringList{"KESTREL_MARK=ide", "HTTP_COOKIE=stale"}
        << QStringList{"GATEWAY_INTERFACE", "REQUEST_METHOD", "QUERY_STRING", "SCRIPT_NAME"};
    QTest::newRow("another method: the IDE's environment as it is")
        << K::Run << "PUT" << "" << QStringList() << QStringList{"KESTREL_MARK=ide", "PATH_INFO=/stale"}
        << QStringList{"GATEWAY_INTERFACE", "REQUEST_METHOD"};
}

void TestCgiEnvironment::runnerEnvironment()
{
    QFETCH(CRunCommandLine::Kind, kind);
    QFETCH(QString, method);
    QFETCH(QString, inputs);
    QFETCH(QStringList, userVars);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, absent);

    // CGI variables in the IDE's own environment must not reach a simulated request.
    CEnvironmentScope ide({{"KESTREL_MARK", "ide"}, {"HTTP_COOKIE", "stale"}, {"HTTP_PROXY", "http://proxy:3128"},
                           {"PATH_INFO", "/stale"}});
    QString script = Write(QStringLiteral("site dir/env.pl"), kEnvScript);
    QByteArray out = Run(kind, script, inputs, method, NameValues(userVars));
    // The debugger's own chatter goes to standard error; its output stays on stdout.
    Vars seen = ParseVars(out);
    Vars want = VarsOf(expected);
    for (auto it = want.cbegin(); it != want.cend(); ++it)
        QVERIFY2(seen.value(it.key(), QStringLiteral("<unset>")) == it.value(),
                 qPrintable(QStringLiteral("%1: got %2, want %3\n%4")
                                .arg(it.key(), seen.value(it.key(), QStringLiteral("<unset>")), it.value(),
                                     QString::fromUtf8(out))));
    for (const QString &name : absent)
        QVERIFY2(!seen.contains(name), qPrintable(name + QStringLiteral(" is set: ") + seen.value(name)));
}

void TestCgiEnvironment::sameAsBusyboxHttpd_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QString>("inputs");
    QTest::addColumn<QByteArray>("request");
    const QByteArray form = "name=Alice&lang=perl&lang=c%2B%2B&note=two+words";
    QTest::newRow("GET") << "GET" << QString::fromLatin1("name=Alice\nlang=perl\nlang=c%2B%2B\nnote=two+words\n")
                         << "GET /cgi-bin/params.pl?" + form + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
    QTest::newRow("POST") << "POST" << QString::fromLatin1(form)
                          << "POST /cgi-bin/params.pl HTTP/1.0\r\nHost: 127.0.0.1\r\n"
                             "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: "
                                 + QByteArray::number(form.size()) + "\r\n\r\n" + form;
}

void TestCgiEnvironment::sameAsBusyboxHttpd()
{
    QFETCH(QString, method);
    QFETCH(QString, inputs);
    QFETCH(QByteArray, request);

    QString script = Write(QStringLiteral("web/cgi-bin/params.pl"), kCgiPmScript, true);
    CFixtureServer httpd;
    QVERIFY2(httpd.Start(QStringLiteral(KESTREL_FIXTURES_DIR "/busybox-httpd.sh"), m_dir.filePath("web")),
             "busybox httpd did not start (package busybox-static)");
    QByteArray served = HttpRequest(httpd.Port(), request);
    auto [servedHead, servedBody] = SplitResponse(served);
    QVERIFY2(servedHead.startsWith("HTTP/1.") && servedHead.contains(" 200 "), served.constData());

    QByteArray ran = Run(CRunCommandLine::Kind::Run, script, inputs, method);
    auto [ranHead, ranBody] = SplitResponse(ran);
    QVERIFY2(!ranBody.isEmpty(), ran.constData());
    QVERIFY(ranBody.contains("Hello Alice\n"));
    QVERIFY(ranBody.contains("param lang=perl|c++\n"));
    QVERIFY(ranBody.contains("param note=two words\n"));
    QCOMPARE(ranBody, servedBody);
    // The type the script printed is the one the server sent.
    QVERIFY2(ranHead.toLower().contains("content-type: text/plain; charset=utf-8"), ranHead.constData());
    QVERIFY2(servedHead.toLower().contains("content-type: text/plain; charset=utf-8"), servedHead.constData());
}

QTEST_MAIN(TestCgiEnvironment)
#include "test_cgienvironment.moc"
