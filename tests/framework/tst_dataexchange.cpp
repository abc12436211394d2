#include "framework/DataExchange.h"

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

namespace {

// Answers the next message box and remembers its text and caption.
struct MessageCatcher
{
    QString text;
    QString caption;
    void Arm()
    {
        QTimer::singleShot(0, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box)
                return;
            text = box->text();
            caption = box->windowTitle();
            box->accept();
        });
    }
};

} // namespace

class TestDataExchange : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QApplication::setApplicationDisplayName(QStringLiteral("Kestrel")); }
    void validation_data();
    void validation();
    void loadSetsLimit();
};

void TestDataExchange::validation_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("message");

    QTest::newRow("integer in range") << "range" << "4" << "";
    QTest::newRow("integer below range") << "range" << "1" << "Please enter an integer between 2 and 10.";
    QTest::newRow("integer above range") << "range" << "11" << "Please enter an integer between 2 and 10.";
    QTest::newRow("not an integer") << "range" << "4x" << "Please enter an integer.";
    QTest::newRow("empty integer") << "range" << "" << "Please enter an integer.";
    QTest::newRow("unsigned with a sign") << "unsigned" << "-21" << "Please enter a positive integer.";
    QTest::newRow("unsigned ok with blanks") << "unsigned" << " 21 " << "";
    QTest::newRow("unsigned too large") << "unsigned" << "4294967296" << "Please enter a positive integer.";
    QTest::newRow("text within limit") << "text" << "12345678901234567890" << "";
    QTest::newRow("text over limit") << "text" << "123456789012345678901" << "Please enter no more than 20 characters.";
}

void TestDataExchange::validation()
{
    QFETCH(QString, kind);
    QFETCH(QString, input);
    QFETCH(QString, message);

    QDialog dlg;
    auto *edit = new QLineEdit(&dlg);
    edit->setObjectName(QStringLiteral("IDC_FIELD"));
    auto *other = new QLineEdit(&dlg);
    other->setObjectName(QStringLiteral("IDC_OTHER"));
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    other->setFocus();
    edit->setText(input);

    MessageCatcher catcher;
    catcher.Arm();
    CDataExchange dx(&dlg, true);
    if (kind == QLatin1String("range")) {
        int v = 0;
        dx.Text(QStringLiteral("IDC_FIELD"), v);
        dx.MinMaxInt(v, 2, 10);
    } else if (kind == QLatin1String("unsigned")) {
        unsigned v = 0;
        dx.Text(QStringLiteral("IDC_FIELD"), v);
    } else {
        QString v;
        dx.Text(QStringLiteral("IDC_FIELD"), v);
        dx.MaxChars(v, 20);
    }
    QCOMPARE(dx.Failed(), !message.isEmpty());
    QCOMPARE(catcher.text, message);
    if (!message.isEmpty()) {
        QCOMPARE(catcher.caption, QStringLiteral("Kestrel"));
        // The user is kept on the field, its text selected for retyping.
        QCOMPARE(dlg.focusWidget(), edit);
        QCOMPARE(edit->selectedText(), input);
    }
}

void TestDataExchange::loadSetsLimit()
{
    QDialog dlg;
    auto *edit = new QLineEdit(&dlg);
    edit->setObjectName(QStringLiteral("IDC_FIELD"));
    QString value = QStringLiteral("abc");
    CDataExchange dx(&dlg, false);
    dx.Text(QStringLiteral("IDC_FIELD"), value);
    dx.MaxChars(value, 20);
    QCOMPARE(edit->text(), value);
    QCOMPARE(edit->maxLength(), 20);
}

QTEST_MAIN(TestDataExchange)
#include "tst_dataexchange.moc"
