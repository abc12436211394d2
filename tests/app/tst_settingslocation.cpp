#include "app/AboutDlg.h"
#include "app/KestrelApp.h"
#include "app/MainFrame.h"
#include "app/OptionsPropertySheet.h"
#include "app/Settings.h"
#include "app/SettingsFile.h"
#include "app/SettingsLocation.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

bool WriteFile(const QString &path, const QByteArray &bytes, QFileDevice::Permissions permissions = {})
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    f.close();
    return !permissions || f.setPermissions(permissions);
}

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

QStringList Entries(const QString &dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

const QFileDevice::Permissions kOwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
const QFileDevice::Permissions kOthers = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                         | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;

} // namespace

// A program folder laid out as a build folder (the program alone) or as an installed
// copy (bin/ beside share/kestrel/), a home folder and a PATH of fake interpreters.
class TestSettingsLocation : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void whereTheSettingsLive_data();
    void whereTheSettingsLive();
    void catalogue_data();
    void catalogue();
    void firstStartCopiesTheInstalledDefault();
    void firstStartKeepsAnInterpreterTheDefaultNames();
    void firstStartWithoutAnInstalledDefault();
    void readOnlyPortableCopySeedsFromItsOwnFile();
    void existingUserFileIsNotTouched();
    void besideTheProgramNothingIsCreated();
    void unwritableConfigFolderIsReported();
    void installedStartReadsAndSavesInTheUserFolder();

private:
    QString Prefix() const { return m_root->filePath(QStringLiteral("prefix")); }
    QString Bin() const { return Prefix() + QStringLiteral("/bin/"); }
    QString Share() const { return Prefix() + QStringLiteral("/share/kestrel/"); }
    QString Home() const { return m_root->filePath(QStringLiteral("home")); }
    QString ConfigHome() const { return m_root->filePath(QStringLiteral("config")); }
    QString PathDir() const { return m_root->filePath(QStringLiteral("path")); }
    void MakeInstalled();

    std::unique_ptr<QTemporaryDir> m_root;
    QByteArray m_baPath;
};

void TestSettingsLocation::init()
{
    m_root = std::make_unique<QTemporaryDir>();
    QVERIFY(m_root->isValid());
    QVERIFY(QDir().mkpath(Bin()));
    QVERIFY(QDir().mkpath(Home()));
    // The PATH holds a perl and nothing else, so "found on the PATH" is what the test says.
    m_baPath = qgetenv("PATH");
    QVERIFY(WriteFile(PathDir() + QStringLiteral("/perl"), "#!/bin/sh\n",
                      kOwnerOnly | QFileDevice::ExeOwner | QFileDevice::ReadOther | QFileDevice::ExeOther));
    qputenv("PATH", QFile::encodeName(PathDir()));
}

void TestSettingsLocation::cleanup()
{
    qputenv("PATH", m_baPath);
    g_strSettingsDir.clear();
}

void TestSettingsLocation::MakeInstalled()
{
    QVERIFY(WriteFile(Share() + QStringLiteral("Kestrel.cfg"),
                      "TAB_SIZE=8\nFTP_HOST_NAME=ftp.example.org\nLOCAL_PERL_EXE=\nLOCAL_JAVA_EXE=/no/such/java\n"));
    QVERIFY(WriteFile(Share() + QStringLiteral("KESTREL.FNL"), "abs,Absolute value,abs($x)\n"));
}

void TestSettingsLocation::whereTheSettingsLive_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<QString>("configHome");
    QTest::addColumn<QString>("expected"); // "program", "config" or "home"

    QTest::newRow("build folder, writable: beside the program") << false << true << "set" << "program";
    QTest::newRow("portable copy, read-only, XDG_CONFIG_HOME set") << false << false << "set" << "config";
    QTest::newRow("portable copy, read-only, XDG_CONFIG_HOME unset") << false << false << "" << "home";
    QTest::newRow("read-only, relative XDG_CONFIG_HOME is ignored") << false << false << "relative/cfg" << "home";
    QTest::newRow("installed, read-only") << true << false << "set" << "config";
    QTest::newRow("installed, writable (root, or a prefix of the user's)") << true << true << "" << "home";
}

void TestSettingsLocation::whereTheSettingsLive()
{
    QFETCH(bool, installed);
    QFETCH(bool, writable);
    QFETCH(QString, configHome);
    QFETCH(QString, expected);
    if (installed)
        MakeInstalled();
    if (configHome == QLatin1String("set"))
        configHome = ConfigHome();

    const CSettingsLocation location(Bin(), writable, configHome, Home());
    const QString folder = expected == QLatin1String("program") ? Bin()
                           : expected == QLatin1String("config") ? ConfigHome() + QStringLiteral("/Kestrel/")
                                                                 : Home() + QStringLiteral("/.config/Kestrel/");
    QCOMPARE(location.Folder(), folder);
    QCOMPARE(location.IsBesideProgram(), expected == QLatin1String("program"));
    QCOMPARE(location.SettingsPath(), folder + QStringLiteral("Kestrel.cfg"));
    QCOMPARE(location.InstalledDataDir(), Share());
}

