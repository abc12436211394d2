#include "run/OutputWindowDlg.h"

#include "framework/CommandIds.h"
#include "framework/DialogUnits.h"
#include "framework/MessageBox.h"
#include "run/RunProcess.h"
#include "run/OutputPane.h"
#include "run/OutputReader.h"
#include "run/RedirectPipe.h"
#include "run/ScriptInputsDlg.h"
#include "run/SendInputDlg.h"
#include "framework/ScreenFit.h"

#include <QEvent>
#include <QGuiApplication>
#include <QScreen>
#include <QSettings>
#include <QSocketNotifier>
#include <QFontDatabase>
#include <QFontDialog>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QVBoxLayout>

#include <fcntl.h>
#include <unistd.h>

COutputWindowDlg::COutputWindowDlg(QWidget *parent)
    : QDialog(parent)
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("OutputWindowDlg"));
    setWindowTitle(QStringLiteral("Output Window"));
    setSizeGripEnabled(true);
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    // Qt applies modality when a window is shown, and DoModal shows the window before
    // exec() to place the Send Input dialog; set here, it holds from the first showing,
    // so the main window takes no input and no second run can start.
    setWindowModality(Qt::ApplicationModal);

    m_pMenuBar = new QMenuBar(this);
    QMenu *options = m_pMenuBar->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("menu_Options"));
    auto add = [this, options](int nId, const QString &text, void (COutputWindowDlg::*handler)()) {
        QAction *a = options->addAction(text);
        a->setObjectName(QStringLiteral("action_%1").arg(nId));
        connect(a, &QAction::triggered, this, handler);
    };
    add(Cmd::ID_OUTPUT_FONT, QStringLiteral("&Font"), &COutputWindowDlg::OnFont);
    add(Cmd::ID_OUTPUT_VIEW_INPUTS, QStringLiteral("View &Inputs"), &COutputWindowDlg::OnViewInputs);
    add(Cmd::ID_OUTPUT_SEND_INPUT, QStringLiteral("&Send Input"), &COutputWindowDlg::OnSendInput);
    add(Cmd::ID_OUTPUT_REFRESH, QStringLiteral("&Refresh"), &COutputWindowDlg::OnRefresh);
    options->addSeparator();
    add(Cmd::ID_OUTPUT_CLOSE, QStringLiteral("&Close"), &COutputWindowDlg::OnClose);

    m_pClient = new QWidget(this);
    m_pClient->setObjectName(QStringLiteral("Client"));
    m_pClient->installEventFilter(this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(m_pMenuBar);
    layout->addWidget(m_pClient);

    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    m_pEditStdOut = new COutputPane(m_pClient);
    m_pEditStdOut->setObjectName(QStringLiteral("edit_1005"));
    m_pEditStdOut->setToolTip(QStringLiteral("Standard output of the process."));
    m_pEditStdOut->SetPaneFont(fixed);
    m_pEditStdErr = new COutputPane(m_pClient);
    m_pEditStdErr->setObjectName(QStringLiteral("edit_1006"));
    m_pEditStdErr->setToolTip(QStringLiteral("Standard error output of the process."));
    m_pEditStdErr->SetPaneFont(fixed);
    connect(m_pEditStdErr, &COutputPane::MessageActivated, this, &COutputWindowDlg::OnMessageActivated);
    m_pEditStatus = new QLineEdit(m_pClient);
    m_pEditStatus->setObjectName(QStringLiteral("edit_1066"));
    m_pEditStatus->setReadOnly(true);
    m_pEditStatus->setToolTip(QStringLiteral("Message describing the status of the process."));

    CDialogUnits du(this);
    m_pEditStdOut->setGeometry(du.Rect(7, 7, 314, 126));
    m_pEditStdErr->setGeometry(du.Rect(7, 140, 314, 77));
    m_pEditStatus->setGeometry(du.Rect(7, 225, 314, 14));
    resize(du.X(328), du.Y(246) + m_pMenuBar->sizeHint().height());
    m_designedSize = size();

    m_pDlgInputs = new CScriptInputsDlg(this);
    m_pDlgSend = new CSendInputDlg(this);

    if (::pipe2(m_fdEnded, O_CLOEXEC | O_NONBLOCK) == 0) {
        m_pEndedNotifier = new QSocketNotifier(m_fdEnded[0], QSocketNotifier::Read, this);
        connect(m_pEndedNotifier, &QSocketNotifier::activated, this, [this] {
            char drain[16];
            while (::read(m_fdEnded[0], drain, sizeof drain) > 0) {
            }
            OnChildEnded();
        });
    }
}

COutputWindowDlg::~COutputWindowDlg()
{
    StopReaders();
    delete m_pEndedNotifier;
    for (int fd : m_fdEnded)
        if (fd >= 0)
            ::close(fd);
}

