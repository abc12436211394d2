#include "server/ServerDlg.h"

#include "app/Settings.h"
#include "framework/CommandIds.h"
#include "framework/CommandTable.h"
#include "framework/DataExchange.h"
#include "framework/DialogUnits.h"
#include "framework/MessageBox.h"
#include "framework/Trace.h"
#include "server/ShellConnection.h"
#include "server/ShellOutputPane.h"
#include "framework/ScreenFit.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCompleter>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Cmd;

namespace {
struct CMenuEntry
{
    int nId;
    const char *pszPrompt;
};

const char *const kClosedText = "\nServer closed the connection.";
}

CServerDlg::CServerDlg(int nPort, const QString &strHost, QWidget *parent)
    : QDialog(parent)
    , m_nPort(nPort)
    , m_strHost(strHost)
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("ServerDlg"));
    setWindowTitle(tr("Run on Server"));
    setModal(false);
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const CDialogUnits du(this);

    auto *menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("ServerMenu"));
    auto addMenu = [this, menuBar](const QString &title, std::initializer_list<CMenuEntry> entries,
                                   const std::function<void(int)> &handler) {
        QMenu *menu = menuBar->addMenu(title);
        menu->setObjectName(QStringLiteral("menu_") + QString(title).remove(QLatin1Char('&')));
        // The window has no status bar: the prompts show as the items' tooltips.
        menu->setToolTipsVisible(true);
        for (const CMenuEntry &e : entries) {
            const CCommandInfo *info = CCommandTable::Find(e.nId);
            auto *action = menu->addAction(info ? QString::fromUtf8(info->pszMenuText) : QString::number(e.nId));
            action->setObjectName(QStringLiteral("action_%1").arg(e.nId));
            action->setStatusTip(QString::fromUtf8(e.pszPrompt));
            action->setToolTip(QString::fromUtf8(e.pszPrompt));
            const int id = e.nId;
            connect(action, &QAction::triggered, this, [handler, id] { handler(id); });
        }
    };
    addMenu(tr("&Server"),
            {{ID_SERVER_CONNECT, "Connect to the server"},
             {ID_SERVER_LOGIN, "Logon to the server using configuration."},
             {ID_SERVER_DISCONNECT, "Disconnect from the server."},
             {ID_SERVER_CLOSE, "Close connection and window."}},
            [this](int id) {
                if (id == ID_SERVER_CONNECT)
                    OnConnect();
                else if (id == ID_SERVER_LOGIN)
                    OnLogin();
                else if (id == ID_SERVER_DISCONNECT)
                    OnDisconnect();
                else
                    OnCloseWindow();
            });
    addMenu(tr("&Run"),
            {{ID_SERVER_RUN_PERL, "Runs a perl script"},
             {ID_SERVER_RUN_JAVAC, "Compile a java program"},
             {ID_SERVER_RUN_JAVA, "Run a Java class"}},
            [this](int id) {
                if (id == ID_SERVER_RUN_PERL)
                    OnRunPerl();
                else if (id == ID_SERVER_RUN_JAVAC)
                    OnRunJavac();
                else
                    OnRunJava();
            });
    addMenu(tr("&Output"), {{ID_SERVER_OUTPUT_CLEAR, "Clear the output screen"}}, [this](int) { OnClear(); });

    m_editOutput = new CShellOutputPane(this);
    m_editOutput->setObjectName(QStringLiteral("edit_1025"));
    m_editOutput->setMinimumSize(du.Size(391, 148));

    auto *label = new QLabel(tr("Server Command"), this);
    m_comboCommand = new QComboBox(this);
    m_comboCommand->setObjectName(QStringLiteral("combo_1027"));
    m_comboCommand->setEditable(true);
    // The list is kept sorted by AddCommandToList; Return belongs to Send Command.
    m_comboCommand->setInsertPolicy(QComboBox::NoInsert);
    m_comboCommand->setDuplicatesEnabled(true);
    m_comboCommand->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_comboCommand->setMinimumWidth(du.X(180));
    label->setBuddy(m_comboCommand);

    m_btnSend = new QPushButton(tr("Send Command"), this);
    m_btnSend->setObjectName(QStringLiteral("button_1079"));
    m_btnSend->setDefault(true);
    m_btnSend->setAutoDefault(true);
    auto *btnCancel = new QPushButton(tr("Cancel Request"), this);
    btnCancel->setObjectName(QStringLiteral("button_1080"));
    btnCancel->setAutoDefault(false);
    connect(m_btnSend, &QPushButton::clicked, this, &CServerDlg::OnSendCommand);
    connect(btnCancel, &QPushButton::clicked, this, &CServerDlg::OnCancelRequest);

    auto *row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(m_comboCommand, 1);
    row->addWidget(m_btnSend);
    row->addWidget(btnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->setContentsMargins(du.X(7), du.Y(7), du.X(7), du.Y(7));
    layout->addWidget(m_editOutput, 1);
    layout->addLayout(row);
    resize(du.Size(405, 186).expandedTo(sizeHint()));

    UseConnection(CShellConnection::Create(g_settings, this));

    UpdateData(false);
}

