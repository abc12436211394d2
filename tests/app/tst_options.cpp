#include "tst_options_modal.h"

#include "app/EditorParams.h"
#include "app/FtpParams.h"
#include "app/JavaExe.h"
#include "app/JavacExe.h"
#include "app/PerlExeParams.h"
#include "app/KestrelApp.h"
#include "app/OptionsPropertySheet.h"
#include "app/SelectDirectoryDlg.h"
#include "app/ServerParams.h"
#include "app/Settings.h"
#include "app/SettingsFile.h"
#include "editor/KestrelView.h"
#include "framework/LogFont.h"

#include <Qsci/qscilexer.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

enum Page { PerlPage, FtpPage, EditorPage, JavaPage, JavacPage, ServerPage };

const char *const kFileOrder[] = {
    "LOCAL_PERL_EXE", "LOCAL_PERL_PRM", "REMOTE_PERL_EXE", "REMOTE_PERL_PRM", "RUN_IN_DOS_WINDOW",
    "FTP_HOST_NAME", "FTP_PORT_NUMBER", "FTP_USER_NAME", "FTP_USER_PASS", "LOCAL_DIRECTORY",
    "REMOTE_DIRECTORY", "TAB_EXPAND", "TAB_SIZE", "INDENT_SIZE", "VIEW_FONT", "AUTO_INDENT",
    "LOCAL_JAVA_EXE", "LOCAL_JAVA_PRM", "REMOTE_JAVA_EXE", "REMOTE_JAVA_PRM", "LOCAL_JAVAC_EXE",
    "LOCAL_JAVAC_PRM", "REMOTE_JAVAC_EXE", "REMOTE_JAVAC_PRM", "SERVER_USER", "SERVER_PASS",
    "SERVER_TYPE", "SERVER_HOST", "SERVER_PORT_NUMBER", "SERVER_CLIENT_EXEPATH"};

QString Edit(int id) { return QStringLiteral("edit_%1").arg(id); }

} // namespace

class TestOptions : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void okWithoutChangesRewritesThirtyLines_data();
    void okWithoutChangesRewritesThirtyLines();
    void cancelWritesNothing();
    void okAppliesEveryShownPage();
    void applyThenCancelSaves();
    void applyEnabledByChangeNotifications_data();
    void applyEnabledByChangeNotifications();
    void refusedValuesKeepUserOnField_data();
    void refusedValuesKeepUserOnField();
    void sampleTextTakesTwentyCharacters();
    void noSettingsFileEditorRefusesZeros();
    void folderCheck_data();
    void folderCheck();
    void clientCheck_data();
    void clientCheck();
    void serverTypeRoundTrip_data();
    void serverTypeRoundTrip();
    void ftpProtocolChoice_data();
    void ftpProtocolChoice();
    void serverPortFollowsType_data();
    void serverPortFollowsType();
    void javaCheckBoxesNeverSaved();
    void editorRadiosAndSizes_data();
    void editorRadiosAndSizes();
    void fontButtonReplacesDisplayFontAtOnce();
    void tabsAndAutoIndentTakeEffectAtNextKey();
    void fontFaceWithDigitsIsCutWhenReadBack();
    void browseButtonSetsLocalFolder();
    void browseButtonWithRefusedFieldStaysOnIt();
    void unwritableSettingsFileKeepsSettings();
    void keysGoToThePagesFirstField();

private:
    QByteArray BaseConfig() const;
    void WriteConfig(const QByteArray &data);
    QByteArray ReadConfig() const;
    COptionsPropertySheet *OpenSheet();
    void ShowPage(CPropertySheet *sheet, int page);
    void Type(QWidget *page, const QString &control, const QString &text);
    void Click(QWidget *page, const QString &control);
    void RunOptions(std::function<void(COptionsPropertySheet *)> drive);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<COptionsPropertySheet> m_sheet;
    std::unique_ptr<CKestrelView> m_view;
};

QByteArray TestOptions::BaseConfig() const
{
    QByteArray local = m_dir->path().toUtf8();
    return "LOCAL_PERL_EXE=/usr/bin/perl\n"
           "LOCAL_PERL_PRM=-w\n"
           "REMOTE_PERL_EXE=/usr/local/bin/perl\n"
           "REMOTE_PERL_PRM=-T\n"
           "RUN_IN_DOS_WINDOW=N\n"
           "FTP_HOST_NAME=ftp.example.org\n"
           "FTP_PORT_NUMBER=00021\n"
           "FTP_USER_NAME=anna\n"
           "FTP_USER_PASS=se=cret \n"
           "LOCAL_DIRECTORY=" + local + "\n"
           "REMOTE_DIRECTORY=/pub/scripts\n"
           "TAB_EXPAND=Y\n"
           "TAB_SIZE=4\n"
           "INDENT_SIZE=3\n"
           "VIEW_FONT=-13,0,0,0,400,0,0,0,0,3,2,1,49,DejaVu Sans Mono\n"
           "AUTO_INDENT=Y\n"
           "LOCAL_JAVA_EXE=/usr/bin/java\n"
           "LOCAL_JAVA_PRM=-cp .\n"
           "REMOTE_JAVA_EXE=/opt/java/bin/java\n"
           "REMOTE_JAVA_PRM=-Xmx64m\n"
           "LOCAL_JAVAC_EXE=/usr/bin/javac\n"
           "LOCAL_JAVAC_PRM=-g\n"
           "REMOTE_JAVAC_EXE=/opt/java/bin/javac\n"
           "REMOTE_JAVAC_PRM=-O\n"
           "SERVER_USER=bob\n"
           "SERVER_PASS=pw\n"
           "SERVER_TYPE=telnet\n"
           "SERVER_HOST=shell.example.org\n"
           "SERVER_PORT_NUMBER=00023\n"
           "SERVER_CLIENT_EXEPATH=\n"
           "# a comment the next save drops\n";
}