COutputWindowDlg::Layout COutputWindowDlg::LayoutFor(int cx, int cy)
{
    int h = cy - 24;
    Layout l;
    l.stdOut = QRect(1, h / 40, cx - 1, h * 25 / 40);
    l.stdErr = QRect(1, h * 26 / 40 + 2, cx - 1, h * 14 / 40);
    l.status = QRect(1, cy - 22, cx - 1, 20);
    return l;
}

bool COutputWindowDlg::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_pClient && event->type() == QEvent::Resize && m_pClient->isVisible())
        LayOutClient();
    return QDialog::eventFilter(watched, event);
}

void COutputWindowDlg::LayOutClient()
{
    Layout l = LayoutFor(m_pClient->width(), m_pClient->height());
    m_pEditStdOut->setGeometry(l.stdOut);
    m_pEditStdErr->setGeometry(l.stdErr);
    m_pEditStatus->setGeometry(l.status);
}

void COutputWindowDlg::HostPanel(QWidget *pPanel, const std::function<void(QWidget *)> &fnTakeOutputArea,
                                  const char *pszGeometryKey, const QString &strTitle, QSize preferred,
                                  std::function<void()> fnShown)
{
    if (m_pPanel || !pPanel)
        return;
    m_pPanel = pPanel;
    m_fnPanelShown = std::move(fnShown);
    m_pszGeometryKey = pszGeometryKey;
    layout()->removeWidget(m_pClient);
    fnTakeOutputArea(m_pClient);
    m_pClient->setMinimumHeight(CDialogUnits(this).Y(60));
    layout()->addWidget(pPanel);
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect avail = screen->availableGeometry();
        preferred = preferred.boundedTo(QSize(avail.width() * 92 / 100, avail.height() * 90 / 100));
    }
    resize(preferred);
    m_designedSize = this->size();
    setWindowTitle(strTitle);
}

void COutputWindowDlg::AppendTranscript(const QByteArray &text)
{
    // The program's words come through a pipe and the transcript by another way; what
    // the program wrote before is taken from the pipe first, so that it stands before.
    if (m_pStdErrReader)
        m_pStdErrReader->Drain();
    m_pEditStdErr->AppendBytes(text);
}

void COutputWindowDlg::FollowRun(CRunProcess *pProcess)
{
    // What the last program wrote is shown whole before its streams are let go.
    for (COutputReader *reader : {m_pStdOutReader, m_pStdErrReader})
        if (reader)
            reader->Drain();
    StopReaders();
    delete m_pStdOutReader;
    delete m_pStdErrReader;
    m_pStdOutReader = m_pStdErrReader = nullptr;
    m_pProcess = pProcess;
    m_pDlgSend->m_pStdIn = pProcess ? pProcess->StdIn() : nullptr;
    m_bEnded = false;
    m_bReady = false;
    m_pEditStatus->clear();
    OnInitDialog();
}

void COutputWindowDlg::SetPathMap(const CPathMap &map)
{
    m_pEditStdErr->SetPathMap(map);
}

void COutputWindowDlg::StopProgram()
{
    // The program ends as Close ends it; the window stays to be read.
    if (m_pProcess && !m_pProcess->HasEnded())
        m_pProcess->Kill();
}

void COutputWindowDlg::OnInitDialog()
{
    if (m_bReady)
        return;
    CRedirectPipe *pStdOut = m_pProcess ? m_pProcess->StdOut() : nullptr;
    CRedirectPipe *pStdErr = m_pProcess ? m_pProcess->StdErr() : nullptr;
    if (pStdOut) {
        m_pStdOutReader = new COutputReader(pStdOut, this);
        connect(m_pStdOutReader, &COutputReader::OutputReceived, m_pEditStdOut, &COutputPane::AppendBytes);
        connect(m_pStdOutReader, &COutputReader::Finished, this, &COutputWindowDlg::CheckRunOver);
        m_pStdOutReader->Start();
    }
    m_pEditStdErr->EnableMessageLinks(m_strBaseDir);
    if (pStdErr) {
        m_pStdErrReader = new COutputReader(pStdErr, this);
        connect(m_pStdErrReader, &COutputReader::OutputReceived, m_pEditStdErr, &COutputPane::AppendBytes);
        connect(m_pStdErrReader, &COutputReader::Finished, this, &COutputWindowDlg::CheckRunOver);
        m_pStdErrReader->Start();
    }
    m_bReady = true;
    // A child may have ended before the window was ready; its end is shown all the same.
    if (m_pProcess && m_pProcess->HasEnded())
        QMetaObject::invokeMethod(this, &COutputWindowDlg::OnChildEnded, Qt::QueuedConnection);
}

