#include "server/PasswordPrompt.h"

#include <QTest>

// Which last line of output asks for a secret, as the programs run at a remote shell ask.
class TestPasswordPrompt : public QObject
{
    Q_OBJECT

private slots:
    void isPrompt_data();
    void isPrompt();
    void lastLineOfTheText_data();
    void lastLineOfTheText();
};

void TestPasswordPrompt::isPrompt_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("asks");
    QTest::newRow("su") << "Password: " << true;
    QTest::newRow("sudo") << "[sudo] password for kestrel: " << true;
    QTest::newRow("passwd current") << "Current password: " << true;
    QTest::newRow("passwd new") << "New password: " << true;
    QTest::newRow("passwd again") << "Retype new password: " << true;
    QTest::newRow("old passwd") << "(current) UNIX password:" << true;
    QTest::newRow("ssh login") << "kestrel@host.example's password: " << true;
    QTest::newRow("ssh key") << "Enter passphrase for key '/home/kestrel/.ssh/id_ed25519': " << true;
    QTest::newRow("ssh-keygen") << "Enter passphrase (empty for no passphrase): " << true;
    QTest::newRow("git over https") << "Password for 'https://kestrel@git.example': " << true;
    QTest::newRow("capitals, blanks and tabs after") << "PASSWORD:  \t " << true;
    QTest::newRow("read -s -p without colon") << "Enter your passphrase " << true;
    QTest::newRow("token") << "Passcode:" << true;
    QTest::newRow("shell prompt") << "kestrel@host:~/passwords$ " << false;
    QTest::newRow("a line about a password") << "passwd: password updated successfully" << false;
    QTest::newRow("message ending in a period") << "Changing password for kestrel." << false;
    QTest::newRow("other question") << "Overwrite existing file? [y/N]: " << false;
    QTest::newRow("user name") << "login: " << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("colon only") << ":" << false;
}

void TestPasswordPrompt::isPrompt()
{
    QFETCH(QString, line);
    QFETCH(bool, asks);
    QCOMPARE(CPasswordPrompt::IsPrompt(line), asks);
}

void TestPasswordPrompt::lastLineOfTheText_data()
{
    QTest::addColumn<QStringList>("pieces"); // received one after the other
    QTest::addColumn<bool>("asks");
    QTest::newRow("prompt after output") << QStringList{"ls\nfile.pl\n$ sudo ls\n[sudo] password for kestrel: "}
                                         << true;
    QTest::newRow("prompt in pieces") << QStringList{"[sudo] pass", "word for ", "kestrel: "} << true;
    QTest::newRow("answered: the line ended") << QStringList{"Password: ", "\n"} << false;
    QTest::newRow("output after the prompt") << QStringList{"Password: ", "\nsu: Authentication failure\n$ "}
                                             << false;
    QTest::newRow("prompt redrawn after a carriage return") << QStringList{"Working...\rPassword: "} << true;
    QTest::newRow("long line ending in a prompt") << QStringList{QString(5000, QLatin1Char('x')), "Password: "}
                                                  << true;
    QTest::newRow("prompt followed by a long line") << QStringList{"Password: ", QString(5000, QLatin1Char('x'))}
                                                    << false;
}

void TestPasswordPrompt::lastLineOfTheText()
{
    QFETCH(QStringList, pieces);
    QFETCH(bool, asks);
    CPasswordPrompt prompt;
    for (const QString &piece : pieces)
        prompt.Feed(piece);
    QCOMPARE(prompt.IsAsking(), asks);
    prompt.Reset();
    QVERIFY(!prompt.IsAsking());
}

QTEST_APPLESS_MAIN(TestPasswordPrompt)
#include "tst_passwordprompt.moc"
