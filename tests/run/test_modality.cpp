#include "app/AboutDlg.h"
#include "app/KestrelApp.h"
#include "app/KestrelDoc.h"
#include "app/MainFrame.h"
#include "app/OptionsPropertySheet.h"
#include "app/SelectDirectoryDlg.h"
#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "editor/VariableListDlg.h"
#include "framework/CommandIds.h"
#include "run/OutputWindowDlg.h"
#include "run/ScriptInputsDlg.h"
#include "server/CreateDirDlg.h"
#include "server/FtpBrowserDlg.h"
#include "server/RenameFileDlg.h"
#include "server/ServerLoginDlg.h"

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using COpener = std::function<void(CMainFrame &)>;
Q_DECLARE_METATYPE(COpener)

namespace {

// What was true of a dialog while its modal loop ran.
struct CModalSeen
{
    bool bFound = false;
    bool bActiveModal = false;
    bool bModal = false;
    Qt::WindowModality modality = Qt::NonModal;
};

QDialog *VisibleDialogOfClass(const QByteArray &className)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->isVisible() && className == w->metaObject()->className())
            return qobject_cast<QDialog *>(w);
    return nullptr;
}

} // namespace

// Every window that is modal by design takes the input away from the main window for
// as long as it is open, from the moment it shows.
class TestModality : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void mainWindowTakesNoInput_data();
    void mainWindowTakesNoInput();

private:
    QTemporaryDir m_dir{QDir::tempPath() + QStringLiteral("/kestrel modal XXXXXX")};
    QString m_strScript;
};

void TestModality::initTestCase()
{
    QVERIFY(m_dir.isValid());
    g_settings = CSettings();
    g_settings.LOCAL_PERL_EXE = QStandardPaths::findExecutable(QStringLiteral("perl"));
    QVERIFY(!g_settings.LOCAL_PERL_EXE.isEmpty());
    // A script that runs until its window closes.
    m_strScript = m_dir.filePath(QStringLiteral("waits.pl"));
    QFile f(m_strScript);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("my $line = <STDIN>;\n");
}

void TestModality::mainWindowTakesNoInput_data()
{
    QTest::addColumn<QByteArray>("dialogClass");
    QTest::addColumn<COpener>("open");
    auto command = [](int nId) { return COpener([nId](CMainFrame &frame) { frame.RouteCommand(nId); }); };
    auto name = [](const QMetaObject &meta) { return QByteArray(meta.className()); };

    QTest::newRow("Run: the output window") << name(COutputWindowDlg::staticMetaObject) << command(Cmd::ID_SCRIPT_RUN);
    QTest::newRow("Compile: the output window") << name(COutputWindowDlg::staticMetaObject) << command(Cmd::ID_SCRIPT_COMPILE);
    QTest::newRow("Specify Inputs") << name(CScriptInputsDlg::staticMetaObject) << command(Cmd::ID_SCRIPT_SPECIFY_INPUTS);
    QTest::newRow("View Inputs") << name(CScriptInputsDlg::staticMetaObject) << COpener([](CMainFrame &frame) {
        COutputWindowDlg wnd(&frame);
        wnd.OnViewInputs();
    });
    QTest::newRow("Options") << name(COptionsPropertySheet::staticMetaObject) << command(Cmd::ID_TOOLS_OPTIONS);
    QTest::newRow("Select Directory") << name(CSelectDirectoryDlg::staticMetaObject) << COpener([](CMainFrame &frame) {
        CSelectDirectoryDlg dlg(&frame);
        dlg.DoModal();
    });
    QTest::newRow("Scalars list") << name(CVariableListDlg::staticMetaObject) << command(Cmd::ID_VIEW_SCALARS);
    QTest::newRow("Arrays list") << name(CVariableListDlg::staticMetaObject) << command(Cmd::ID_VIEW_ARRAYS);
    QTest::newRow("Hashes list") << name(CVariableListDlg::staticMetaObject) << command(Cmd::ID_VIEW_HASHES);
    QTest::newRow("Special variables list") << name(CVariableListDlg::staticMetaObject) << command(Cmd::ID_VIEW_SPECIAL);
    QTest::newRow("Load from server: the login prompt") << name(CServerLoginDlg::staticMetaObject)
                                                        << command(Cmd::ID_FILE_LOAD_FROM_SERVER);
    QTest::newRow("Put on server: the login prompt") << name(CServerLoginDlg::staticMetaObject)
                                                     << command(Cmd::ID_FILE_PUT_ON_SERVER);
    QTest::newRow("Load from server: the browser") << name(CFtpBrowserDlg::staticMetaObject) << COpener([](CMainFrame &frame) {
        CFtpBrowserDlg dlg(&frame);
        dlg.m_bLoadMode = true;
        dlg.DoModal();
    });
    QTest::newRow("Put on server: the browser") << name(CFtpBrowserDlg::staticMetaObject) << COpener([](CMainFrame &frame) {
        CFtpBrowserDlg dlg(&frame);
        dlg.m_bLoadMode = false;
        dlg.DoModal();
    });
    QTest::newRow("Create Directory") << name(CCreateDirDlg::staticMetaObject) << COpener([](CMainFrame &frame) {
        CCreateDirDlg dlg(&frame);
        dlg.DoModal();
    });
    QTest::newRow("Rename") << name(CRenameFileDlg::staticMetaObject) << COpener([](CMainFrame &frame) {
        CRenameFileDlg dlg(&frame);
        dlg.DoModal();
    });
    QTest::newRow("About") << name(CAboutDlg::staticMetaObject) << command(Cmd::ID_APP_ABOUT);
}

void TestModality::mainWindowTakesNoInput()
{
    QFETCH(QByteArray, dialogClass);
    QFETCH(COpener, open);
    CMainFrame frame;
    QVERIFY(frame.GetDocument()->OnOpenDocument(m_strScript));
    frame.GetActiveView()->OnInitialUpdate();
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));
    frame.GetActiveView()->setFocus();
    const QByteArray text = frame.GetActiveView()->GetTextBytes();

    CModalSeen seen;
    QTimer watch;
    watch.setInterval(10);
    connect(&watch, &QTimer::timeout, &frame, [&] {
        QDialog *dlg = VisibleDialogOfClass(dialogClass);
        if (!dlg)
            return;
        watch.stop();
        seen.bFound = true;
        seen.bActiveModal = QApplication::activeModalWidget() == dlg;
        seen.bModal = dlg->isModal();
        seen.modality = dlg->windowModality();
        // Typed into the main window, through the window system, while the dialog is open.
        for (char c : {'k', 'e', 'y'})
            QTest::keyClick(frame.windowHandle(), c);
        dlg->reject();
    });
    watch.start();
    open(frame);
    watch.stop();

    QVERIFY2(seen.bFound, dialogClass.constData());
    QVERIFY(seen.bActiveModal);
    QVERIFY(seen.bModal);
    QCOMPARE(seen.modality, Qt::ApplicationModal);
    QCOMPARE(frame.GetActiveView()->GetTextBytes(), text);
}

int main(int argc, char *argv[])
{
    QStandardPaths::setTestModeEnabled(true);
    CKestrelApp app(argc, argv);
    TestModality test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_modality.moc"
