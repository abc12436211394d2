#include "run/CgiParamsDlg.h"
#include "run/RunCommandLine.h"
#include "run/RunCommands.h"
#include "run/ScriptInputsDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

namespace {

void SetRow(CCgiParamsDlg &dlg, int row, const QString &name, const QString &value)
{
    auto *table = dlg.findChild<QTableWidget *>(QStringLiteral("table_vars"));
    table->item(row, 0)->setText(name);
    table->item(row, 1)->setText(value);
}

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

QStringList Rows(const CScriptInputsDlg &record)
{
    QStringList rows;
    for (int i = 0; i < record.m_nVars; ++i)
        rows << record.m_strVarNames[i] + QLatin1Char('=') + record.m_strVarValues[i];
    return rows;
}

} // namespace

class TestCgiParams : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void rowsSavedInOrder();
    void cancelKeepsRecord();
    void badNamesRefused_data();
    void badNamesRefused();
    void showsRecordAndSimulation();
    void cgiButtonOpensDialog();
    void savedVariablesReachTheChildAndWin();

private:
    std::unique_ptr<CScriptInputsDlg> m_upRecord;
};

void TestCgiParams::init()
{
    m_upRecord = std::make_unique<CScriptInputsDlg>();
    m_upRecord->m_strVarNames[0] = QStringLiteral("HTTP_COOKIE");
    m_upRecord->m_strVarValues[0] = QStringLiteral("id=1");
    m_upRecord->m_nVars = 1;
}

void TestCgiParams::rowsSavedInOrder()
{
    CCgiParamsDlg dlg(*m_upRecord, {});
    SetRow(dlg, 0, QStringLiteral("HTTP_COOKIE"), QStringLiteral("id=2; theme=dark"));
    SetRow(dlg, 3, QStringLiteral("  REMOTE_USER "), QStringLiteral("alice"));
    SetRow(dlg, 24, QStringLiteral("empty_value"), QString());
    dlg.accept();
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    // Blank rows go; the names lose surrounding blanks; the values stay as typed.
    QCOMPARE(Rows(*m_upRecord), (QStringList{"HTTP_COOKIE=id=2; theme=dark", "REMOTE_USER=alice", "empty_value="}));
    QCOMPARE(m_upRecord->m_strVarNames[3], QString());
}

void TestCgiParams::cancelKeepsRecord()
{
    CCgiParamsDlg dlg(*m_upRecord, {});
    SetRow(dlg, 0, QStringLiteral("OTHER"), QStringLiteral("x"));
    SetRow(dlg, 1, QStringLiteral("MORE"), QStringLiteral("y"));
    dlg.reject();
    QCOMPARE(Rows(*m_upRecord), QStringList{"HTTP_COOKIE=id=1"});
}

void TestCgiParams::badNamesRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("blank inside") << "MY VAR" << "The variable name \"MY VAR\" is not valid";
    QTest::newRow("hyphen") << "USER-AGENT" << "The variable name \"USER-AGENT\" is not valid";
    QTest::newRow("starts with a digit") << "1ST" << "does not start with a digit";
    QTest::newRow("equals sign") << "A=B" << "only letters, digits and underscores";
    QTest::newRow("value without a name") << "" << "A variable with a value needs a name.";
}

void TestCgiParams::badNamesRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, message);
    CCgiParamsDlg dlg(*m_upRecord, {});
    dlg.show();
    SetRow(dlg, 0, QStringLiteral("GOOD"), QStringLiteral("1"));
    SetRow(dlg, 2, name, QStringLiteral("value"));
    QString text;
    AnswerMessageBox(&text);
    dlg.accept();
    QVERIFY2(text.contains(message), qPrintable(text));
    // The dialog stays open on the bad row and the record is as it was.
    QVERIFY(dlg.isVisible());
    auto *table = dlg.findChild<QTableWidget *>(QStringLiteral("table_vars"));
    QCOMPARE(table->currentRow(), 2);
    QCOMPARE(Rows(*m_upRecord), QStringList{"HTTP_COOKIE=id=1"});
}