void CServerDlg::UseConnection(CShellConnection *pConnection)
{
    delete m_pSocket;
    m_pSocket = pConnection;
    connect(m_pSocket, &CShellConnection::TextReceived, m_editOutput, &CShellOutputPane::AppendText);
    connect(m_pSocket, &CShellConnection::TextReceived, this, &CServerDlg::OnTextReceived);
    // The window's own messages end the line: no prompt is the last output then.
    auto say = [this](const QString &strLine) {
        m_editOutput->AppendLine(strLine);
        m_prompt.Reset();
        UpdateSecretMode();
    };
    connect(m_pSocket, &CShellConnection::ConnectionFailed, this, [this, say](const QString &reason) {
        say(tr("Could not connect to %1 port %2: %3").arg(m_strHost).arg(m_nPort).arg(reason));
    });
    connect(m_pSocket, &CShellConnection::ConnectionLost, this, [this, say](const QString &reason) {
        say(tr("The connection to the server was lost (%1 port %2): %3").arg(m_strHost).arg(m_nPort).arg(reason));
    });
    connect(m_pSocket, &CShellConnection::ConnectionClosed, this,
            [this, say] { say(tr("Server closed the connection.")); });
    connect(m_pSocket, &CShellConnection::HostKeyQuestion, this, &CServerDlg::OnHostKeyQuestion);
    connect(m_pSocket, &CShellConnection::SecretQuestion, this, &CServerDlg::OnSecretQuestion);
    UpdateTerminalSize();
}

void CServerDlg::OnHostKeyQuestion(const QString &strQuestion)
{
    // The connection waits for the answer on its own thread; the window stays live.
    // No is the default: trusting a key takes a deliberate choice, never a stray Return.
    const bool bTrust = AfxMessageBox(this, strQuestion, QMessageBox::Yes | QMessageBox::No, QMessageBox::Question,
                                      QMessageBox::No)
                        == QMessageBox::Yes;
    m_pSocket->AnswerHostKey(bTrust);
}

void CServerDlg::OnTextReceived(const QString &strText)
{
    m_prompt.Feed(strText);
    UpdateSecretMode();
}

void CServerDlg::UpdateSecretMode()
{
    const bool bSecret = m_prompt.IsAsking();
    if (bSecret == m_bSecretMode)
        return;
    m_bSecretMode = bSecret;
    QLineEdit *edit = m_comboCommand->lineEdit();
    if (bSecret) {
        // The last command, left selected to be typed over, is in the history: gone
        // from the box, it cannot end up before the password.
        if (edit->text() == m_strCommand)
            edit->clear();
        edit->setEchoMode(QLineEdit::Password);
        // Completing from the history would put a command where the password goes.
        m_comboCommand->setCompleter(nullptr);
    } else {
        edit->setEchoMode(QLineEdit::Normal);
        // The box's own completion again, as an editable combo box makes it.
        auto *completer = new QCompleter(m_comboCommand->model(), m_comboCommand);
        completer->setCaseSensitivity(Qt::CaseInsensitive);
        completer->setCompletionMode(QCompleter::InlineCompletion);
        m_comboCommand->setCompleter(completer);
    }
}

void CServerDlg::OnSecretQuestion(const QString &strPrompt)
{
    QInputDialog dlg(this);
    dlg.setObjectName(QStringLiteral("SecretQuestion"));
    dlg.setWindowTitle(QStringLiteral("Kestrel"));
    dlg.setLabelText(strPrompt);
    dlg.setTextEchoMode(QLineEdit::Password);
    const bool bGiven = dlg.exec() == QDialog::Accepted;
    m_pSocket->AnswerSecret(bGiven, bGiven ? dlg.textValue() : QString());
}

void CServerDlg::UpdateTerminalSize()
{
    if (!m_pSocket || !m_editOutput)
        return;
    // The server's programs lay out their text for the terminal's size: tell it how
    // many characters the output area shows.
    const QFontMetrics metrics(m_editOutput->font());
    const int nCharWidth = qMax(1, metrics.horizontalAdvance(QLatin1Char('M')));
    const int nLineHeight = qMax(1, metrics.lineSpacing());
    const QSize area = m_editOutput->viewport()->size();
    m_pSocket->SetTerminalSize(area.width() / nCharWidth, area.height() / nLineHeight);
}

void CServerDlg::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    UpdateTerminalSize();
}

CServerDlg::~CServerDlg()
{
    TRACE() << "Server Dialog being Destroyed !";
}

