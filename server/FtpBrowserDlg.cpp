#include "server/FtpBrowserDlg.h"

#include "app/Settings.h"
#include "framework/DataExchange.h"
#include "framework/DialogUnits.h"
#include "framework/MessageBox.h"
#include "framework/Trace.h"
#include "server/FtpCommandLine.h"
#include "server/FtpConnection.h"
#include "server/FtpWorker.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString Name(const char *kind, int id) { return QStringLiteral("%1_%2").arg(QLatin1String(kind)).arg(id); }

QRadioButton *Radio(const QString &text, int id)
{
    auto *b = new QRadioButton(text);
    b->setObjectName(Name("radio", id));
    return b;
}

} // namespace

CFtpBrowserDlg::CFtpBrowserDlg(QWidget *parent)
    : QDialog(parent)
    , m_dlgCreateDir(this)
    , m_dlgRename(this)
{
    setObjectName(QStringLiteral("FtpBrowserDlg"));
    setWindowTitle(tr("Load from server"));
    CDialogUnits du(this);
    setMinimumSize(du.Size(423, 209));

    m_comboCommand = new QComboBox;
    m_comboCommand->setObjectName(Name("combo", 1030));
    m_comboCommand->setEditable(true);
    m_comboCommand->setInsertPolicy(QComboBox::NoInsert);
    QStringList commands = {QStringLiteral("CD "), QStringLiteral("CD .."), QStringLiteral("DELETE"),
                            QStringLiteral("MKDIR"), QStringLiteral("RENAME"), QStringLiteral("RMDIR")};
    commands.sort();
    m_comboCommand->addItems(commands);
    m_comboCommand->setToolTip(tr("Select the FTP command to execute on the server."));

    auto *currentDir = new QLineEdit;
    currentDir->setObjectName(Name("edit", 1009));
    currentDir->setReadOnly(true);
    currentDir->setToolTip(tr("Current directory on the FTP server."));

    m_listFiles = new QTreeWidget;
    m_listFiles->setObjectName(Name("list", 1008));
    m_listFiles->setRootIsDecorated(false);
    m_listFiles->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listFiles->setUniformRowHeights(true);
    m_listFiles->setAllColumnsShowFocus(true);
    m_listFiles->setIconSize(QSize(10, 10));
    m_listFiles->setMinimumSize(du.Size(329, 149));

    auto *exec = new QPushButton(tr("E&xec"));
    exec->setObjectName(Name("button", 1011));
    exec->setDefault(true);
    exec->setToolTip(tr("Executes the selected FTP command."));
    auto *refresh = new QPushButton(tr("&Refresh"));
    refresh->setObjectName(Name("button", 1010));
    refresh->setToolTip(tr("Refreshes the file and directory list display."));
    refresh->setAutoDefault(false);
    m_btnLoad = new QPushButton(tr("&Load"));
    m_btnLoad->setObjectName(Name("button", 1012));
    m_btnLoad->setAutoDefault(false);
    auto *cancel = new QPushButton(tr("Cancel"));
    cancel->setObjectName(Name("button", 2));
    cancel->setAutoDefault(false);
    for (QPushButton *b : {exec, refresh, m_btnLoad, cancel})
        b->setMinimumWidth(du.X(50));

    auto *typeGroup = new QGroupBox(tr("Transfer Type"));
    typeGroup->setObjectName(Name("group", 1077));
    typeGroup->setToolTip(tr("Choose appropriate transfer type."));
    auto *ascii = Radio(tr("Ascii"), 1053);
    auto *binary = Radio(tr("Binary"), 1022);
    auto *autoDetect = Radio(tr("Auto Detect"), 1023);
    auto *typeLayout = new QVBoxLayout(typeGroup);
    for (QRadioButton *b : {ascii, binary, autoDetect})
        typeLayout->addWidget(b);

    auto *targetGroup = new QGroupBox(tr("Source/Target"));
    targetGroup->setObjectName(Name("group", 1078));
    targetGroup->setToolTip(tr("Choose appropriate transfer target."));
    auto *editor = Radio(tr("Editor"), 1059);
    auto *fileOnly = Radio(tr("File Only"), 1060);
    auto *targetLayout = new QVBoxLayout(targetGroup);
    targetLayout->addWidget(editor);
    targetLayout->addWidget(fileOnly);

    auto *status = new QLineEdit;
    status->setObjectName(Name("edit", 1058));
    status->setReadOnly(true);

    auto *commandLabel = new QLabel(tr("FTP Command >"));
    commandLabel->setBuddy(m_comboCommand);
    auto *dirLabel = new QLabel(tr("Current Directory"));
    dirLabel->setBuddy(currentDir);

    auto *left = new QGridLayout;
    left->addWidget(commandLabel, 0, 0);
    left->addWidget(m_comboCommand, 0, 1);
    left->addWidget(dirLabel, 1, 0);
    left->addWidget(currentDir, 1, 1);
    left->addWidget(m_listFiles, 2, 0, 1, 2);
    left->setColumnStretch(1, 1);
    left->setRowStretch(2, 1);

    auto *right = new QVBoxLayout;
    for (QPushButton *b : {exec, refresh, m_btnLoad, cancel})
        right->addWidget(b);
    right->addSpacing(du.Y(8));
    right->addWidget(typeGroup);
    right->addWidget(targetGroup);
    right->addStretch();

    auto *top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(right);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(status);

    connect(m_btnLoad, &QPushButton::clicked, this, &CFtpBrowserDlg::OnLoad);
    connect(refresh, &QPushButton::clicked, this, &CFtpBrowserDlg::OnRefresh);
    connect(exec, &QPushButton::clicked, this, &CFtpBrowserDlg::OnExec);
    connect(cancel, &QPushButton::clicked, this, &CFtpBrowserDlg::reject);
    connect(ascii, &QRadioButton::clicked, this, [this] {
        m_nTransferType = 1;
        m_bAutoDetect = false;
    });
    connect(binary, &QRadioButton::clicked, this, [this] {
        m_nTransferType = 2;
        m_bAutoDetect = false;
    });
    connect(autoDetect, &QRadioButton::clicked, this, [this] {
        m_nTransferType = 1;
        m_bAutoDetect = true;
    });
    connect(editor, &QRadioButton::clicked, this, [this] { m_bToEditor = true; });
    connect(fileOnly, &QRadioButton::clicked, this, [this] { m_bToEditor = false; });
}

