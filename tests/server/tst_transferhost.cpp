#include "server/TransferHost.h"

#include <QTest>

// FTP_HOST_NAME read as a protocol, a host and perhaps a port.
class TestTransferHost : public QObject
{
    Q_OBJECT

private slots:
    void parse_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("protocol");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("port");
        QTest::addColumn<bool>("valid");
        QTest::newRow("bare host is FTP") << "ftp.example.org" << int(CTransferHost::FTP) << "ftp.example.org" << 0 << true;
        QTest::newRow("blanks around") << "  sftp://h.example  " << int(CTransferHost::SFTP) << "h.example" << 0 << true;
        QTest::newRow("scheme in capitals") << "SFTP://h" << int(CTransferHost::SFTP) << "h" << 0 << true;
        QTest::newRow("ftps with port") << "ftps://h:990" << int(CTransferHost::FTPS) << "h" << 990 << true;
        QTest::newRow("ftp explicit") << "ftp://h/some/path" << int(CTransferHost::FTP) << "h" << 0 << true;
        QTest::newRow("user in the URL is dropped") << "sftp://anna@h:2222" << int(CTransferHost::SFTP) << "h" << 2222
                                                    << true;
        QTest::newRow("bare IPv6") << "::1" << int(CTransferHost::FTP) << "::1" << 0 << true;
        QTest::newRow("IPv6 in brackets with port") << "sftp://[::1]:2200" << int(CTransferHost::SFTP) << "::1" << 2200
                                                    << true;
        QTest::newRow("bare host with port") << "h:2121" << int(CTransferHost::FTP) << "h" << 2121 << true;
        QTest::newRow("unknown scheme") << "http://h" << int(CTransferHost::FTP) << "" << 0 << false;
        QTest::newRow("port out of range") << "sftp://h:70000" << int(CTransferHost::SFTP) << "h" << 0 << false;
        QTest::newRow("port not a number") << "sftp://h:abc" << int(CTransferHost::SFTP) << "h" << 0 << false;
        QTest::newRow("no host") << "sftp://" << int(CTransferHost::SFTP) << "" << 0 << false;
        QTest::newRow("unclosed bracket") << "sftp://[::1" << int(CTransferHost::SFTP) << "" << 0 << false;
        QTest::newRow("empty stays FTP") << "" << int(CTransferHost::FTP) << "" << 0 << true;
    }
    void parse()
    {
        QFETCH(QString, setting);
        QFETCH(int, protocol);
        QFETCH(QString, host);
        QFETCH(int, port);
        QFETCH(bool, valid);
        const CTransferHost h = CTransferHost::Parse(setting);
        QCOMPARE(h.IsValid(), valid);
        QCOMPARE(int(h.m_protocol), protocol);
        if (!valid) {
            QVERIFY(h.m_strError.contains(setting.trimmed()));
            return;
        }
        QCOMPARE(h.m_strHost, host);
        QCOMPARE(h.m_nPort, port);
    }

    void composeAndPorts()
    {
        QCOMPARE(CTransferHost::Compose(CTransferHost::FTP, QStringLiteral("h")), QStringLiteral("h"));
        QCOMPARE(CTransferHost::Compose(CTransferHost::FTP, QStringLiteral("h"), false), QStringLiteral("ftp://h"));
        QCOMPARE(CTransferHost::Compose(CTransferHost::SFTP, QStringLiteral("ftps://h:1")), QStringLiteral("sftp://h:1"));
        QCOMPARE(CTransferHost::Compose(CTransferHost::SFTP, QString()), QString());
        QCOMPARE(CTransferHost::PortAfterSwitch(CTransferHost::FTP, CTransferHost::SFTP, 21), 22);
        QCOMPARE(CTransferHost::PortAfterSwitch(CTransferHost::SFTP, CTransferHost::FTPS, 22), 21);
        QCOMPARE(CTransferHost::PortAfterSwitch(CTransferHost::FTP, CTransferHost::FTPS, 21), 21);
        QCOMPARE(CTransferHost::PortAfterSwitch(CTransferHost::FTP, CTransferHost::SFTP, 2121), 2121);
    }
};

QTEST_GUILESS_MAIN(TestTransferHost)
#include "tst_transferhost.moc"
