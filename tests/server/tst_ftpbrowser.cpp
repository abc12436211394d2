#include "app/Settings.h"
#include "server/FtpBrowserDlg.h"
#include "server/FtpConnection.h"
#include "server/ServerLoginDlg.h"

#include "FtpTestServer.h"
#include "ModalDriver.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <curl/curl.h>

#include <memory>

namespace {

class CTestBrowserDlg : public CFtpBrowserDlg
{
public:
    using CFtpBrowserDlg::CFtpBrowserDlg;
    using CFtpBrowserDlg::OnInitDialog;
};

} // namespace

// The FTP browser dialog driven offscreen against a real server.
class TestFtpBrowser : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<CFtpTestServer> m_server;
    std::unique_ptr<CFtpConnection> m_connection;
    std::unique_ptr<CTestBrowserDlg> m_dlg;

    QTreeWidget *List() const { return m_dlg->findChild<QTreeWidget *>(QStringLiteral("list_1008")); }
    QString Text(const char *name) const
    {
        return m_dlg->findChild<QLineEdit *>(QLatin1String(name))->text();
    }
    QComboBox *Combo() const { return m_dlg->findChild<QComboBox *>(QStringLiteral("combo_1030")); }
    QStringList Names() const
    {
        QStringList names;
        for (int i = 0; i < List()->topLevelItemCount(); ++i)
            names << List()->topLevelItem(i)->text(0);
        names.sort();
        return names;
    }
    void Select(const QString &name)
    {
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            if (List()->topLevelItem(i)->text(0) == name)
                List()->topLevelItem(i)->setSelected(true);
        }
    }
    // The browser as Load or Put shows it, in the folder REMOTE_DIRECTORY names.
    void Open(bool bLoadMode = true)
    {
        m_dlg = std::make_unique<CTestBrowserDlg>();
        m_dlg->m_bLoadMode = bLoadMode;
        m_dlg->m_pFtpConnection = m_connection.get();
        m_dlg->show();
        m_dlg->OnInitDialog();
    }