void TestOptions::WriteConfig(const QByteArray &data)
{
    QFile f(CKestrelApp::SettingsPath());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

QByteArray TestOptions::ReadConfig() const
{
    QFile f(CKestrelApp::SettingsPath());
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return f.readAll();
}

void TestOptions::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    g_strProgramDir = m_dir->path() + QLatin1Char('/');
    g_settings = CSettings();
    WriteConfig(BaseConfig());
    QVERIFY(CKestrelApp::Instance()->ReadSettings());
    m_view = std::make_unique<CKestrelView>(nullptr);
    m_view->OnInitialUpdate();
}

void TestOptions::cleanup()
{
    m_sheet.reset();
    m_view.reset();
    m_dir.reset();
}

COptionsPropertySheet *TestOptions::OpenSheet()
{
    m_sheet = std::make_unique<COptionsPropertySheet>(QStringLiteral("Options"));
    m_sheet->AddOptionsPages(g_settings);
    m_sheet->show();
    return m_sheet.get();
}

void TestOptions::ShowPage(CPropertySheet *sheet, int page)
{
    QTabBar *bar = sheet->TabControl()->tabBar();
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
}

void TestOptions::Type(QWidget *page, const QString &control, const QString &text)
{
    auto *edit = page->findChild<QLineEdit *>(control);
    QVERIFY2(edit, qPrintable(control));
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Backspace);
    QTest::keyClicks(edit, text);
}

void TestOptions::Click(QWidget *page, const QString &control)
{
    auto *button = page->findChild<QAbstractButton *>(control);
    QVERIFY2(button, qPrintable(control));
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(8, button->height() / 2));
}

// The whole Tools > Options command, with `drive` working the sheet while it runs.
void TestOptions::RunOptions(std::function<void(COptionsPropertySheet *)> drive)
{
    WhenModal<COptionsPropertySheet>(this, [drive](COptionsPropertySheet *sheet) {
        drive(sheet);
        if (sheet->isVisible())
            sheet->reject();
    });
    COptionsPropertySheet::OnToolsOptions(nullptr, m_view.get());
}

static QWidget *ButtonOf(QWidget *sheet, const char *name) { return sheet->findChild<QPushButton *>(QLatin1String(name)); }

void TestOptions::okWithoutChangesRewritesThirtyLines_data()
{
    QTest::addColumn<QList<int>>("pages");
    QTest::newRow("only the first page shown") << QList<int>{};
    QTest::newRow("every page shown") << QList<int>{FtpPage, EditorPage, JavaPage, JavacPage, ServerPage};
}

void TestOptions::okWithoutChangesRewritesThirtyLines()
{
    QFETCH(QList<int>, pages);
    const CSettings before = g_settings;
    m_view->ApplyFont(QFont(QStringLiteral("DejaVu Serif"), 20));
    QCOMPARE(m_view->lexer()->defaultFont().family(), QStringLiteral("DejaVu Serif"));
    CMessageBoxAnswerer boxes;
    RunOptions([&](COptionsPropertySheet *sheet) {
        QCOMPARE(sheet->windowTitle(), QStringLiteral("Options"));
        QStringList tabs;
        for (int i = 0; i < sheet->TabControl()->count(); ++i)
            tabs << sheet->TabControl()->tabText(i);
        QCOMPARE(tabs, (QStringList{"Perl", "FTP", "Editor", "Java Interpreter", "Java compiler", "Server "}));
        QCOMPARE(sheet->GetActiveIndex(), int(PerlPage));
        for (int page : pages)
            ShowPage(sheet, page);
        QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    });
    QCOMPARE(boxes.texts, QStringList());

    const QList<QByteArray> lines = ReadConfig().split('\n');
    QCOMPARE(lines.size(), 31);
    QVERIFY(lines.last().isEmpty());
    for (int i = 0; i < 30; ++i)
        QVERIFY2(lines[i].startsWith(QByteArray(kFileOrder[i]) + '='), lines[i].constData());
    QVERIFY(g_settings == before);
    QCOMPARE(ReadConfig().contains("FTP_PORT_NUMBER=00021\n"), true);
    const QFileDevice::Permissions others = QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ExeGroup
                                            | QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther;
    QCOMPARE(QFileInfo(CKestrelApp::SettingsPath()).permissions() & others, QFileDevice::Permissions());
    // The view takes the shared display font again after a save.
    QCOMPARE(m_view->lexer()->defaultFont().family(), QStringLiteral("DejaVu Sans Mono"));
}

void TestOptions::cancelWritesNothing()
{
    const CSettings before = g_settings;
    RunOptions([&](COptionsPropertySheet *sheet) {
        Type(sheet->PerlPage(), Edit(1000), QStringLiteral("/opt/perl"));
        ShowPage(sheet, ServerPage);
        Click(sheet->ServerPage(), QStringLiteral("radio_1041"));
        QTest::mouseClick(ButtonOf(sheet, "IDCANCEL"), Qt::LeftButton);
    });
    QCOMPARE(ReadConfig(), BaseConfig());
    QVERIFY(g_settings == before);
}