void TestSettingsLocation::catalogue_data()
{
    QTest::addColumn<bool>("installed");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("userCatalogue");
    QTest::addColumn<QString>("expected"); // "program", "user" or "installed"

    QTest::newRow("build folder: beside the program, a user's file or not") << false << true << true << "program";
    QTest::newRow("installed, user's own present") << true << false << true << "user";
    QTest::newRow("installed, user's own absent") << true << false << false << "installed";
    QTest::newRow("read-only portable copy, user's own absent") << false << false << false << "program";
}

void TestSettingsLocation::catalogue()
{
    QFETCH(bool, installed);
    QFETCH(bool, writable);
    QFETCH(bool, userCatalogue);
    QFETCH(QString, expected);
    if (installed)
        MakeInstalled();
    else
        QVERIFY(WriteFile(Bin() + QStringLiteral("KESTREL.FNL"), "abs,Absolute value,abs($x)\n"));
    const QString user = ConfigHome() + QStringLiteral("/Kestrel/KESTREL.FNL");
    if (userCatalogue)
        QVERIFY(WriteFile(user, "mine,My own,mine()\n"));

    const CSettingsLocation location(Bin(), writable, ConfigHome(), Home());
    const QString path = expected == QLatin1String("program") ? Bin() + QStringLiteral("KESTREL.FNL")
                         : expected == QLatin1String("user")  ? user
                                                              : Share() + QStringLiteral("KESTREL.FNL");
    QCOMPARE(location.CataloguePath(), path);
}

void TestSettingsLocation::firstStartCopiesTheInstalledDefault()
{
    MakeInstalled();
    const CSettingsLocation location(Bin(), false, ConfigHome(), Home());
    QString error;
    QVERIFY2(location.CreateSettingsFile(&error), qPrintable(error));

    const QString path = ConfigHome() + QStringLiteral("/Kestrel/Kestrel.cfg");
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(QFileInfo(path).permissions() & kOthers, QFileDevice::Permissions());
    QCOMPARE(QFileInfo(path).permissions() & kOwnerOnly, kOwnerOnly);
    QCOMPARE(QFileInfo(ConfigHome() + QStringLiteral("/Kestrel")).permissions() & kOthers, QFileDevice::Permissions());

    const QByteArray bytes = ReadFile(path);
    QCOMPARE(bytes.count('\n'), CSettingsFile::kKeyCount);
    CSettings s;
    CSettingsFile::Parse(bytes, s);
    QCOMPARE(s.TAB_SIZE, QStringLiteral("8"));
    QCOMPARE(s.FTP_HOST_NAME, QStringLiteral("ftp.example.org"));
    // Named from the PATH: the perl there, and no java where the default's is missing.
    QCOMPARE(s.LOCAL_PERL_EXE, PathDir() + QStringLiteral("/perl"));
    QCOMPARE(s.LOCAL_JAVA_EXE, QString());
    QCOMPARE(s.LOCAL_JAVAC_EXE, QString());
    // A key the default does not hold stays at its designed default.
    QCOMPARE(s.INDENT_SIZE, QString());
    QVERIFY(Entries(Bin()).isEmpty());
}

void TestSettingsLocation::firstStartKeepsAnInterpreterTheDefaultNames()
{
    const QString perl = m_root->filePath(QStringLiteral("opt/perl"));
    QVERIFY(WriteFile(perl, "#!/bin/sh\n", kOwnerOnly | QFileDevice::ExeOwner));
    QVERIFY(WriteFile(Share() + QStringLiteral("Kestrel.cfg"), "LOCAL_PERL_EXE=" + QFile::encodeName(perl) + "\n"));
    const CSettingsLocation location(Bin(), false, ConfigHome(), Home());
    QVERIFY(location.CreateSettingsFile());
    CSettings s;
    QVERIFY(CSettingsFile::Read(location.SettingsPath(), s));
    QCOMPARE(s.LOCAL_PERL_EXE, perl);
}

void TestSettingsLocation::firstStartWithoutAnInstalledDefault()
{
    const CSettingsLocation location(Bin(), false, QString(), Home());
    QCOMPARE(location.DefaultSettingsPath(), QString());
    QVERIFY(location.CreateSettingsFile());
    CSettings s;
    QVERIFY(CSettingsFile::Read(Home() + QStringLiteral("/.config/Kestrel/Kestrel.cfg"), s));
    QCOMPARE(s.TAB_SIZE, QStringLiteral("4"));
    QCOMPARE(s.INDENT_SIZE, QStringLiteral("3"));
    QCOMPARE(s.TAB_EXPAND, QStringLiteral("Y"));
    QCOMPARE(s.AUTO_INDENT, 1);
    QVERIFY(!s.VIEW_FONT.isEmpty());
    QCOMPARE(s.LOCAL_PERL_EXE, PathDir() + QStringLiteral("/perl"));
}

