#include "run/ScriptInputsDlg.h"

#include "framework/DataExchange.h"
#include "framework/DialogUnits.h"
#include "run/CgiParamsDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace {

QString TrimmedLeft(const QString &s)
{
    int i = 0;
    while (i < s.size() && s[i] == QLatin1Char(' '))
        ++i;
    return s.mid(i);
}

QString TrimmedBlanks(const QString &s)
{
    int end = s.size();
    while (end > 0 && s[end - 1] == QLatin1Char(' '))
        --end;
    return TrimmedLeft(s.left(end));
}

} // namespace

CScriptInputsDlg::CScriptInputsDlg(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ScriptInputsDlg"));
    setWindowTitle(QStringLiteral("Specify Script Inputs"));
    CDialogUnits du(this);

    auto *label = new QLabel(QStringLiteral("Request Method"), this);
    label->setGeometry(du.Rect(7, 9, 56, 10));

    m_pMethod = new QComboBox(this);
    m_pMethod->setObjectName(QStringLiteral("combo_1064"));
    m_pMethod->setEditable(true);
    m_pMethod->setInsertPolicy(QComboBox::NoInsert);
    m_pMethod->addItems({QString(), QStringLiteral("GET"), QStringLiteral("POST")});
    m_pMethod->setGeometry(du.Rect(89, 7, 56, 12));
    m_pMethod->setMinimumHeight(m_pMethod->sizeHint().height());
    m_pMethod->setToolTip(QStringLiteral(
        "Request method if running in CGI mode. Leave it blank to continue providing input through the process."));
    // The method is shown and kept in upper case whatever the user types.
    connect(m_pMethod->lineEdit(), &QLineEdit::textEdited, this, [this](const QString &text) {
        QString upper = text.toUpper();
        if (upper != text) {
            int pos = m_pMethod->lineEdit()->cursorPosition();
            m_pMethod->lineEdit()->setText(upper);
            m_pMethod->lineEdit()->setCursorPosition(pos);
        }
    });
    connect(m_pMethod, &QComboBox::activated, this, &CScriptInputsDlg::OnSelEndOkMethod);

    m_pInputs = new QPlainTextEdit(this);
    m_pInputs->setObjectName(QStringLiteral("edit_1037"));
    m_pInputs->setGeometry(du.Rect(7, 24, 265, 128));
    m_pInputs->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_pInputs->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_pInputs->setToolTip(QStringLiteral("Standard input for the process."));

    auto button = [this, &du](const QString &name, const QString &text, int y) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setGeometry(du.Rect(282, y, 50, 14));
        b->setAutoDefault(false);
        return b;
    };
    m_pSave = button(QStringLiteral("button_1"), QStringLiteral("&Save"), 7);
    m_pSave->setDefault(true);
    m_pCancel = button(QStringLiteral("button_2"), QStringLiteral("&Cancel"), 24);
    m_pHelp = button(QStringLiteral("button_9"), QStringLiteral("&Help"), 41);
    m_pCgi = button(QStringLiteral("button_1063"), QStringLiteral("C&GI"), 58);
    m_pCgi->setToolTip(QStringLiteral("Common Gateway Interface parameters for this simulation."));
    connect(m_pSave, &QPushButton::clicked, this, &CScriptInputsDlg::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CScriptInputsDlg::reject);
    connect(m_pCgi, &QPushButton::clicked, this, &CScriptInputsDlg::OnCgi);

    setFixedSize(du.Size(339, 159));
}

bool CScriptInputsDlg::DoDataExchange(bool bSaveAndValidate)
{
    CDataExchange dx(this, bSaveAndValidate);
    dx.Text(QStringLiteral("combo_1064"), m_strMethod);
    dx.MaxChars(m_strMethod, kMaxMethod);
    dx.Text(QStringLiteral("edit_1037"), m_strInputs);
    dx.MaxChars(m_strInputs, kMaxInputs);
    return !dx.Failed();
}

void CScriptInputsDlg::OnInitDialog()
{
    DoDataExchange(false);
    m_strMethod = TrimmedLeft(m_strMethod);
    m_pMethod->setEditText(m_strMethod);
    m_pCgi->setVisible(!m_strMethod.isEmpty());
    if (m_bViewMode) {
        m_pSave->setText(QStringLiteral("&Done"));
        m_pSave->setToolTip(QStringLiteral("Closes the input window."));
        setWindowTitle(QStringLiteral("View script input"));
        m_pInputs->setReadOnly(true);
        m_pMethod->setEnabled(false);
        m_pHelp->setVisible(false);
    } else {
        m_pSave->setText(QStringLiteral("&Save"));
        m_pSave->setToolTip(QStringLiteral("Save the input to be applied when the script runs."));
        setWindowTitle(QStringLiteral("Specify Script Inputs"));
        m_pInputs->setReadOnly(false);
        m_pMethod->setEnabled(true);
        m_pHelp->setVisible(true);
        // Each opening starts at the method, its text selected, as a freshly made
        // dialog would; the window is kept, so Qt would return to the field last used.
        m_pMethod->setFocus();
        m_pMethod->lineEdit()->selectAll();
    }
}

int CScriptInputsDlg::exec()
{
    OnInitDialog();
    return QDialog::exec();
}

void CScriptInputsDlg::OnSelEndOkMethod(int index)
{
    m_strMethod = TrimmedLeft(m_pMethod->itemText(index));
    m_pCgi->setVisible(!m_strMethod.isEmpty());
}

void CScriptInputsDlg::accept()
{
    QString strInputs = m_strInputs;
    QString strMethod = m_strMethod;
    if (!DoDataExchange(true)) {
        m_strInputs = strInputs;
        m_strMethod = strMethod;
        return;
    }
    m_strMethod = TrimmedBlanks(m_strMethod).toUpper();
    DoDataExchange(false);
    QDialog::accept();
}

void CScriptInputsDlg::OnCgi()
{
    // What the dialog shows now, saved or not, is the request the variables join.
    const QString method = TrimmedBlanks(m_pMethod->currentText()).toUpper();
    const QString script = m_strScriptPath.isEmpty() ? QStringLiteral("/script.pl") : m_strScriptPath;
    // Only GET and POST are simulated; with another method the child inherits the
    // IDE's environment unchanged.
    QList<CCgiEnvironment::NameValue> simulated;
    if (CCgiEnvironment::IsSimulated(method))
        simulated = CCgiEnvironment::Variables(CCgiEnvironment::FromInputs(script, method, m_pInputs->toPlainText(), {}));
    CCgiParamsDlg dlg(*this, simulated, this);
    dlg.exec();
}