void TestOptions::okAppliesEveryShownPage()
{
    RunOptions([&](COptionsPropertySheet *sheet) {
        Type(sheet->PerlPage(), Edit(1038), QStringLiteral("-w -Mstrict"));
        ShowPage(sheet, JavaPage);
        Type(sheet->GetPage(JavaPage), Edit(1049), QStringLiteral("/srv/java/bin/java"));
        ShowPage(sheet, ServerPage);
        Type(sheet->ServerPage(), Edit(1061), QStringLiteral("other.example.org"));
        Type(sheet->ServerPage(), Edit(1062), QStringLiteral("2323"));
        ShowPage(sheet, EditorPage);
        QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    });
    QCOMPARE(g_settings.LOCAL_PERL_PRM, QStringLiteral("-w -Mstrict"));
    QCOMPARE(g_settings.REMOTE_JAVA_EXE, QStringLiteral("/srv/java/bin/java"));
    QCOMPARE(g_settings.SERVER_HOST, QStringLiteral("other.example.org"));
    QCOMPARE(g_settings.SERVER_PORT_NUMBER, 2323);
    QVERIFY(ReadConfig().contains("\nSERVER_PORT_NUMBER=02323\n"));
    QCOMPARE(g_settings.LOCAL_JAVAC_EXE, QStringLiteral("/usr/bin/javac"));
    QCOMPARE(g_settings.FTP_USER_PASS, QStringLiteral("se=cret "));
}

void TestOptions::applyThenCancelSaves()
{
    RunOptions([&](COptionsPropertySheet *sheet) {
        QWidget *apply = ButtonOf(sheet, "ID_APPLY_NOW");
        QVERIFY(!apply->isEnabled());
        ShowPage(sheet, FtpPage);
        Type(sheet->FtpPage(), Edit(1002), QStringLiteral("ftp.kestrel.test"));
        QVERIFY(apply->isEnabled());
        QTest::mouseClick(apply, Qt::LeftButton);
        QVERIFY(!apply->isEnabled());
        QVERIFY(sheet->isVisible());
        QCOMPARE(sheet->m_bSavePending, 1);
        QTest::mouseClick(ButtonOf(sheet, "IDCANCEL"), Qt::LeftButton);
    });
    QVERIFY(ReadConfig().contains("\nFTP_HOST_NAME=ftp.kestrel.test\n"));
    QCOMPARE(g_settings.FTP_HOST_NAME, QStringLiteral("ftp.kestrel.test"));
    QCOMPARE(ReadConfig().count('\n'), 30);
}

void TestOptions::applyEnabledByChangeNotifications_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("showing a page changes nothing") << int(ServerPage) << QString() << false;
    QTest::newRow("Perl executable typed") << int(PerlPage) << Edit(1000) << true;
    QTest::newRow("Perl server params typed") << int(PerlPage) << Edit(1039) << true;
    QTest::newRow("Perl check box ticked") << int(PerlPage) << QStringLiteral("check_1012") << false;
    QTest::newRow("FTP port typed") << int(FtpPage) << Edit(1003) << true;
    QTest::newRow("FTP password typed") << int(FtpPage) << Edit(1005) << true;
    QTest::newRow("Editor tab size typed") << int(EditorPage) << Edit(1018) << true;
    QTest::newRow("Editor sample typed") << int(EditorPage) << Edit(1017) << false;
    QTest::newRow("Editor Tabs clicked") << int(EditorPage) << QStringLiteral("radio_1021") << true;
    QTest::newRow("Editor No clicked") << int(EditorPage) << QStringLiteral("radio_1022") << true;
    QTest::newRow("Java interpreter check box ticked") << int(JavaPage) << QStringLiteral("check_1051") << false;
    QTest::newRow("Java interpreter server path typed") << int(JavaPage) << Edit(1049) << true;
    QTest::newRow("Java compiler check box ticked") << int(JavacPage) << QStringLiteral("check_1052") << true;
    QTest::newRow("Java compiler params typed") << int(JavacPage) << Edit(1044) << true;
    QTest::newRow("Server wrenShell clicked") << int(ServerPage) << QStringLiteral("radio_1040") << true;
    QTest::newRow("Server client typed") << int(ServerPage) << Edit(1063) << true;
}

void TestOptions::applyEnabledByChangeNotifications()
{
    QFETCH(int, page);
    QFETCH(QString, control);
    QFETCH(bool, enabled);
    COptionsPropertySheet *sheet = OpenSheet();
    ShowPage(sheet, page);
    QCOMPARE(sheet->GetActiveIndex(), page);
    QWidget *pageWidget = sheet->GetPage(page);
    if (control.startsWith(QLatin1String("edit_")))
        QTest::keyClicks(pageWidget->findChild<QLineEdit *>(control), QStringLiteral("7"));
    else if (!control.isEmpty())
        Click(pageWidget, control);
    QCOMPARE(ButtonOf(sheet, "ID_APPLY_NOW")->isEnabled(), enabled);
}

void TestOptions::refusedValuesKeepUserOnField_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("message");
    const QString between2and10 = QStringLiteral("Please enter an integer between 2 and 10.");
    const QString between1and100 = QStringLiteral("Please enter an integer between 1 and 100.");
    const QString integer = QStringLiteral("Please enter an integer.");
    const QString positive = QStringLiteral("Please enter a positive integer.");
    const QString port = QStringLiteral("Please enter an integer between 0 and 65535.");
    QTest::newRow("tab size 1") << int(EditorPage) << 1018 << "1" << "OK" << between2and10;
    QTest::newRow("tab size 11") << int(EditorPage) << 1018 << "11" << "Apply" << between2and10;
    QTest::newRow("tab size 70000") << int(EditorPage) << 1018 << "70000" << "OK" << between2and10;
    QTest::newRow("tab size abc") << int(EditorPage) << 1018 << "abc" << "OK" << integer;
    QTest::newRow("tab size empty") << int(EditorPage) << 1018 << "" << "tab" << integer;
    QTest::newRow("indent size 0") << int(EditorPage) << 1019 << "0" << "OK" << between1and100;
    QTest::newRow("indent size 101") << int(EditorPage) << 1019 << "101" << "tab" << between1and100;
    QTest::newRow("indent size -5") << int(EditorPage) << 1019 << "-5" << "Apply" << between1and100;
    QTest::newRow("FTP port -1") << int(FtpPage) << 1003 << "-1" << "OK" << positive;
    QTest::newRow("FTP port abc") << int(FtpPage) << 1003 << "abc" << "Apply" << positive;
    QTest::newRow("FTP port of 20 digits") << int(FtpPage) << 1003 << "99999999999999999999" << "tab" << positive;
    QTest::newRow("FTP port 70000") << int(FtpPage) << 1003 << "70000" << "OK" << port;
    QTest::newRow("FTP port 4294967295") << int(FtpPage) << 1003 << "4294967295" << "OK" << port;
    QTest::newRow("Server port -1") << int(ServerPage) << 1062 << "-1" << "OK" << positive;
    QTest::newRow("Server port 70000") << int(ServerPage) << 1062 << "70000" << "tab" << port;
    QTest::newRow("Server port 2x") << int(ServerPage) << 1062 << "2x" << "Apply" << positive;
}

