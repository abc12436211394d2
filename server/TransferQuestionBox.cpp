#include "server/TransferQuestionBox.h"

#include "framework/MessageBox.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QThread>

#include <functional>

namespace {

// Runs the question on the GUI thread and waits there for it. The GUI thread is then
// in the worker's wait loop, which runs queued calls.
void OnGuiThread(const std::function<void()> &ask)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread()) {
        ask();
        return;
    }
    QMetaObject::invokeMethod(app, ask, Qt::BlockingQueuedConnection);
}

QWidget *Parent() { return QApplication::activeWindow(); }

// A question of trust: No is the default, so that Return (or a key press meant for
// another window) never trusts anything; Yes takes a deliberate choice.
bool YesNo(const QString &strText, QMessageBox::Icon icon)
{
    bool yes = false;
    OnGuiThread([&] {
        yes = AfxMessageBox(Parent(), strText, QMessageBox::Yes | QMessageBox::No, icon, QMessageBox::No)
              == QMessageBox::Yes;
    });
    return yes;
}

} // namespace

CTransferQuestionBox &CTransferQuestionBox::Instance()
{
    static CTransferQuestionBox box;
    return box;
}

bool CTransferQuestionBox::TrustHostKey(const QString &strText) { return YesNo(strText, QMessageBox::Question); }

bool CTransferQuestionBox::TrustCertificate(const QString &strText) { return YesNo(strText, QMessageBox::Warning); }

bool CTransferQuestionBox::AskPassphrase(const QString &strPrompt, QString &strPassphrase)
{
    bool given = false;
    OnGuiThread([&] {
        QInputDialog dlg(Parent());
        dlg.setObjectName(QStringLiteral("PassphraseDlg"));
        dlg.setWindowTitle(QStringLiteral("Kestrel"));
        dlg.setLabelText(strPrompt);
        dlg.setTextEchoMode(QLineEdit::Password);
        dlg.setInputMode(QInputDialog::TextInput);
        given = dlg.exec() == QDialog::Accepted;
        if (given)
            strPassphrase = dlg.textValue();
    });
    return given;
}
