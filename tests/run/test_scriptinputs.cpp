#include "run/RedirectPipe.h"
#include "run/ScriptInputsDlg.h"
#include "run/SendInputDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

// Answers the next message box with OK and returns its text through `text`.
void AnswerMessageBox(QString *text)
{
    QTimer::singleShot(0, [text] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *box = qobject_cast<QMessageBox *>(w); box && box->isVisible()) {
                *text = box->text();
                box->accept();
                return;
            }
        }
        AnswerMessageBox(text);
    });
}

QByteArray ReadAll(CRedirectPipe &pipe)
{
    QByteArray all;
    char buf[512];
    int n;
    while ((n = pipe.ReadAvailable(buf, sizeof buf, 2000)) > 0)
        all.append(buf, n);
    return all;
}

} // namespace

class TestScriptInputs : public QObject
{
    Q_OBJECT

private slots:
    void methodIsUpperCasedAndTrimmed_data();
    void methodIsUpperCasedAndTrimmed();
    void limits_data();
    void limits();
    void cancelKeepsRecord();
    void eachOpeningStartsAtTheMethod();
    void viewMode();
    void cgiButtonFollowsChosenMethod();
    void sendLines();
    void eofClosesStdin();
};

void TestScriptInputs::methodIsUpperCasedAndTrimmed_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");
    QTest::newRow("lower-case post") << "post" << "POST";
    QTest::newRow("blanks around get") << "  get " << "GET";
    QTest::newRow("only blanks is empty") << "   " << "";
}

void TestScriptInputs::methodIsUpperCasedAndTrimmed()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    CScriptInputsDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    auto *combo = dlg.findChild<QComboBox *>(QStringLiteral("combo_1064"));
    QVERIFY(combo);
    combo->lineEdit()->clear();
    QTest::keyClicks(combo->lineEdit(), typed);
    QCOMPARE(combo->currentText(), typed.toUpper());
    dlg.findChild<QPushButton *>(QStringLiteral("button_1"))->click();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(dlg.m_strMethod, saved);
    QCOMPARE(combo->currentText(), saved);
}

void TestScriptInputs::limits_data()
{
    QTest::addColumn<int>("inputs");
    QTest::addColumn<QString>("message");
    QTest::newRow("4000 characters are accepted") << 4000 << QString();
    QTest::newRow("4001 characters are refused") << 4001 << "Please enter no more than 4000 characters.";
}

void TestScriptInputs::limits()
{
    QFETCH(int, inputs);
    QFETCH(QString, message);
    CScriptInputsDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    dlg.findChild<QPlainTextEdit *>(QStringLiteral("edit_1037"))->setPlainText(QString(inputs, QLatin1Char('a')));
    QString shown;
    if (!message.isEmpty())
        AnswerMessageBox(&shown);
    dlg.accept();
    QCOMPARE(shown, message);
    QCOMPARE(dlg.isVisible(), !message.isEmpty());
    QCOMPARE(dlg.m_strInputs.size(), message.isEmpty() ? inputs : 0);
}

void TestScriptInputs::cancelKeepsRecord()
{
    CScriptInputsDlg dlg;
    dlg.m_strInputs = QStringLiteral("kept");
    dlg.OnInitDialog();
    dlg.show();
    dlg.findChild<QPlainTextEdit *>(QStringLiteral("edit_1037"))->setPlainText(QStringLiteral("changed"));
    dlg.findChild<QPushButton *>(QStringLiteral("button_2"))->click();
    QCOMPARE(dlg.m_strInputs, QStringLiteral("kept"));
}