int CFtpBrowserDlg::DoModal()
{
    OnInitDialog();
    return exec();
}

void CFtpBrowserDlg::DoDataExchange(CDataExchange *pDX)
{
    pDX->Text(Name("edit", 1009), m_strCurrentDir);
    if (pDX->m_bSaveAndValidate) {
        pDX->Text(Name("combo", 1030), m_strFtpCommand);
        pDX->MaxChars(m_strFtpCommand, 100);
    } else {
        // As a drop-down combo does: the first entry that begins with the text is
        // selected, else the text stands as it is.
        int index = -1;
        for (int i = 0; i < m_comboCommand->count() && !m_strFtpCommand.isEmpty(); ++i) {
            if (m_comboCommand->itemText(i).startsWith(m_strFtpCommand, Qt::CaseInsensitive)) {
                index = i;
                break;
            }
        }
        if (index >= 0)
            m_comboCommand->setCurrentIndex(index);
        else
            m_comboCommand->setEditText(m_strFtpCommand);
        m_comboCommand->lineEdit()->setMaxLength(100);
    }
    pDX->Text(Name("edit", 1058), m_strStatus);
}

bool CFtpBrowserDlg::UpdateData(bool bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(&dx);
    return !dx.Failed();
}

bool CFtpBrowserDlg::OnInitDialog()
{
    m_listFiles->clear();
    m_listFiles->setColumnCount(3);
    m_listFiles->setHeaderLabels({tr("Name"), tr("Size"), tr("Modified Date")});
    m_listFiles->headerItem()->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
    m_listFiles->setColumnWidth(0, 160);
    m_listFiles->setColumnWidth(1, 75);
    m_listFiles->setColumnWidth(2, 120);

    if (m_pFtpConnection) {
        // Without a remote folder setting the browser starts in the login folder.
        const QString remoteDir = g_settings.REMOTE_DIRECTORY;
        CFtpResult result = CFtpResult::Ok();
        if (!remoteDir.isEmpty())
            result = CFtpWorker::Run([&] { return m_pFtpConnection->SetCurrentDirectory(remoteDir); });
        if (!result)
            AfxMessageBox(this, tr("Error setting remote directory") + QLatin1Char('\n') + result.m_strReason);
        else
            m_strCurrentDir = m_pFtpConnection->CurrentDirectory();
        RefreshList();
    }
    m_strFtpCommand = QStringLiteral("CD");

    if (m_bLoadMode) {
        m_btnLoad->setText(tr("&Load"));
        m_btnLoad->setToolTip(tr("Downloads the selected file into the editor or disk."));
        setWindowTitle(tr("Load from Server"));
    } else {
        m_btnLoad->setText(tr("&Put"));
        m_btnLoad->setToolTip(tr("Uploads the current file to the server."));
        setWindowTitle(tr("Put on Server - ") + m_strLocalFile);
    }

    auto check = [this](int id, bool on) { findChild<QRadioButton *>(Name("radio", id))->setChecked(on); };
    if (m_bAutoDetect) {
        check(1023, true);
    } else {
        check(1053, m_nTransferType == 1);
        check(1022, m_nTransferType != 1);
    }
    check(m_bToEditor ? 1059 : 1060, true);
    UpdateData(false);
    return true;
}