void TestCgiParams::showsRecordAndSimulation()
{
    CCgiParamsDlg dlg(*m_upRecord, {{QStringLiteral("REQUEST_METHOD"), QStringLiteral("GET")},
                                    {QStringLiteral("QUERY_STRING"), QStringLiteral("a=1")}});
    auto *own = dlg.findChild<QTableWidget *>(QStringLiteral("table_vars"));
    auto *simulated = dlg.findChild<QTableWidget *>(QStringLiteral("table_simulated"));
    QCOMPARE(own->rowCount(), CScriptInputsDlg::kMaxVars);
    QCOMPARE(own->item(0, 0)->text(), QStringLiteral("HTTP_COOKIE"));
    QCOMPARE(own->item(0, 1)->text(), QStringLiteral("id=1"));
    QCOMPARE(simulated->rowCount(), 2);
    QCOMPARE(simulated->item(1, 1)->text(), QStringLiteral("a=1"));
    QCOMPARE(simulated->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(dlg.windowTitle(), QStringLiteral("CGI Parameters"));
}

void TestCgiParams::cgiButtonOpensDialog()
{
    m_upRecord->m_strMethod = QStringLiteral("GET");
    m_upRecord->m_strInputs = QStringLiteral("x=1\ny=2\n");
    m_upRecord->m_strScriptPath = QStringLiteral("/srv/site/form.pl");
    QStringList seenSimulated;
    QTimer::singleShot(0, [&] {
        m_upRecord->findChild<QPushButton *>(QStringLiteral("button_1063"))->click();
    });
    QTimer::singleShot(50, [&] {
        auto *dlg = m_upRecord->findChild<CCgiParamsDlg *>();
        QVERIFY(dlg && dlg->isVisible());
        auto *simulated = dlg->findChild<QTableWidget *>(QStringLiteral("table_simulated"));
        for (int i = 0; i < simulated->rowCount(); ++i)
            seenSimulated << simulated->item(i, 0)->text() + QLatin1Char('=') + simulated->item(i, 1)->text();
        SetRow(*dlg, 1, QStringLiteral("HTTP_USER_AGENT"), QStringLiteral("Tester/1"));
        dlg->accept();
        m_upRecord->reject();
    });
    m_upRecord->exec();
    QVERIFY2(seenSimulated.contains(QStringLiteral("QUERY_STRING=x=1&y=2")), qPrintable(seenSimulated.join('\n')));
    QVERIFY(seenSimulated.contains(QStringLiteral("SCRIPT_NAME=/form.pl")));
    QCOMPARE(Rows(*m_upRecord), (QStringList{"HTTP_COOKIE=id=1", "HTTP_USER_AGENT=Tester/1"}));
}

void TestCgiParams::savedVariablesReachTheChildAndWin()
{
    CCgiParamsDlg dlg(*m_upRecord, {});
    SetRow(dlg, 1, QStringLiteral("SERVER_PORT"), QStringLiteral("8443"));
    SetRow(dlg, 2, QStringLiteral("HTTPS"), QStringLiteral("on"));
    dlg.accept();
    CRunCommandLine cl;
    cl.strDocument = QStringLiteral("/srv/site/form.pl");
    for (const QString &method : {QStringLiteral("GET"), QStringLiteral("POST")}) {
        QStringList env = CRunCommands::ChildEnvironment(CRunCommandLine::Kind::Run, cl, QStringLiteral("a=1"), method,
                                                         CRunCommands::UserVariables(*m_upRecord));
        QVERIFY(env.contains(QStringLiteral("SERVER_PORT=8443")));
        QVERIFY(!env.contains(QStringLiteral("SERVER_PORT=80")));
        QVERIFY(env.contains(QStringLiteral("HTTPS=on")));
        QVERIFY(env.contains(QStringLiteral("HTTP_COOKIE=id=1")));
    }
    // Without a simulated method the IDE's environment goes unchanged.
    QVERIFY(CRunCommands::ChildEnvironment(CRunCommandLine::Kind::Run, cl, QString(), QString(),
                                           CRunCommands::UserVariables(*m_upRecord))
                .isEmpty());
}

QTEST_MAIN(TestCgiParams)
#include "test_cgiparams.moc"