int COutputWindowDlg::DoModal()
{
    OnInitDialog();
    const QByteArray saved = QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel"))
                                 .value(QLatin1String(m_pszGeometryKey))
                                 .toByteArray();
    const bool restored = !saved.isEmpty() && restoreGeometry(saved);
    show();
    // The panes follow the window's size only from a resize while it is shown; a window
    // the user only moved keeps the panes as they first were.
    if (restored && size() != m_designedSize)
        LayOutClient();
    // With a hosted panel the output area takes the share of the window the panel
    // gives it, so its panes follow that size from the start.
    if (m_pPanel) {
        if (m_fnPanelShown)
            m_fnPanelShown();
        LayOutClient();
    }
    m_baShownGeometry = saveGeometry();
    // The Send Input dialog opens with its top-left corner at the centre of this window.
    QRect r = frameGeometry();
    m_pDlgSend->move(r.left() + r.width() / 2, r.top() + r.height() / 2);
    return exec();
}

void COutputWindowDlg::OnProcessEnded()
{
    char c = 1;
    ssize_t ignored = ::write(m_fdEnded[1], &c, 1);
    (void)ignored;
}

void COutputWindowDlg::OnChildEnded()
{
    // The end of a child that a restarted debug run replaced says nothing of this one.
    if (m_bEnded || !m_pProcess || !m_pProcess->HasEnded())
        return;
    m_bEnded = true;
    m_pEditStatus->setText(m_pEditStatus->text() + m_pProcess->EndDescription());
    CheckRunOver();
}

bool COutputWindowDlg::IsRunOver() const
{
    return m_bEnded && (!m_pStdOutReader || m_pStdOutReader->IsFinished())
        && (!m_pStdErrReader || m_pStdErrReader->IsFinished());
}

void COutputWindowDlg::CheckRunOver()
{
    if (IsRunOver()) {
        m_pEditStdErr->FinishMessageLinks();
        emit RunOver();
    }
}

QList<CFileLineMessage> COutputWindowDlg::ErrorMessages() const
{
    m_pEditStdErr->FinishMessageLinks();
    return m_pEditStdErr->Messages();
}

void COutputWindowDlg::OnMessageActivated(const CFileLineMessage &message)
{
    m_chosen = message;
    m_bChosen = true;
    OnClose();
}

void COutputWindowDlg::changeEvent(QEvent *event)
{
    // A window manager places and sizes a new window after it is shown; the first time
    // the window becomes active that is done, and only a change from there on is the
    // user's.
    if (event->type() == QEvent::ActivationChange && !m_bPlaced && isVisible() && isActiveWindow()) {
        m_bPlaced = true;
        m_baShownGeometry = saveGeometry();
    }
    QDialog::changeEvent(event);
}

void COutputWindowDlg::SaveGeometry()
{
    // Only a place the user gave the window is remembered, not the one it opened in.
    const QByteArray now = saveGeometry();
    if (!isVisible() || m_baShownGeometry.isEmpty() || now == m_baShownGeometry)
        return;
    QSettings(QStringLiteral("QUILLON"), QStringLiteral("Kestrel")).setValue(QLatin1String(m_pszGeometryKey), now);
}

void COutputWindowDlg::OnFont()
{
    QFont start = m_bFontChosen ? m_font : m_pEditStdOut->font();
    bool ok = false;
    QFont chosen = QFontDialog::getFont(&ok, start, this);
    if (!ok)
        return;
    m_font = chosen;
    m_bFontChosen = true;
    m_pEditStdOut->SetPaneFont(m_font);
    m_pEditStdErr->SetPaneFont(m_font);
}

void COutputWindowDlg::OnViewInputs()
{
    m_pDlgInputs->m_bViewMode = true;
    m_pDlgInputs->exec();
}

void COutputWindowDlg::OnSendInput()
{
    if (m_pProcess && m_pProcess->GetExitCode() == CRunProcess::kStillActive) {
        m_pDlgSend->m_pStdIn = m_pProcess->StdIn();
        m_pDlgSend->show();
        m_pDlgSend->raise();
        m_pDlgSend->activateWindow();
    } else {
        AfxMessageBox(this, QStringLiteral("Completed script cannot receive inputs."), QMessageBox::Ok,
                      QMessageBox::Critical);
    }
}

void COutputWindowDlg::OnRefresh()
{
    if (m_pProcess)
        m_pEditStatus->setText(m_pProcess->EndDescription());
}

void COutputWindowDlg::OnClose()
{
    if (m_bClosing)
        return;
    m_bClosing = true;
    SaveGeometry();
    m_pDlgSend->hide();
    // A child that still runs is ended with everything it started; one that has ended
    // may have left programs behind that still hold its streams.
    if (m_pProcess)
        m_pProcess->Kill();
    StopReaders();
    QDialog::accept();
}

void COutputWindowDlg::reject()
{
    OnClose();
}

void COutputWindowDlg::StopReaders()
{
    if (m_pStdOutReader)
        m_pStdOutReader->Stop();
    if (m_pStdErrReader)
        m_pStdErrReader->Stop();
}