void TestSettingsLocation::readOnlyPortableCopySeedsFromItsOwnFile()
{
    QVERIFY(WriteFile(Bin() + QStringLiteral("Kestrel.cfg"), "SERVER_HOST=shell.example.org\n"));
    const CSettingsLocation location(Bin(), false, ConfigHome(), Home());
    QCOMPARE(location.DefaultSettingsPath(), Bin() + QStringLiteral("Kestrel.cfg"));
    QVERIFY(location.CreateSettingsFile());
    CSettings s;
    QVERIFY(CSettingsFile::Read(location.SettingsPath(), s));
    QCOMPARE(s.SERVER_HOST, QStringLiteral("shell.example.org"));
    QCOMPARE(ReadFile(Bin() + QStringLiteral("Kestrel.cfg")), QByteArray("SERVER_HOST=shell.example.org\n"));
}

void TestSettingsLocation::existingUserFileIsNotTouched()
{
    MakeInstalled();
    const QString path = ConfigHome() + QStringLiteral("/Kestrel/Kestrel.cfg");
    QVERIFY(WriteFile(path, "TAB_SIZE=2\n"));
    const CSettingsLocation location(Bin(), false, ConfigHome(), Home());
    QVERIFY(location.CreateSettingsFile());
    QCOMPARE(ReadFile(path), QByteArray("TAB_SIZE=2\n"));
}

void TestSettingsLocation::besideTheProgramNothingIsCreated()
{
    const CSettingsLocation location(Bin(), true, ConfigHome(), Home());
    QVERIFY(location.CreateSettingsFile());
    QVERIFY(Entries(Bin()).isEmpty());
    QVERIFY(!QFileInfo::exists(ConfigHome()));
}

void TestSettingsLocation::unwritableConfigFolderIsReported()
{
    // A folder below a plain file can't be made, whoever runs the test.
    const QString file = m_root->filePath(QStringLiteral("plain-file"));
    QVERIFY(WriteFile(file, "x"));
    const CSettingsLocation location(Bin(), false, file, Home());
    QString error;
    QVERIFY(!location.CreateSettingsFile(&error));
    QVERIFY2(error.contains(file + QStringLiteral("/Kestrel")), qPrintable(error));
}

void TestSettingsLocation::installedStartReadsAndSavesInTheUserFolder()
{
    MakeInstalled();
    const QByteArray configHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(ConfigHome()));
    const bool started = CKestrelApp::Instance()->InitInstance(Bin(), QString());
    qputenv("XDG_CONFIG_HOME", configHome);
    QVERIFY(started);

    const QString folder = ConfigHome() + QStringLiteral("/Kestrel/");
    QCOMPARE(g_strSettingsDir, folder);
    QCOMPARE(CKestrelApp::SettingsPath(), folder + QStringLiteral("Kestrel.cfg"));
    QCOMPARE(g_settings.TAB_SIZE, QStringLiteral("8"));
    QCOMPARE(g_settings.LOCAL_PERL_EXE, PathDir() + QStringLiteral("/perl"));

    // Help > About says which file is in use.
    CAboutDlg about(CKestrelApp::Instance()->MainFrame());
    auto *label = about.findChild<QLabel *>(QStringLiteral("SettingsPath"));
    QVERIFY(label);
    QVERIFY2(label->text().endsWith(QDir::toNativeSeparators(folder + QStringLiteral("Kestrel.cfg"))),
             qPrintable(label->text()));

    // The functions window lists the installed catalogue.
    auto *list = CKestrelApp::Instance()->MainFrame()->findChild<QAbstractItemView *>(QStringLiteral("list_1067"));
    QVERIFY(list);
    QCOMPARE(list->model()->rowCount(), 1);
    QCOMPARE(list->model()->index(0, 0).data().toString(), QStringLiteral("abs"));

    // Options saves there, owner only, and nothing is written beside the program.
    CSettings values = g_settings;
    values.FTP_USER_PASS = QStringLiteral("secret");
    QFile::setPermissions(CKestrelApp::SettingsPath(), kOwnerOnly | QFileDevice::ReadOther);
    QVERIFY(COptionsPropertySheet::WriteSettings(values));
    QCOMPARE(QFileInfo(CKestrelApp::SettingsPath()).permissions() & kOthers, QFileDevice::Permissions());
    QVERIFY(ReadFile(CKestrelApp::SettingsPath()).contains("FTP_USER_PASS=secret\n"));
    QCOMPARE(g_settings.FTP_USER_PASS, QStringLiteral("secret"));
    QVERIFY(Entries(Bin()).isEmpty());

    // A catalogue of the user's own, once there, is read instead of the installed one.
    QVERIFY(WriteFile(folder + QStringLiteral("KESTREL.FNL"), "mine,My own,mine()\n"));
    QCOMPARE(CKestrelApp::CataloguePath(), folder + QStringLiteral("KESTREL.FNL"));
}

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    CKestrelApp app(argc, argv);
    TestSettingsLocation test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingslocation.moc"