void TestOptions::refusedValuesKeepUserOnField()
{
    QFETCH(int, page);
    QFETCH(int, control);
    QFETCH(QString, text);
    QFETCH(QString, trigger);
    QFETCH(QString, message);
    COptionsPropertySheet *sheet = OpenSheet();
    ShowPage(sheet, page);
    QWidget *pageWidget = sheet->GetPage(page);
    Type(pageWidget, Edit(control), text);
    auto *edit = pageWidget->findChild<QLineEdit *>(Edit(control));

    CMessageBoxAnswerer boxes;
    if (trigger == QLatin1String("OK"))
        QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    else if (trigger == QLatin1String("Apply"))
        QTest::mouseClick(ButtonOf(sheet, "ID_APPLY_NOW"), Qt::LeftButton);
    else
        ShowPage(sheet, page == PerlPage ? FtpPage : PerlPage);

    QCOMPARE(boxes.texts, QStringList{message});
    QVERIFY(sheet->isVisible());
    QCOMPARE(sheet->GetActiveIndex(), page);
    QCOMPARE(sheet->TabControl()->currentIndex(), page);
    QCOMPARE(sheet->focusWidget(), edit);
    QCOMPARE(edit->selectedText(), text);
    QCOMPARE(sheet->m_bSavePending, 0);

    // Once corrected, OK goes through.
    Type(pageWidget, Edit(control), QStringLiteral("8"));
    QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    QVERIFY(!sheet->isVisible());
    QCOMPARE(sheet->m_bSavePending, 1);
}

void TestOptions::sampleTextTakesTwentyCharacters()
{
    COptionsPropertySheet *sheet = OpenSheet();
    ShowPage(sheet, EditorPage);
    auto *sample = sheet->EditorPage()->findChild<QLineEdit *>(Edit(1017));
    QCOMPARE(sample->text(), QStringLiteral("Sample Text"));
    Type(sheet->EditorPage(), Edit(1017), QStringLiteral("abcdefghijklmnopqrstuvwxy"));
    QCOMPARE(sample->text(), QStringLiteral("abcdefghijklmnopqrst"));
    CMessageBoxAnswerer boxes;
    QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    QCOMPARE(boxes.texts, QStringList());
    QCOMPARE(sheet->EditorPage()->m_strSample, QStringLiteral("abcdefghijklmnopqrst"));
}

void TestOptions::noSettingsFileEditorRefusesZeros()
{
    QFile::remove(CKestrelApp::SettingsPath());
    g_settings = CSettings();
    QVERIFY(!CKestrelApp::Instance()->ReadSettings());
    COptionsPropertySheet *sheet = OpenSheet();
    ShowPage(sheet, EditorPage);
    QWidget *page = sheet->EditorPage();
    QCOMPARE(page->findChild<QLineEdit *>(Edit(1018))->text(), QStringLiteral("0"));
    QCOMPARE(page->findChild<QLineEdit *>(Edit(1019))->text(), QStringLiteral("0"));
    QVERIFY(page->findChild<QRadioButton *>(QStringLiteral("radio_1021"))->isChecked());
    QVERIFY(page->findChild<QRadioButton *>(QStringLiteral("radio_1022"))->isChecked());

    CMessageBoxAnswerer boxes;
    QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    Type(page, Edit(1019), QStringLiteral("3"));
    QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    QVERIFY(sheet->isVisible());
    Type(page, Edit(1018), QStringLiteral("4"));
    QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    QVERIFY(!sheet->isVisible());
    QCOMPARE(boxes.texts, (QStringList{QStringLiteral("Please enter an integer between 1 and 100."),
                                       QStringLiteral("Please enter an integer between 2 and 10.")}));
    const CSettings values = sheet->PageValues();
    QCOMPARE(values.TAB_SIZE, QStringLiteral("4"));
    QCOMPARE(values.INDENT_SIZE, QStringLiteral("3"));
    QCOMPARE(values.TAB_EXPAND, QString());
    QCOMPARE(values.AUTO_INDENT, 0);
    CLogFont lf;
    QCOMPARE(CLogFont::Parse(values.VIEW_FONT.toUtf8(), lf), 14);
}

void TestOptions::folderCheck_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QStringList>("presses");
    QTest::addColumn<bool>("showFtp");
    QTest::addColumn<QStringList>("messages");
    const QString missing = QStringLiteral("/nonexistent/kestrel/folder");
    const QString missingText = QStringLiteral("Directory /nonexistent/kestrel/folder was not found.");
    QTest::newRow("missing folder named on OK") << missing << QStringList{"OK"} << true << QStringList{missingText};
    QTest::newRow("empty folder leaves two blanks")
        << QString() << QStringList{"OK"} << true << QStringList{QStringLiteral("Directory  was not found.")};
    QTest::newRow("once per Apply and once per OK")
        << missing << QStringList{"Apply", "Apply", "OK"} << true << QStringList{missingText, missingText, missingText};
    QTest::newRow("OK after Apply without a change")
        << missing << QStringList{"Apply", "OK"} << true << QStringList{missingText, missingText};
    QTest::newRow("existing folder") << QStringLiteral("<temp>") << QStringList{"Apply", "OK"} << true << QStringList{};
    QTest::newRow("FTP page never shown is not checked") << missing << QStringList{"OK"} << false << QStringList{};
}