private slots:
    void initTestCase() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    void cleanupTestCase() { curl_global_cleanup(); }
    void init()
    {
        m_server = std::make_unique<CFtpTestServer>();
        QVERIFY(m_server->Start());
        m_server->MakeDir(QStringLiteral("sub/inner"));
        m_server->MakeDir(QStringLiteral("empty"));
        m_server->WriteFile(QStringLiteral("a.pl"), "print 1;\n");
        m_server->WriteFile(QStringLiteral("b.bin"), QByteArray(1234, 'x'));
        m_server->WriteFile(QStringLiteral("sub/c.pl"), "c");
        m_connection = std::make_unique<CFtpConnection>(m_server->Params());
        QVERIFY(m_connection->Open());
        g_settings.REMOTE_DIRECTORY.clear();
    }
    void cleanup()
    {
        m_dlg.reset();
        m_connection.reset();
        m_server.reset();
    }

    void loadModeShowsTheListing()
    {
        Open(true);
        QCOMPARE(m_dlg->windowTitle(), QStringLiteral("Load from Server"));
        auto *load = m_dlg->findChild<QPushButton *>(QStringLiteral("button_1012"));
        QCOMPARE(load->text(), QStringLiteral("&Load"));
        QCOMPARE(load->toolTip(), QStringLiteral("Downloads the selected file into the editor or disk."));
        QCOMPARE(Names(), (QStringList{"a.pl", "b.bin", "empty", "sub"}));
        QCOMPARE(Text("edit_1058"), QStringLiteral("(4) Items listed."));
        QCOMPARE(Text("edit_1009"), QStringLiteral("/"));
        QCOMPARE(Combo()->currentText(), QStringLiteral("CD "));
        QCOMPARE(List()->headerItem()->text(0), QStringLiteral("Name"));
        QCOMPARE(List()->headerItem()->text(1), QStringLiteral("Size"));
        QCOMPARE(List()->headerItem()->text(2), QStringLiteral("Modified Date"));
        for (int i = 0; i < List()->topLevelItemCount(); ++i) {
            QTreeWidgetItem *item = List()->topLevelItem(i);
            bool folder = item->text(0) == QLatin1String("sub") || item->text(0) == QLatin1String("empty");
            QCOMPARE(item->data(0, Qt::UserRole).toBool(), folder);
            QVERIFY(!item->icon(0).isNull());
            QVERIFY(!item->text(2).isEmpty());
            if (item->text(0) == QLatin1String("b.bin"))
                QCOMPARE(item->text(1), QStringLiteral("   1234"));
        }
        QVERIFY(m_dlg->findChild<QRadioButton *>(QStringLiteral("radio_1023"))->isChecked());
        QVERIFY(m_dlg->findChild<QRadioButton *>(QStringLiteral("radio_1059"))->isChecked());
    }

    void putModeTitleAndPresetType()
    {
        m_dlg = std::make_unique<CTestBrowserDlg>();
        m_dlg->m_bLoadMode = false;
        m_dlg->m_strLocalFile = QStringLiteral("x.bin");
        m_dlg->m_nTransferType = 2;
        m_dlg->m_bAutoDetect = false;
        m_dlg->m_pFtpConnection = m_connection.get();
        m_dlg->show();
        m_dlg->OnInitDialog();
        QCOMPARE(m_dlg->windowTitle(), QStringLiteral("Put on Server - x.bin"));
        auto *put = m_dlg->findChild<QPushButton *>(QStringLiteral("button_1012"));
        QCOMPARE(put->text(), QStringLiteral("&Put"));
        QCOMPARE(put->toolTip(), QStringLiteral("Uploads the current file to the server."));
        QVERIFY(m_dlg->findChild<QRadioButton *>(QStringLiteral("radio_1022"))->isChecked());
        QVERIFY(!m_dlg->findChild<QRadioButton *>(QStringLiteral("radio_1053"))->isChecked());
        QVERIFY(!m_dlg->findChild<QRadioButton *>(QStringLiteral("radio_1023"))->isChecked());
        put->click();
        QCOMPARE(m_dlg->result(), int(QDialog::Accepted));
    }

    void startsInTheRemoteDirectory()
    {
        g_settings.REMOTE_DIRECTORY = QStringLiteral("/sub");
        Open();
        QCOMPARE(Text("edit_1009"), QStringLiteral("/sub"));
        QCOMPARE(Names(), (QStringList{"c.pl", "inner"}));
    }

    void missingRemoteDirectoryIsReported()
    {
        g_settings.REMOTE_DIRECTORY = QStringLiteral("/gone");
        CModalDriver driver;
        driver.ExpectMessage();
        Open();
        QVERIFY(driver.Done());
        QVERIFY(driver.Failures().isEmpty());
        QVERIFY(driver.Messages().value(0).startsWith(QLatin1String("Error setting remote directory")));
        QCOMPARE(Text("edit_1009"), QStringLiteral("/"));
        QCOMPARE(Names().size(), 4);
    }

    void emptyFolderListsNothing()
    {
        g_settings.REMOTE_DIRECTORY = QStringLiteral("/empty");
        Open();
        QCOMPARE(List()->topLevelItemCount(), 0);
        QCOMPARE(Text("edit_1058"), QStringLiteral("(0) Items listed."));
    }

    void refreshShowsNewFiles()
    {
        Open();
        m_server->WriteFile(QStringLiteral("new.pl"), "");
        m_dlg->findChild<QPushButton *>(QStringLiteral("button_1010"))->click();
        QVERIFY(Names().contains(QStringLiteral("new.pl")));
        QCOMPARE(Text("edit_1058"), QStringLiteral("(5) Items listed."));
    }

    void radioButtonsSetTheMembers()
    {
        Open();
        auto click = [this](const char *name) { m_dlg->findChild<QRadioButton *>(QLatin1String(name))->click(); };
        click("radio_1022");
        QCOMPARE(m_dlg->m_nTransferType, 2u);
        QVERIFY(!m_dlg->m_bAutoDetect);
        click("radio_1053");
        QCOMPARE(m_dlg->m_nTransferType, 1u);
        QVERIFY(!m_dlg->m_bAutoDetect);
        click("radio_1022");
        click("radio_1023");
        QCOMPARE(m_dlg->m_nTransferType, 1u);
        QVERIFY(m_dlg->m_bAutoDetect);
        click("radio_1060");
        QVERIFY(!m_dlg->m_bToEditor);
        click("radio_1059");
        QVERIFY(m_dlg->m_bToEditor);
    }

    // Each row: the command line, the row selected first, the windows the command
    // opens with the answer given to each ("accept" or "reject"), then what must hold.
    void exec_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("selected");
        QTest::addColumn<QStringList>("windows");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("exists");
        QTest::addColumn<QString>("missing");
        const QStringList none;
        QTest::newRow("CD into a typed folder") << "CD sub" << "" << none << none << none << "/sub" << "" << "";
        QTest::newRow("lower-case cd") << "cd sub" << "" << none << none << none << "/sub" << "" << "";
        QTest::newRow("CD .. with a row selected enters the row")
            << "CD .." << "sub" << none << none << none << "/sub" << "" << "";
        QTest::newRow("CD to a missing folder stays") << "CD nowhere" << "" << none << none << none << "/" << ""
                                                      << "";
        QTest::newRow("MKDIR creates and says so")
            << "MKDIR made" << "" << QStringList{"CreateDirDlg", "AfxMessageBox"} << QStringList{"accept", "accept"}
            << QStringList{"Directory made created."} << "/" << "made" << "";
        QTest::newRow("MKDIR cancelled") << "MKDIR made" << "" << QStringList{"CreateDirDlg"} << QStringList{"reject"}
                                         << none << "/" << "" << "made";
        QTest::newRow("RMDIR of the selected row")
            << "RMDIR" << "empty" << QStringList{"AfxMessageBox"} << QStringList{"accept"}
            << QStringList{"Remove directory :empty"} << "/" << "" << "empty";
        QTest::newRow("RMDIR answered No keeps it")
            << "RMDIR empty" << "" << QStringList{"AfxMessageBox"} << QStringList{"reject"}
            << QStringList{"Remove directory :empty"} << "/" << "empty" << "";
        QTest::newRow("RENAME typed names")
            << "rename a.pl z.pl" << "" << QStringList{"RenameFileDlg", "AfxMessageBox"}
            << QStringList{"accept", "accept"} << QStringList{"File a.pl renamed to z.pl"} << "/" << "z.pl" << "a.pl";
        QTest::newRow("DELETE the selected row")
            << "DELETE other.pl" << "a.pl" << QStringList{"AfxMessageBox"} << QStringList{"accept"}
            << QStringList{"Delete file :a.pl"} << "/" << "b.bin" << "a.pl";
        QTest::newRow("DELETE answered No keeps it")
            << "DELETE a.pl" << "" << QStringList{"AfxMessageBox"} << QStringList{"reject"}
            << QStringList{"Delete file :a.pl"} << "/" << "a.pl" << "";
        QTest::newRow("unknown command refused")
            << "get x" << "" << QStringList{"AfxMessageBox"} << QStringList{"accept"}
            << QStringList{"FTP command :GET not allowed"} << "/" << "" << "";
    }
    void exec()
    {
        QFETCH(QString, line);
        QFETCH(QString, selected);
        QFETCH(QStringList, windows);
        QFETCH(QStringList, answers);
        QFETCH(QStringList, messages);
        QFETCH(QString, dir);
        QFETCH(QString, exists);
        QFETCH(QString, missing);
        Open();
        CModalDriver driver;
        for (int i = 0; i < windows.size(); ++i) {
            bool accept = answers[i] == QLatin1String("accept");
            if (windows[i] == QLatin1String("AfxMessageBox"))
                driver.ExpectMessage(accept);
            else
                driver.Expect(windows[i], [accept](QWidget *w) {
                    CModalDriver::Click(w, accept ? QStringLiteral("button_1") : QStringLiteral("button_2"));
                });
        }
        Combo()->setEditText(line);
        if (!selected.isEmpty())
            Select(selected);
        m_dlg->findChild<QPushButton *>(QStringLiteral("button_1011"))->click();
        QVERIFY2(driver.Failures().isEmpty(), qPrintable(driver.Failures().join(QLatin1Char('\n'))));
        QVERIFY2(driver.Done(), qPrintable(driver.Seen().join(QLatin1Char(','))));
        QCOMPARE(driver.Messages(), messages);
        QCOMPARE(Text("edit_1009"), dir);
        QCOMPARE(m_connection->CurrentDirectory(), dir);
        if (!exists.isEmpty())
            QVERIFY(QFileInfo::exists(m_server->PathOf(exists)));
        if (!missing.isEmpty())
            QVERIFY(!QFileInfo::exists(m_server->PathOf(missing)));
    }

    void cdRemembersTheFolderAsRemoteDirectory()
    {
        Open();
        Combo()->setEditText(QStringLiteral("CD sub"));
        m_dlg->findChild<QPushButton *>(QStringLiteral("button_1011"))->click();
        QCOMPARE(g_settings.REMOTE_DIRECTORY, QStringLiteral("/sub"));
        QCOMPARE(Names(), (QStringList{"c.pl", "inner"}));
        Combo()->setEditText(QStringLiteral("CD .."));
        m_dlg->findChild<QPushButton *>(QStringLiteral("button_1011"))->click();
        QCOMPARE(g_settings.REMOTE_DIRECTORY, QStringLiteral("/"));
    }

    void failedCommandShowsTheReplyInTheStatusLine()
    {
        Open();
        Combo()->setEditText(QStringLiteral("CD nowhere"));
        m_dlg->findChild<QPushButton *>(QStringLiteral("button_1011"))->click();
        QVERIFY2(Text("edit_1058").startsWith(QLatin1String("550")), qPrintable(Text("edit_1058")));
    }

    void renameWithSelectionOffersTheRowName()
    {
        Open();
        CModalDriver driver;
        QString oldName, newName;
        driver.Expect(QStringLiteral("RenameFileDlg"), [&](QWidget *w) {
            auto *oldEdit = w->findChild<QLineEdit *>(QStringLiteral("edit_1033"));
            auto *newEdit = w->findChild<QLineEdit *>(QStringLiteral("edit_1034"));
            oldName = oldEdit->text();
            newName = newEdit->text();
            QVERIFY(oldEdit->isReadOnly());
            newEdit->setText(QStringLiteral("renamed.bin"));
            CModalDriver::Click(w, QStringLiteral("button_1"));
        });
        driver.ExpectMessage();
        Combo()->setEditText(QStringLiteral("RENAME"));
        Select(QStringLiteral("b.bin"));
        m_dlg->findChild<QPushButton *>(QStringLiteral("button_1011"))->click();
        QCOMPARE(oldName, QStringLiteral("b.bin"));
        QCOMPARE(newName, QStringLiteral("b.bin"));
        QVERIFY(QFileInfo::exists(m_server->PathOf(QStringLiteral("renamed.bin"))));
    }

    void loadWithoutSelection()
    {
        Open();
        CModalDriver driver;
        driver.ExpectMessage();
        m_dlg->findChild<QPushButton *>(QStringLiteral("button_1012"))->click();
        QCOMPARE(driver.Messages(), QStringList{QStringLiteral("No Item selected")});
        QCOMPARE(m_dlg->result(), int(QDialog::Accepted));
        QVERIFY(m_dlg->m_strRemoteFile.isEmpty());
    }

    void loadAsksBeforeDownloading_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("OK closes the dialog") << true;
        QTest::newRow("Cancel keeps it open") << false;
    }
    void loadAsksBeforeDownloading()
    {
        QFETCH(bool, confirm);
        Open();
        CModalDriver driver;
        driver.ExpectMessage(confirm);
        Select(QStringLiteral("a.pl"));
        m_dlg->findChild<QPushButton *>(QStringLiteral("button_1012"))->click();
        QCOMPARE(driver.Messages(), QStringList{QStringLiteral("a.pl will be downloaded")});
        QCOMPARE(m_dlg->m_strRemoteFile, QStringLiteral("a.pl"));
        QCOMPARE(m_dlg->isVisible(), !confirm);
        QCOMPARE(m_dlg->result(), confirm ? int(QDialog::Accepted) : 0);
    }

    void tooltips()
    {
        Open();
        auto tip = [this](const char *name) { return m_dlg->findChild<QWidget *>(QLatin1String(name))->toolTip(); };
        QCOMPARE(tip("button_1011"), QStringLiteral("Executes the selected FTP command."));
        QCOMPARE(tip("button_1010"), QStringLiteral("Refreshes the file and directory list display."));
        QCOMPARE(tip("combo_1030"), QStringLiteral("Select the FTP command to execute on the server."));
        QCOMPARE(tip("edit_1009"), QStringLiteral("Current directory on the FTP server."));
        QCOMPARE(tip("group_1077"), QStringLiteral("Choose appropriate transfer type."));
        QCOMPARE(tip("group_1078"), QStringLiteral("Choose appropriate transfer target."));
    }

    void loginPromptShowsTheHostAndLimitsTheFields()
    {
        CServerLoginDlg login;
        login.m_strHost = QStringLiteral("ftp.example.org");
        login.m_strUserName = QStringLiteral("me");
        login.m_strPassword = QStringLiteral("pw");
        CModalDriver driver;
        QString host, typedUser;
        bool hostReadOnly = false, passwordHidden = false;
        driver.Expect(QStringLiteral("ServerLoginDlg"), [&](QWidget *w) {
            auto *hostEdit = w->findChild<QLineEdit *>(QStringLiteral("edit_1033"));
            host = hostEdit->text();
            hostReadOnly = hostEdit->isReadOnly();
            passwordHidden = w->findChild<QLineEdit *>(QStringLiteral("edit_1032"))->echoMode() == QLineEdit::Password;
            auto *user = w->findChild<QLineEdit *>(QStringLiteral("edit_1031"));
            user->clear();
            QTest::keyClicks(user, QStringLiteral("abcdefghijklmnopqrstuvwxyz"));
            typedUser = user->text();
            CModalDriver::Click(w, QStringLiteral("button_1"));
        });
        QCOMPARE(login.DoModal(), int(QDialog::Accepted));
        QVERIFY(driver.Failures().isEmpty());
        QCOMPARE(login.windowTitle(), QStringLiteral("Server Login"));
        QCOMPARE(host, QStringLiteral("ftp.example.org"));
        QVERIFY(hostReadOnly);
        QVERIFY(passwordHidden);
        QCOMPARE(typedUser, QStringLiteral("abcdefghijklmnopqrst"));
        QCOMPARE(login.m_strUserName, QStringLiteral("abcdefghijklmnopqrst"));
        QCOMPARE(login.m_strPassword, QStringLiteral("pw"));
    }

    void commandBoxOffersTheSixCommandsSorted()
    {
        Open();
        QStringList items;
        for (int i = 0; i < Combo()->count(); ++i)
            items << Combo()->itemText(i);
        QCOMPARE(items, (QStringList{"CD ", "CD ..", "DELETE", "MKDIR", "RENAME", "RMDIR"}));
    }
};

QTEST_MAIN(TestFtpBrowser)
#include "tst_ftpbrowser.moc"