bool CFtpBrowserDlg::RefreshList()
{
    if (!m_pFtpConnection)
        return true;
    QVector<CFtpFileEntry> entries;
    QString dir;
    CFtpResult result = CFtpWorker::Run([&] {
        CFtpResult r = m_pFtpConnection->GetCurrentDirectory(dir);
        return r ? m_pFtpConnection->List(entries) : r;
    });
    if (!dir.isEmpty())
        m_strCurrentDir = dir;
    const QIcon folder = style()->standardIcon(QStyle::SP_DirIcon);
    const QIcon file = style()->standardIcon(QStyle::SP_FileIcon);
    QList<QTreeWidgetItem *> items;
    items.reserve(entries.size());
    for (const CFtpFileEntry &e : entries) {
        TRACE() << e.m_strName;
        auto *item = new QTreeWidgetItem;
        item->setIcon(0, e.m_bDirectory ? folder : file);
        item->setText(0, e.m_strName);
        item->setText(1, CFtpListParser::FormatSize(e));
        item->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        item->setText(2, CFtpListParser::FormatDate(e));
        item->setData(0, Qt::UserRole, e.m_bDirectory);
        items << item;
    }
    m_listFiles->addTopLevelItems(items);
    m_strStatus = QString::asprintf("(%d) Items listed.", m_listFiles->topLevelItemCount());
    // A listing the server refused says why instead.
    if (!result)
        m_strStatus = result.m_strReason;
    return true;
}

void CFtpBrowserDlg::OnRefresh()
{
    UpdateData(true);
    m_listFiles->clear();
    RefreshList();
    UpdateData(false);
}

QString CFtpBrowserDlg::SelectedName() const
{
    const QList<QTreeWidgetItem *> selected = m_listFiles->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text(0);
}

