#include "app/EditorParams.h"

#include "app/OptionsPropertySheet.h"
#include "app/SettingsFile.h"
#include "editor/KestrelView.h"
#include "framework/DataExchange.h"
#include "framework/DialogUnits.h"
#include "framework/FontDialogStyle.h"

#include <QFontDatabase>
#include <QFontDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <limits>

CEditorParams::CEditorParams(QWidget *parent)
    : CPropertyPage(134, QStringLiteral("Editor"), QSize(347, 183), parent)
{
}

CEditorParams::~CEditorParams() = default;

void CEditorParams::CreateControls()
{
    CDialogUnits du(this);

    QGridLayout *tabs = nullptr;
    QGroupBox *tabsGroup = NewGroup(tr("Tabs"), &tabs);
    QLineEdit *tabSize = NewEdit(1018);
    QLineEdit *indentSize = NewEdit(1019);
    for (QLineEdit *e : {tabSize, indentSize})
        e->setMaximumWidth(du.X(40));
    AddRow(tabs, tr("Tab size"), tabSize);
    AddRow(tabs, tr("Indent size"), indentSize);
    QRadioButton *spaces = NewRadio(1020, tr("Spaces"));
    QRadioButton *tabChars = NewRadio(1021, tr("Tabs"));
    tabs->addWidget(spaces, 0, 3);
    tabs->addWidget(tabChars, 1, 3);
    tabs->setColumnStretch(1, 0);
    tabs->setColumnStretch(2, 0);
    tabs->setColumnMinimumWidth(2, du.X(16));
    tabs->setColumnStretch(4, 1);
    connect(spaces, &QRadioButton::clicked, this, [this] {
        m_strTabExpand = QStringLiteral("Y");
        SetModified(true);
    });
    connect(tabChars, &QRadioButton::clicked, this, [this] {
        m_strTabExpand = QStringLiteral("N");
        SetModified(true);
    });

    QGridLayout *indent = nullptr;
    QGroupBox *indentGroup = NewGroup(tr("Auto Indent ?"), &indent);
    QRadioButton *no = NewRadio(1022, tr("No"));
    QRadioButton *yes = NewRadio(1023, tr("Yes"));
    indent->addWidget(no, 0, 0);
    indent->addWidget(yes, 1, 0);
    connect(yes, &QRadioButton::clicked, this, [this] {
        m_bAutoIndent = 1;
        m_strAutoIndent = QStringLiteral("Y");
        SetModified(true);
    });
    connect(no, &QRadioButton::clicked, this, [this] {
        m_bAutoIndent = 0;
        m_strAutoIndent = QStringLiteral("N");
        SetModified(true);
    });

    QPushButton *font = NewButton(1013, tr("Text display &Font"));
    connect(font, &QPushButton::clicked, this, &CEditorParams::OnFont);

    // The sample has no change handler: typing in it is not a setting.
    m_editSample = NewEdit(1017, false);
    m_editSample->setAlignment(Qt::AlignCenter);
    m_editSample->setMinimumWidth(du.X(160));

    auto *top = new QHBoxLayout;
    top->addWidget(tabsGroup, 3);
    top->addWidget(indentGroup, 1);
    auto *fontRow = new QHBoxLayout;
    fontRow->addStretch(1);
    fontRow->addWidget(font);
    fontRow->addStretch(1);
    auto *sampleRow = new QHBoxLayout;
    sampleRow->addStretch(1);
    sampleRow->addWidget(m_editSample, 4);
    sampleRow->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(du.Y(6));
    layout->addLayout(fontRow);
    layout->addLayout(sampleRow);
    layout->addStretch(1);
}

void CEditorParams::ExchangeSize(CDataExchange *pDX, int nId, short &value, int nMin, int nMax)
{
    int n = value;
    pDX->Text(ControlName("edit", nId), n);
    pDX->MinMaxInt(n, nMin, nMax);
    if (pDX->m_bSaveAndValidate && !pDX->Failed())
        value = short(n);
}

void CEditorParams::DoDataExchange(CDataExchange *pDX)
{
    pDX->Text(ControlName("edit", 1017), m_strSample);
    pDX->MaxChars(m_strSample, 20);
    ExchangeSize(pDX, 1019, m_nIndentSize, 1, 100);
    ExchangeSize(pDX, 1018, m_nTabSize, 2, 10);
}

bool CEditorParams::OnInitDialog()
{
    CPropertyPage::OnInitDialog();
    // Without a saved value both sizes show 0, which the range checks then refuse.
    m_nTabSize = short(CSettingsFile::LeadingInteger(m_strTabSize.toUtf8()));
    m_nIndentSize = short(CSettingsFile::LeadingInteger(m_strIndentSize.toUtf8()));
    m_editSample->setFont(g_fontView);
    findChild<QRadioButton *>(ControlName("radio", m_strTabExpand == QLatin1String("Y") ? 1020 : 1021))
        ->setChecked(true);
    if (m_bAutoIndent) {
        findChild<QRadioButton *>(ControlName("radio", 1023))->setChecked(true);
        m_strAutoIndent = QStringLiteral("Y");
    } else {
        findChild<QRadioButton *>(ControlName("radio", 1022))->setChecked(true);
        m_strAutoIndent = QStringLiteral("N");
    }
    // The saved record keeps the fields the display font cannot express; it is used as
    // it stands while it still describes the font in use.
    CLogFont saved;
    bool complete = CLogFont::Parse(m_strViewFont.toUtf8(), saved) == 14;
    QFont font = g_fontView.family().isEmpty() ? QFontDatabase::systemFont(QFontDatabase::GeneralFont) : g_fontView;
    if (complete && saved.ToQFont() == font)
        m_lf = saved;
    else
        m_lf = CLogFont::FromQFont(font, complete ? saved : CLogFont::DefaultMonospace());
    UpdateData(false);
    return true;
}

void CEditorParams::OnFont()
{
    QFontDialog dlg(FontForDialog(m_lf.ToQFont()), this);
    dlg.setObjectName(QStringLiteral("FontDialog"));
    dlg.setOption(QFontDialog::DontUseNativeDialog);
    if (dlg.exec() != QDialog::Accepted)
        return;
    QFont chosen = dlg.selectedFont();
    m_lf = CLogFont::FromQFont(chosen, m_lf);
    // The face is kept as chosen; reading it back later cuts it at its first character
    // that is not a letter or a blank.
    QString face = chosen.family();
    // The dialog may name the foundry after the family, as in "C059 [urw]".
    if (int bracket = int(face.indexOf(QLatin1String(" ["))); bracket > 0 && face.endsWith(QLatin1Char(']')))
        face.truncate(bracket);
    m_lf.lfFaceName = face.left(CLogFont::kMaxFaceName);
    g_fontView = m_lf.ToQFont();
    m_editSample->setFont(g_fontView);
    m_editSample->update();
    SetModified(true);
}

void CEditorParams::OnOK()
{
    m_strTabSize = QString::number(m_nTabSize);
    m_strIndentSize = QString::number(m_nIndentSize);
    m_strViewFont = m_lf.Format();
    CPropertyPage::OnOK();
}

bool CEditorParams::OnApply()
{
    COptionsPropertySheet::SetSavePending(this);
    return CPropertyPage::OnApply();
}