// The window is kept between openings; typing straight away still replaces the method.
void TestScriptInputs::eachOpeningStartsAtTheMethod()
{
    CScriptInputsDlg dlg;
    for (const char *method : {"post", "get"}) {
        QTimer::singleShot(0, &dlg, [&dlg, method] {
            QWidget *focus = dlg.focusWidget();
            QVERIFY(focus);
            QTest::keyClicks(focus, QLatin1String(method));
            // On to the inputs, whose text is typed after what is there.
            QTest::keyClick(focus, Qt::Key_Tab);
            QVERIFY(dlg.focusWidget() != focus);
            QTest::keyClicks(dlg.focusWidget(), QStringLiteral("x"));
            dlg.findChild<QPushButton *>(QStringLiteral("button_1"))->click();
        });
        QCOMPARE(dlg.exec(), int(QDialog::Accepted));
        QCOMPARE(dlg.m_strMethod, QString::fromLatin1(method).toUpper());
    }
    QCOMPARE(dlg.m_strInputs, QStringLiteral("xx"));
}

void TestScriptInputs::viewMode()
{
    CScriptInputsDlg dlg;
    dlg.m_strInputs = QStringLiteral("line 1\nline 2");
    dlg.m_bViewMode = true;
    dlg.OnInitDialog();
    dlg.show();
    QCOMPARE(dlg.windowTitle(), QStringLiteral("View script input"));
    QCOMPARE(dlg.findChild<QPushButton *>(QStringLiteral("button_1"))->text(), QStringLiteral("&Done"));
    QVERIFY(dlg.findChild<QPlainTextEdit *>(QStringLiteral("edit_1037"))->isReadOnly());
    QCOMPARE(dlg.findChild<QPlainTextEdit *>(QStringLiteral("edit_1037"))->toPlainText(), dlg.m_strInputs);
    QVERIFY(!dlg.findChild<QComboBox *>(QStringLiteral("combo_1064"))->isEnabled());
    QVERIFY(dlg.findChild<QPushButton *>(QStringLiteral("button_9"))->isHidden());
    QVERIFY(dlg.findChild<QPushButton *>(QStringLiteral("button_1063"))->isHidden());
    dlg.findChild<QPushButton *>(QStringLiteral("button_1"))->click();
    QCOMPARE(dlg.m_strInputs, QStringLiteral("line 1\nline 2"));
}

void TestScriptInputs::cgiButtonFollowsChosenMethod()
{
    CScriptInputsDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    auto *combo = dlg.findChild<QComboBox *>(QStringLiteral("combo_1064"));
    auto *cgi = dlg.findChild<QPushButton *>(QStringLiteral("button_1063"));
    QVERIFY(!cgi->isVisible());
    combo->setCurrentIndex(combo->findText(QStringLiteral("POST")));
    emit combo->activated(combo->currentIndex());
    QVERIFY(cgi->isVisible());
    QCOMPARE(dlg.m_strMethod, QStringLiteral("POST"));
}

void TestScriptInputs::sendLines()
{
    CRedirectPipe pipe;
    QVERIFY(pipe.Open());
    CSendInputDlg dlg;
    dlg.m_pStdIn = &pipe;
    dlg.show();
    auto *edit = dlg.findChild<QLineEdit *>(QStringLiteral("edit_1081"));
    QTest::keyClicks(edit, QStringLiteral("abc"));
    dlg.findChild<QPushButton *>(QStringLiteral("button_1"))->click();
    QVERIFY(edit->text().isEmpty());
    QVERIFY(dlg.isVisible());
    dlg.accept();
    QTRY_VERIFY(pipe.Flush());
    QCOMPARE(ReadAll(pipe), QByteArray("abc\n\n"));
}

void TestScriptInputs::eofClosesStdin()
{
    CRedirectPipe pipe;
    QVERIFY(pipe.Open());
    CSendInputDlg dlg;
    dlg.m_pStdIn = &pipe;
    dlg.show();
    dlg.findChild<QPushButton *>(QStringLiteral("button_1065"))->click();
    QVERIFY(!dlg.isVisible());
    QCOMPARE(pipe.GetWriteHandle(), -1);
}

QTEST_MAIN(TestScriptInputs)
#include "test_scriptinputs.moc"