void TestOptions::folderCheck()
{
    QFETCH(QString, folder);
    QFETCH(QStringList, presses);
    QFETCH(bool, showFtp);
    QFETCH(QStringList, messages);
    if (folder == QLatin1String("<temp>"))
        folder = m_dir->path();
    g_settings.LOCAL_DIRECTORY = folder;
    CMessageBoxAnswerer boxes;
    RunOptions([&](COptionsPropertySheet *sheet) {
        if (showFtp)
            ShowPage(sheet, FtpPage);
        for (const QString &press : presses) {
            if (press == QLatin1String("Apply")) {
                // Apply is enabled by a change only.
                QTest::keyClicks(sheet->GetActivePage()->findChild<QLineEdit *>(Edit(1007)), QStringLiteral("x"));
                QVERIFY(ButtonOf(sheet, "ID_APPLY_NOW")->isEnabled());
            }
            QTest::mouseClick(ButtonOf(sheet, press == QLatin1String("OK") ? "IDOK" : "ID_APPLY_NOW"), Qt::LeftButton);
        }
    });
    QCOMPARE(boxes.texts, messages);
    // The values are saved anyway.
    QVERIFY(ReadConfig().contains("\nLOCAL_DIRECTORY=" + folder.toUtf8() + "\n"));
    QCOMPARE(g_settings.LOCAL_DIRECTORY, folder);
    QCOMPARE(CKestrelApp::Instance()->m_strOpenDir, folder);
}

void TestOptions::clientCheck_data()
{
    QTest::addColumn<QString>("client");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("empty path: no message") << QString() << QStringList{};
    QTest::newRow("missing client named")
        << QStringLiteral("/nonexistent/telnet client")
        << QStringList{QStringLiteral("Executable file /nonexistent/telnet client was not found.")};
    QTest::newRow("existing client") << QStringLiteral("/bin/sh") << QStringList{};
}

void TestOptions::clientCheck()
{
    QFETCH(QString, client);
    QFETCH(QStringList, messages);
    CMessageBoxAnswerer boxes;
    RunOptions([&](COptionsPropertySheet *sheet) {
        ShowPage(sheet, ServerPage);
        Type(sheet->ServerPage(), Edit(1063), client);
        QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    });
    QCOMPARE(boxes.texts, messages);
    QCOMPARE(g_settings.SERVER_CLIENT_EXEPATH, client);
}

void TestOptions::serverTypeRoundTrip_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("saved");
    QTest::newRow("telnet") << "telnet" << QString() << "radio_1042" << "telnet";
    QTest::newRow("wrenshell") << "wrenshell" << QString() << "radio_1040" << "wrenshell";
    QTest::newRow("other") << "other" << QString() << "radio_1041" << "other";
    QTest::newRow("empty shows Other, stays empty") << "" << QString() << "radio_1041" << "";
    QTest::newRow("ssh") << "ssh" << QString() << "radio_1064" << "ssh";
    QTest::newRow("unknown kept") << "rlogin" << QString() << "radio_1041" << "rlogin";
    QTest::newRow("wrong case kept") << "Telnet" << QString() << "radio_1041" << "Telnet";
    QTest::newRow("SSH in capitals kept") << "SSH" << QString() << "radio_1041" << "SSH";
    QTest::newRow("unknown, Other clicked") << "rlogin" << "radio_1041" << "radio_1041" << "other";
    QTest::newRow("telnet, SSH clicked") << "telnet" << "radio_1064" << "radio_1042" << "ssh";
    QTest::newRow("ssh, Telnet clicked") << "ssh" << "radio_1042" << "radio_1064" << "telnet";
    QTest::newRow("telnet, wrenShell clicked") << "telnet" << "radio_1040" << "radio_1042" << "wrenshell";
    QTest::newRow("wrenshell, Telnet clicked") << "wrenshell" << "radio_1042" << "radio_1040" << "telnet";
}

void TestOptions::serverTypeRoundTrip()
{
    QFETCH(QString, stored);
    QFETCH(QString, click);
    QFETCH(QString, shown);
    QFETCH(QString, saved);
    g_settings.SERVER_TYPE = stored;
    RunOptions([&](COptionsPropertySheet *sheet) {
        ShowPage(sheet, ServerPage);
        QVERIFY(sheet->ServerPage()->findChild<QRadioButton *>(shown)->isChecked());
        if (!click.isEmpty())
            Click(sheet->ServerPage(), click);
        QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    });
    QVERIFY(ReadConfig().contains("\nSERVER_TYPE=" + saved.toUtf8() + "\n"));
    QCOMPARE(g_settings.SERVER_TYPE, saved);
}

void TestOptions::serverPortFollowsType_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("click");
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("telnet's port to SSH") << "telnet" << 23 << "radio_1064" << QByteArray("00022");
    QTest::newRow("no port to SSH") << "other" << 0 << "radio_1064" << QByteArray("00022");
    QTest::newRow("own port stays for SSH") << "telnet" << 2222 << "radio_1064" << QByteArray("02222");
    QTest::newRow("SSH's port to telnet") << "ssh" << 22 << "radio_1042" << QByteArray("00023");
    QTest::newRow("own port stays for telnet") << "ssh" << 2323 << "radio_1042" << QByteArray("02323");
    QTest::newRow("wrenShell keeps any port") << "ssh" << 22 << "radio_1040" << QByteArray("00022");
}