void CFtpBrowserDlg::OnLoad()
{
    if (!m_bLoadMode) {
        accept();
        return;
    }
    if (m_listFiles->selectedItems().isEmpty()) {
        AfxMessageBox(this, tr("No Item selected"));
        accept();
        return;
    }
    m_strRemoteFile = SelectedName();
    if (AfxMessageBox(this, m_strRemoteFile + tr(" will be downloaded"), QMessageBox::Ok | QMessageBox::Cancel,
                      QMessageBox::Question)
        == QMessageBox::Ok)
        accept();
}

void CFtpBrowserDlg::OnExec()
{
    if (!UpdateData(true))
        return;
    m_strRemoteFile = SelectedName();
    const CFtpCommandLine line = CFtpCommandLine::Split(m_strFtpCommand);
    const QString &command = line.m_strCommand;
    CFtpConnection *connection = m_pFtpConnection;
    // Failures of the folder commands leave the server's reason in the status line.
    auto report = [this](const CFtpResult &result) {
        if (!result)
            m_strStatus = result.m_strReason;
    };

    if (command == QLatin1String("CD")) {
        if (m_strRemoteFile.isEmpty())
            m_strRemoteFile = line.m_strArg1;
        if (connection) {
            CFtpResult result = CFtpWorker::Run([&] { return connection->SetCurrentDirectory(m_strRemoteFile); });
            if (result) {
                m_listFiles->clear();
                RefreshList();
                g_settings.REMOTE_DIRECTORY = m_strCurrentDir;
            }
            report(result);
        }
    } else if (command == QLatin1String("MKDIR")) {
        m_dlgCreateDir.m_strDirName = line.m_strArg1;
        if (m_dlgCreateDir.DoModal() == QDialog::Accepted && connection) {
            const QString name = m_dlgCreateDir.m_strDirName;
            CFtpResult result = CFtpWorker::Run([&] { return connection->CreateDirectory(name); });
            if (result)
                AfxMessageBox(this, tr("Directory ") + name + tr(" created."), QMessageBox::Ok,
                              QMessageBox::Information);
            report(result);
        }
    } else if (command == QLatin1String("RMDIR")) {
        if (m_strRemoteFile.isEmpty())
            m_strRemoteFile = line.m_strArg1;
        if (AfxMessageBox(this, tr("Remove directory :") + m_strRemoteFile, QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::Question)
                == QMessageBox::Yes
            && connection)
            report(CFtpWorker::Run([&] { return connection->RemoveDirectory(m_strRemoteFile); }));
    } else if (command == QLatin1String("RENAME")) {
        if (m_strRemoteFile.isEmpty()) {
            m_dlgRename.m_strOldName = line.m_strArg1;
            m_dlgRename.m_strNewName = line.m_strArg2;
        } else {
            m_dlgRename.m_strOldName = m_strRemoteFile;
            m_dlgRename.m_strNewName = m_strRemoteFile;
        }
        if (m_dlgRename.DoModal() == QDialog::Accepted && connection) {
            const QString from = m_dlgRename.m_strOldName;
            const QString to = m_dlgRename.m_strNewName;
            CFtpResult result = CFtpWorker::Run([&] { return connection->Rename(from, to); });
            if (result)
                AfxMessageBox(this, QStringLiteral("File %1 renamed to %2").arg(from, to), QMessageBox::Ok,
                              QMessageBox::Information);
            report(result);
        }
    } else if (command == QLatin1String("DELETE")) {
        if (m_strRemoteFile.isEmpty())
            m_strRemoteFile = line.m_strArg1;
        if (AfxMessageBox(this, tr("Delete file :") + m_strRemoteFile, QMessageBox::Yes | QMessageBox::No,
                          QMessageBox::Question)
                == QMessageBox::Yes
            && connection)
            report(CFtpWorker::Run([&] { return connection->Remove(m_strRemoteFile); }));
    } else {
        AfxMessageBox(this, tr("FTP command :") + command + tr(" not allowed"), QMessageBox::Ok,
                      QMessageBox::Critical);
    }
    UpdateData(false);
}
