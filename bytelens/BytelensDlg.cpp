#include "bytelens/BytelensDlg.h"

#include "bytelens/BytelensAboutDlg.h"
#include "bytelens/DumpSource.h"
#include "bytelens/DumpView.h"
#include "framework/DataExchange.h"
#include "framework/DialogUnits.h"
#include "framework/MessageBox.h"
#include "framework/ScreenFit.h"

#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>

namespace {

const char kClassFile[] = "1000";
const int kMaxClassFile = 50;

// The listing's columns line up only in a fixed-pitch font.
QFont DialogFont()
{
    QFont font(QStringLiteral("Courier New"), 8);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(8);
    }
    return font;
}

} // namespace

CBytelensDlg::CBytelensDlg(QWidget *parent)
    : QDialog(parent)
    , m_hIcon(QStringLiteral(":/bytelens/bytelens.png"))
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("BytelensDlg"));
    setWindowTitle(QStringLiteral("Class Dumper"));
    setWindowIcon(m_hIcon);
    setFont(DialogFont());
    CDialogUnits du(font());
    setFixedSize(du.Size(333, 200));

    auto button = [this, &du](int id, const QString &text, int y) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QString::number(id));
        b->setGeometry(du.Rect(276, y, 50, 14));
        return b;
    };
    QPushButton *ok = button(1, QStringLiteral("OK"), 7);
    QPushButton *cancel = button(2, QStringLiteral("Cancel"), 24);
    QPushButton *dump = button(3, QStringLiteral("&Dump"), 41);
    dump->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(dump, &QPushButton::clicked, this, &CBytelensDlg::OnDump);

    auto label = [this, &du](const QString &text, QRect rect, Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop) {
        auto *l = new QLabel(text, this);
        l->setGeometry(rect);
        l->setAlignment(align);
        l->setWordWrap(true);
        return l;
    };
    label(QStringLiteral("Please type the name of the class in the box below, and click the dump button."),
          du.Rect(13, 14, 221, 21));
    label(QStringLiteral("Java Class File name"), du.Rect(15, 41, 81, 8));
    label(QStringLiteral("Offset"), du.Rect(7, 61, 29, 8), Qt::AlignHCenter | Qt::AlignTop);
    label(QStringLiteral("<-------------Hexadecimal display ------------>"), du.Rect(40, 60, 189, 8));
    label(QStringLiteral("< Text display >"), du.Rect(242, 60, 72, 8));

    m_pClassFile = new QComboBox(this);
    m_pClassFile->setObjectName(QLatin1String(kClassFile));
    m_pClassFile->setEditable(true);
    m_pClassFile->setInsertPolicy(QComboBox::NoInsert);
    m_pClassFile->setGeometry(du.X(109), du.Y(39), du.X(146), m_pClassFile->sizeHint().height());

    m_pDumpView = new CDumpView(this);
    m_pDumpView->setObjectName(QStringLiteral("1001"));
    m_pDumpView->setGeometry(du.Rect(7, 73, 319, 120));
    connect(m_pDumpView, &CDumpView::CopyRefused, this, [this] {
        AfxMessageBox(this, tr("The selection is too large to copy. Select fewer lines."));
    });

    auto *help = new QShortcut(QKeySequence::HelpContents, this);
    connect(help, &QShortcut::activated, this, &CBytelensDlg::OnAbout);

    m_pClassFile->setFocus();
    UpdateData(false);
}

CBytelensDlg::~CBytelensDlg() = default;

void CBytelensDlg::DoDataExchange(CDataExchange &dx)
{
    dx.Text(QLatin1String(kClassFile), m_strClassFile);
    // A combo box's text is not limited while it is typed, only checked when it is read.
    if (dx.m_bSaveAndValidate)
        dx.MaxChars(m_strClassFile, kMaxClassFile);
    if (!dx.m_bSaveAndValidate)
        m_pDumpView->SetSource(m_pDump);
}

bool CBytelensDlg::UpdateData(bool bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void CBytelensDlg::OnDump()
{
    // A name that is too long has been reported; the dump goes on with it all the same.
    UpdateData(true);
    DumpClassFile();
}

void CBytelensDlg::DumpFile(const QString &strPath)
{
    m_strClassFile = strPath;
    DumpClassFile();
}

void CBytelensDlg::DumpClassFile()
{
    if (!m_strClassFile.isEmpty()) {
        QString error;
        if (std::shared_ptr<CDumpSource> source = CDumpSource::Open(m_strClassFile, &error)) {
            m_pDump = source;
            if (!source->ErrorString().isEmpty())
                AfxMessageBox(this,
                              tr("Cannot read file %1:\n%2.")
                                  .arg(QDir::toNativeSeparators(m_strClassFile), source->ErrorString()),
                              QMessageBox::Ok, QMessageBox::Critical);
        }
    }
    UpdateData(false);
}

void CBytelensDlg::OnAbout()
{
    CBytelensAboutDlg dlg(this);
    dlg.exec();
}

void CBytelensDlg::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(QStringLiteral("&About Bytelens..."), this, &CBytelensDlg::OnAbout);
    menu.exec(event->globalPos());
}