void TestOptions::serverPortFollowsType()
{
    QFETCH(QString, stored);
    QFETCH(int, port);
    QFETCH(QString, click);
    QFETCH(QByteArray, saved);
    g_settings.SERVER_TYPE = stored;
    g_settings.SERVER_PORT_NUMBER = port;
    RunOptions([&](COptionsPropertySheet *sheet) {
        ShowPage(sheet, ServerPage);
        Click(sheet->ServerPage(), click);
        QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    });
    QVERIFY2(ReadConfig().contains("\nSERVER_PORT_NUMBER=" + saved + "\n"), ReadConfig().constData());
}

void TestOptions::javaCheckBoxesNeverSaved()
{
    const CSettings before = g_settings;
    RunOptions([&](COptionsPropertySheet *sheet) {
        ShowPage(sheet, JavaPage);
        Click(sheet->GetPage(JavaPage), QStringLiteral("check_1051"));
        ShowPage(sheet, JavacPage);
        Click(sheet->GetPage(JavacPage), QStringLiteral("check_1052"));
        QVERIFY(sheet->GetPage(JavacPage)->findChild<QCheckBox *>(QStringLiteral("check_1052"))->isChecked());
        QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    });
    QVERIFY(g_settings == before);
    QCOMPARE(ReadConfig().count('\n'), 30);

    COptionsPropertySheet *sheet = OpenSheet();
    ShowPage(sheet, JavaPage);
    QVERIFY(!sheet->GetPage(JavaPage)->findChild<QCheckBox *>(QStringLiteral("check_1051"))->isChecked());
    ShowPage(sheet, JavacPage);
    QVERIFY(!sheet->GetPage(JavacPage)->findChild<QCheckBox *>(QStringLiteral("check_1052"))->isChecked());
}

void TestOptions::editorRadiosAndSizes_data()
{
    QTest::addColumn<QString>("tabExpand");
    QTest::addColumn<bool>("showEditor");
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("tabSize");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("Editor never shown: auto-indent kept on")
        << "Y" << false << QStringList{} << QString() << QByteArray("TAB_EXPAND=Y\nTAB_SIZE=4\nINDENT_SIZE=3\n");
    QTest::newRow("Tabs and No clicked")
        << "Y" << true << QStringList{"radio_1021", "radio_1022"} << QString()
        << QByteArray("TAB_EXPAND=N\nTAB_SIZE=4\nINDENT_SIZE=3\nVIEW_FONT=-13,0,0,0,400,0,0,0,0,3,2,1,49,DejaVu Sans Mono\nAUTO_INDENT=N\n");
    QTest::newRow("unknown TAB_EXPAND kept unless clicked")
        << "x" << true << QStringList{} << QString() << QByteArray("TAB_EXPAND=x\n");
    QTest::newRow("unknown TAB_EXPAND, Spaces clicked")
        << "x" << true << QStringList{"radio_1020"} << QString() << QByteArray("TAB_EXPAND=Y\n");
    QTest::newRow("tab size written as a plain number")
        << "Y" << true << QStringList{} << "07" << QByteArray("TAB_SIZE=7\nINDENT_SIZE=3\n");
}

void TestOptions::editorRadiosAndSizes()
{
    QFETCH(QString, tabExpand);
    QFETCH(bool, showEditor);
    QFETCH(QStringList, clicks);
    QFETCH(QString, tabSize);
    QFETCH(QByteArray, expected);
    g_settings.TAB_EXPAND = tabExpand;
    RunOptions([&](COptionsPropertySheet *sheet) {
        if (showEditor) {
            ShowPage(sheet, EditorPage);
            const bool spaces = tabExpand == QLatin1String("Y");
            QCOMPARE(sheet->EditorPage()->findChild<QRadioButton *>(QStringLiteral("radio_1020"))->isChecked(), spaces);
            QVERIFY(sheet->EditorPage()->findChild<QRadioButton *>(QStringLiteral("radio_1023"))->isChecked());
        }
        for (const QString &c : clicks)
            Click(sheet->EditorPage(), c);
        if (!tabSize.isEmpty())
            Type(sheet->EditorPage(), Edit(1018), tabSize);
        QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    });
    QVERIFY2(ReadConfig().contains(expected), ReadConfig().constData());
    if (clicks.isEmpty())
        QVERIFY(ReadConfig().contains("\nAUTO_INDENT=Y\n"));
}