bool CServerDlg::UpdateData(bool bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    dx.Text(m_comboCommand->objectName(), m_strCommand);
    dx.MaxChars(m_strCommand, 200);
    if (dx.Failed())
        return false;
    // Received text lives only in the output area; writing the members replaces it by
    // m_strOutput, as Send Command, Clear and Disconnect mean to.
    if (!bSaveAndValidate) {
        m_editOutput->SetText(m_strOutput);
        m_prompt.Reset();
        m_prompt.Feed(m_strOutput);
        UpdateSecretMode();
    }
    return true;
}

void CServerDlg::SendLineOrSay(const QString &strLine)
{
    if (!m_pSocket->SendLine(strLine))
        m_editOutput->AppendLine(tr("Not connected to the server: \"%1\" was not sent.").arg(strLine));
}

bool CServerDlg::SendCommand(const QString &strCommand)
{
    SendLineOrSay(strCommand);
    return true;
}

void CServerDlg::OnConnect()
{
    // Options may have changed the server since the window was made.
    m_strHost = g_settings.SERVER_HOST;
    m_nPort = g_settings.SERVER_PORT_NUMBER;
    // ... and its type: the connection of the kind it names.
    if (!CShellConnection::Fits(m_pSocket, g_settings))
        UseConnection(CShellConnection::Create(g_settings, this));
    if (m_nPort == 0 && g_settings.SERVER_TYPE == QLatin1String("ssh"))
        m_nPort = 22;
    m_pSocket->Configure(g_settings);
    UpdateTerminalSize();
    m_pSocket->Connect(m_strHost, m_nPort);
    UpdateData(false);
}

void CServerDlg::OnLogin()
{
    if (!m_pSocket->SendLogin(g_settings.SERVER_USER, g_settings.SERVER_PASS)) {
        m_editOutput->AppendLine(tr("Not connected to the server: the login was not sent."));
        return;
    }
    m_pSocket->SendLine(QStringLiteral("cd ") + g_settings.REMOTE_DIRECTORY);
}

void CServerDlg::OnDisconnect()
{
    m_pSocket->Close();
    m_strOutput += QString::fromLatin1(kClosedText);
    UpdateData(false);
}

void CServerDlg::OnCloseWindow()
{
    hide();
}

void CServerDlg::closeEvent(QCloseEvent *event)
{
    event->ignore();
    hide();
}

void CServerDlg::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    // The window is for typing commands.
    m_comboCommand->setFocus();
}

void CServerDlg::accept()
{
    m_pSocket->Close();
    QDialog::accept();
}

void CServerDlg::reject()
{
    m_pSocket->Close();
    QDialog::reject();
}

void CServerDlg::OnClear()
{
    m_strOutput.clear();
    UpdateData(false);
}

void CServerDlg::OnSendCommand()
{
    if (!UpdateData(true))
        return;
    // A line typed at a password prompt is a secret: it is sent, and kept nowhere.
    const bool bSecret = m_prompt.IsAsking();
    const bool bSent = m_pSocket->SendLine(m_strCommand);
    m_strOutput.clear();
    if (bSecret) {
        m_strCommand.clear();
        UpdateData(false);
        if (!bSent)
            m_editOutput->AppendLine(tr("Not connected to the server: the line was not sent."));
        return;
    }
    AddCommandToList(m_strCommand);
    UpdateData(false);
    // The command stays in the box, selected, so the next one can be typed over it.
    if (QLineEdit *edit = m_comboCommand->lineEdit())
        edit->selectAll();
    if (!bSent)
        m_editOutput->AppendLine(tr("Not connected to the server: \"%1\" was not sent.").arg(m_strCommand));
}

void CServerDlg::AddCommandToList(const QString &strCommand)
{
    // A sorted list that keeps duplicates: the new item goes after its equals.
    int i = 0;
    while (i < m_comboCommand->count()
           && QString::compare(m_comboCommand->itemText(i), strCommand, Qt::CaseInsensitive) <= 0)
        ++i;
    const QString text = m_comboCommand->currentText();
    m_comboCommand->insertItem(i, strCommand);
    m_comboCommand->setEditText(text);
}

void CServerDlg::OnCancelRequest()
{
    if (!m_pSocket->SendInterrupt())
        m_editOutput->AppendLine(tr("Not connected to the server: the interrupt was not sent."));
}

void CServerDlg::OnRunPerl()
{
    SendLineOrSay(g_settings.REMOTE_PERL_EXE + QLatin1Char(' ') + g_settings.REMOTE_PERL_PRM + QLatin1Char(' '));
}

void CServerDlg::OnRunJavac()
{
    SendLineOrSay(g_settings.REMOTE_JAVAC_EXE + QLatin1Char(' ') + g_settings.REMOTE_JAVAC_PRM + QLatin1Char(' '));
}

void CServerDlg::OnRunJava()
{
    SendLineOrSay(g_settings.REMOTE_JAVA_EXE + QLatin1Char(' ') + g_settings.REMOTE_JAVA_PRM + QLatin1Char(' '));
}
