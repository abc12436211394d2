#include "ModalDriver.h"

#include "server/TransferQuestionBox.h"

#include <QMessageBox>
#include <QPushButton>
#include <QtTest>

#include <atomic>
#include <thread>

// The trust questions of the transfers as the user meets them: message boxes on the
// GUI thread, asked from there or from a transfer's worker thread. Trust takes a
// deliberate Yes: Return and Escape refuse.
class TestTransferQuestionBox : public QObject
{
    Q_OBJECT

private slots:
    void trustTakesYes_data();
    void trustTakesYes();
};

void TestTransferQuestionBox::trustTakesYes_data()
{
    QTest::addColumn<QString>("question");
    QTest::addColumn<QString>("answer"); // a key, or the button pressed
    QTest::addColumn<bool>("fromWorker");
    QTest::addColumn<bool>("trusted");
    for (const char *question : {"host key", "certificate"}) {
        for (bool fromWorker : {false, true}) {
            const char *thread = fromWorker ? "worker" : "GUI thread";
            QTest::addRow("%s, %s, Return", question, thread) << question << "Return" << fromWorker << false;
            QTest::addRow("%s, %s, Enter", question, thread) << question << "Enter" << fromWorker << false;
            QTest::addRow("%s, %s, Escape", question, thread) << question << "Escape" << fromWorker << false;
            QTest::addRow("%s, %s, Yes", question, thread) << question << "Yes" << fromWorker << true;
        }
    }
}

void TestTransferQuestionBox::trustTakesYes()
{
    QFETCH(QString, question);
    QFETCH(QString, answer);
    QFETCH(bool, fromWorker);
    QFETCH(bool, trusted);
    CModalDriver driver;
    QString text;
    bool bDefaultNo = false;
    driver.Expect(QStringLiteral("AfxMessageBox"), [&](QWidget *w) {
        auto *box = static_cast<QMessageBox *>(w);
        text = box->text();
        bDefaultNo = box->defaultButton() && box->defaultButton() == box->button(QMessageBox::No);
        if (answer == QLatin1String("Yes"))
            box->button(QMessageBox::Yes)->click();
        else
            QTest::keyClick(box, answer == QLatin1String("Return") ? Qt::Key_Return
                                 : answer == QLatin1String("Enter") ? Qt::Key_Enter
                                                                     : Qt::Key_Escape);
    });
    const QString strText = QStringLiteral("Trust the %1 of 127.0.0.1?").arg(question);
    auto ask = [&] {
        CTransferQuestionBox &box = CTransferQuestionBox::Instance();
        return question == QLatin1String("host key") ? box.TrustHostKey(strText) : box.TrustCertificate(strText);
    };
    bool result = !trusted;
    if (fromWorker) {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            result = ask();
            done = true;
        });
        // The GUI thread keeps serving events, as the window does while a transfer asks.
        QVERIFY(QTest::qWaitFor([&] { return done.load(); }, 20000));
        worker.join();
    } else {
        result = ask();
    }
    QVERIFY2(driver.Failures().isEmpty(), qPrintable(driver.Failures().join('\n')));
    QVERIFY(driver.Done());
    QCOMPARE(text, strText);
    QCOMPARE(result, trusted);
    QVERIFY(bDefaultNo);
}

QTEST_MAIN(TestTransferQuestionBox)
#include "tst_transferquestionbox.moc"