void TestOptions::fontButtonReplacesDisplayFontAtOnce()
{
    COptionsPropertySheet *sheet = OpenSheet();
    ShowPage(sheet, EditorPage);
    auto *sample = sheet->EditorPage()->findChild<QLineEdit *>(Edit(1017));
    QCOMPARE(sample->font().family(), QStringLiteral("DejaVu Sans Mono"));

    // Cancelling the font dialog changes nothing.
    WhenModal<QFontDialog>(this, [](QFontDialog *dlg) { dlg->reject(); });
    Click(sheet->EditorPage(), QStringLiteral("button_1013"));
    QCOMPARE(g_fontView.family(), QStringLiteral("DejaVu Sans Mono"));
    QVERIFY(!ButtonOf(sheet, "ID_APPLY_NOW")->isEnabled());

    WhenModal<QFontDialog>(this, [](QFontDialog *dlg) {
        dlg->setCurrentFont(QFont(QStringLiteral("DejaVu Serif"), 15));
        dlg->accept();
    });
    Click(sheet->EditorPage(), QStringLiteral("button_1013"));
    QCOMPARE(g_fontView.family(), QStringLiteral("DejaVu Serif"));
    QCOMPARE(sample->font().family(), QStringLiteral("DejaVu Serif"));
    QVERIFY(ButtonOf(sheet, "ID_APPLY_NOW")->isEnabled());

    // The sheet cancelled: nothing written, but the display font is already the new one.
    QTest::mouseClick(ButtonOf(sheet, "IDCANCEL"), Qt::LeftButton);
    QCOMPARE(ReadConfig(), BaseConfig());
    QCOMPARE(g_fontView.family(), QStringLiteral("DejaVu Serif"));

    // Through the command, the chosen font is saved and the view takes it.
    RunOptions([&](COptionsPropertySheet *s) {
        ShowPage(s, EditorPage);
        WhenModal<QFontDialog>(this, [](QFontDialog *dlg) {
            QFont f(QStringLiteral("DejaVu Serif"), 15);
            f.setBold(true);
            dlg->setCurrentFont(f);
            dlg->accept();
        });
        Click(s->EditorPage(), QStringLiteral("button_1013"));
        QTest::mouseClick(ButtonOf(s, "IDOK"), Qt::LeftButton);
    });
    QVERIFY2(ReadConfig().contains("\nVIEW_FONT=-20,0,0,0,700,0,0,0,0,3,2,1,"), ReadConfig().constData());
    QVERIFY(g_settings.VIEW_FONT.endsWith(QLatin1String(",DejaVu Serif")));
    QCOMPARE(m_view->lexer()->defaultFont().family(), QStringLiteral("DejaVu Serif"));
    QVERIFY(m_view->lexer()->defaultFont().bold());
}

void TestOptions::tabsAndAutoIndentTakeEffectAtNextKey()
{
    CKestrelView *view = m_view.get();
    view->SetTextBytes("  foo");
    view->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    QTest::keyClick(view, Qt::Key_Tab);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(view->GetTextBytes(), QByteArray("  foo    \n  "));

    RunOptions([&](COptionsPropertySheet *sheet) {
        ShowPage(sheet, EditorPage);
        Click(sheet->EditorPage(), QStringLiteral("radio_1021"));
        Click(sheet->EditorPage(), QStringLiteral("radio_1022"));
        QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    });
    view->SetTextBytes("  foo");
    view->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    QTest::keyClick(view, Qt::Key_Tab);
    QTest::keyClick(view, Qt::Key_Return);
    QCOMPARE(view->GetTextBytes(), QByteArray("  foo\t\n"));
}

void TestOptions::fontFaceWithDigitsIsCutWhenReadBack()
{
    // A family of the test's own, so that the case does not hang on which fonts the
    // machine happens to have.
    const QString family = QStringLiteral("Kestrel7 Mono");
    if (!QFontDatabase::families().contains(family))
        QVERIFY(QFontDatabase::addApplicationFont(QStringLiteral(KESTREL_FIXTURES_DIR "/fonts/Kestrel7Mono.ttf")) >= 0);
    QVERIFY(QFontDatabase::families().contains(family));
    RunOptions([&](COptionsPropertySheet *s) {
        ShowPage(s, EditorPage);
        WhenModal<QFontDialog>(this, [&family](QFontDialog *dlg) {
            dlg->setCurrentFont(QFont(family, 12));
            dlg->accept();
        });
        Click(s->EditorPage(), QStringLiteral("button_1013"));
        QTest::mouseClick(ButtonOf(s, "IDOK"), Qt::LeftButton);
    });
    QVERIFY2(ReadConfig().contains(",Kestrel7 Mono\n"), ReadConfig().constData());
    CLogFont lf;
    QCOMPARE(CLogFont::Parse(g_settings.VIEW_FONT.toUtf8(), lf), 14);
    QCOMPARE(lf.lfFaceName, QStringLiteral("Kestrel"));
    QCOMPARE(ReadConfig().count('\n'), 30);
}

void TestOptions::browseButtonSetsLocalFolder()
{
    const QString chosen = m_dir->path() + QStringLiteral("/chosen");
    COptionsPropertySheet *sheet = OpenSheet();
    ShowPage(sheet, FtpPage);
    QString startPath;
    WhenModal<CSelectDirectoryDlg>(this, [&](CSelectDirectoryDlg *dlg) {
        auto *edit = dlg->findChild<QLineEdit *>(QStringLiteral("edit_1065"));
        startPath = edit->text();
        edit->setText(chosen);
        QTest::mouseClick(dlg->findChild<QPushButton *>(QStringLiteral("IDOK")), Qt::LeftButton);
    });
    Click(sheet->FtpPage(), QStringLiteral("button_1028"));
    QCOMPARE(startPath, m_dir->path());
    QCOMPARE(sheet->FtpPage()->findChild<QLineEdit *>(Edit(1006))->text(), chosen);
    QCOMPARE(sheet->FtpPage()->m_strLocalDir, chosen);
    QVERIFY(ButtonOf(sheet, "ID_APPLY_NOW")->isEnabled());

    // Cancel leaves the folder as it is.
    WhenModal<CSelectDirectoryDlg>(this, [&](CSelectDirectoryDlg *dlg) {
        dlg->findChild<QLineEdit *>(QStringLiteral("edit_1065"))->setText(QStringLiteral("/elsewhere"));
        dlg->reject();
    });
    Click(sheet->FtpPage(), QStringLiteral("button_1028"));
    QCOMPARE(sheet->FtpPage()->findChild<QLineEdit *>(Edit(1006))->text(), chosen);
}

void TestOptions::browseButtonWithRefusedFieldStaysOnIt()
{
    COptionsPropertySheet *sheet = OpenSheet();
    ShowPage(sheet, FtpPage);
    Type(sheet->FtpPage(), Edit(1003), QStringLiteral("abc"));
    Type(sheet->FtpPage(), Edit(1007), QStringLiteral("/typed/remote"));
    bool opened = false;
    WhenModal<CSelectDirectoryDlg>(this, [&](CSelectDirectoryDlg *dlg) {
        opened = true;
        dlg->reject();
    });
    CMessageBoxAnswerer boxes;
    Click(sheet->FtpPage(), QStringLiteral("button_1028"));
    QTest::qWait(50);
    QVERIFY(!opened);
    QCOMPARE(boxes.texts, QStringList{QStringLiteral("Please enter a positive integer.")});
    QCOMPARE(sheet->focusWidget(), sheet->FtpPage()->findChild<QLineEdit *>(Edit(1003)));
    QCOMPARE(sheet->FtpPage()->findChild<QLineEdit *>(Edit(1007))->text(), QStringLiteral("/typed/remote"));
}

void TestOptions::unwritableSettingsFileKeepsSettings()
{
    const CSettings before = g_settings;
    g_strProgramDir = m_dir->path() + QStringLiteral("/no such folder/");
    CMessageBoxAnswerer boxes;
    RunOptions([&](COptionsPropertySheet *sheet) {
        Click(sheet->PerlPage(), QStringLiteral("check_1012"));
        Type(sheet->PerlPage(), Edit(1000), QStringLiteral("/opt/perl"));
        QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    });
    QCOMPARE(boxes.texts.size(), 1);
    QVERIFY2(boxes.texts[0].startsWith(QStringLiteral("Cannot write file ") + g_strProgramDir + QStringLiteral("Kestrel.cfg")),
             qPrintable(boxes.texts[0]));
    // RUN_IN_DOS_WINDOW takes its value before the write; nothing else changes.
    QCOMPARE(g_settings.RUN_IN_DOS_WINDOW, QStringLiteral("Y"));
    CSettings expected = before;
    expected.RUN_IN_DOS_WINDOW = QStringLiteral("Y");
    QVERIFY(g_settings == expected);
}

// The protocol of the transfers is chosen beside the host and stored as the host's
// scheme; the port follows when it held the other protocol's standard port.
void TestOptions::ftpProtocolChoice_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("storedPort");
    QTest::addColumn<int>("choose"); // -1: leave the box
    QTest::addColumn<QString>("typed"); // empty: leave the host
    QTest::addColumn<QString>("shownHost");
    QTest::addColumn<QString>("shownPort");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<int>("savedPort");
    QTest::newRow("a bare host stays bare FTP") << "ftp.example.org" << 21 << -1 << "" << "ftp.example.org" << "21"
                                                << "ftp.example.org" << 21;
    QTest::newRow("SFTP chosen: 21 becomes 22") << "ftp.example.org" << 21 << 2 << "" << "ftp.example.org" << "22"
                                                << "sftp://ftp.example.org" << 22;
    QTest::newRow("FTP chosen again: 22 becomes 21") << "sftp://h.example" << 22 << 0 << "" << "h.example" << "21"
                                                     << "ftp://h.example" << 21;
    QTest::newRow("FTPS keeps 21") << "h.example" << 21 << 1 << "" << "h.example" << "21" << "ftps://h.example" << 21;
    QTest::newRow("a port of the user's own is kept") << "h.example" << 2121 << 2 << "" << "h.example" << "2121"
                                                      << "sftp://h.example" << 2121;
    QTest::newRow("a scheme typed into the host wins") << "h.example" << 21 << -1 << "ftps://other.example"
                                                       << "h.example" << "21" << "ftps://other.example" << 21;
}

void TestOptions::ftpProtocolChoice()
{
    QFETCH(QString, stored);
    QFETCH(int, storedPort);
    QFETCH(int, choose);
    QFETCH(QString, typed);
    QFETCH(QString, shownHost);
    QFETCH(QString, shownPort);
    QFETCH(QString, saved);
    QFETCH(int, savedPort);
    g_settings.FTP_HOST_NAME = stored;
    g_settings.FTP_PORT_NUMBER = storedPort;
    RunOptions([&](COptionsPropertySheet *sheet) {
        ShowPage(sheet, FtpPage);
        QWidget *page = sheet->FtpPage();
        auto *protocol = page->findChild<QComboBox *>(QStringLiteral("combo_1041"));
        QVERIFY(protocol);
        if (choose >= 0)
            protocol->setCurrentIndex(choose);
        QCOMPARE(page->findChild<QLineEdit *>(Edit(1002))->text(), shownHost);
        QCOMPARE(page->findChild<QLineEdit *>(Edit(1003))->text(), shownPort);
        if (!typed.isEmpty())
            Type(page, Edit(1002), typed);
        QTest::mouseClick(ButtonOf(sheet, "IDOK"), Qt::LeftButton);
    });
    QCOMPARE(g_settings.FTP_HOST_NAME, saved);
    QCOMPARE(g_settings.FTP_PORT_NUMBER, savedPort);
    QCOMPARE(ReadConfig().count('\n'), 30);
}

int main(int argc, char **argv)
{
    CKestrelApp app(argc, argv);
    TestOptions test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_options.moc"

// The sheet opens with the first page's first field ready for typing, and Ctrl+Tab
// brings the next page's first field, also for a page built at that moment.
void TestOptions::keysGoToThePagesFirstField()
{
    COptionsPropertySheet *sheet = OpenSheet();
    QApplication::setActiveWindow(sheet);
    QVERIFY(QTest::qWaitForWindowActive(sheet));
    QCOMPARE(QApplication::focusWidget(), sheet->GetPage(0)->findChild<QLineEdit *>(QStringLiteral("edit_1000")));
    for (int i = 0; i < 2; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(sheet->GetActiveIndex(), 2);
    auto *tabSize = sheet->GetPage(2)->findChild<QLineEdit *>(QStringLiteral("edit_1018"));
    QCOMPARE(QApplication::focusWidget(), tabSize);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("6"));
    QCOMPARE(tabSize->text(), QStringLiteral("6"));
}

