#include "run/CgiParamsDlg.h"

#include "framework/DialogUnits.h"
#include "framework/MessageBox.h"
#include "run/ScriptInputsDlg.h"
#include "framework/ScreenFit.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidget *MakeTable(QWidget *parent, const QString &name, int rows)
{
    auto *table = new QTableWidget(rows, 2, parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value")});
    table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
    table->horizontalHeader()->setStretchLastSection(true);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    return table;
}

QString CellText(const QTableWidget *table, int row, int column)
{
    const QTableWidgetItem *item = table->item(row, column);
    return item ? item->text() : QString();
}

} // namespace

CCgiParamsDlg::CCgiParamsDlg(CScriptInputsDlg &record, const QList<CCgiEnvironment::NameValue> &simulated,
                             QWidget *parent)
    : QDialog(parent)
    , m_record(record)
{
    CScreenFit::Install(this);
    setObjectName(QStringLiteral("CgiParamsDlg"));
    setWindowTitle(QStringLiteral("CGI Parameters"));
    CDialogUnits du(this);

    auto *ownLabel = new QLabel(QStringLiteral("&Variables of this simulation (set last, they win):"), this);
    m_pVars = MakeTable(this, QStringLiteral("table_vars"), CScriptInputsDlg::kMaxVars);
    m_pVars->setToolTip(QStringLiteral("Names may hold letters, digits and underscores, such as HTTP_COOKIE."));
    ownLabel->setBuddy(m_pVars);
    auto *setLabel = new QLabel(QStringLiteral("Set by the simulation:"), this);
    m_pSimulated = MakeTable(this, QStringLiteral("table_simulated"), int(simulated.size()));
    m_pSimulated->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_pSimulated->setFocusPolicy(Qt::NoFocus);
    for (int i = 0; i < simulated.size(); ++i) {
        m_pSimulated->setItem(i, 0, new QTableWidgetItem(simulated[i].first));
        m_pSimulated->setItem(i, 1, new QTableWidgetItem(simulated[i].second));
    }
    m_pSimulated->resizeColumnToContents(0);
    m_pVars->setColumnWidth(0, m_pSimulated->columnWidth(0));

    m_pSave = new QPushButton(QStringLiteral("&Save"), this);
    m_pSave->setObjectName(QStringLiteral("button_1"));
    m_pSave->setDefault(true);
    m_pSave->setToolTip(QStringLiteral("Save the variables to be given to the script when it runs."));
    m_pCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_pCancel->setObjectName(QStringLiteral("button_2"));
    for (QPushButton *b : {m_pSave, m_pCancel}) {
        b->setAutoDefault(false);
        b->setFixedSize(du.Size(50, 14));
    }
    connect(m_pSave, &QPushButton::clicked, this, &CCgiParamsDlg::accept);
    connect(m_pCancel, &QPushButton::clicked, this, &CCgiParamsDlg::reject);

    auto *tables = new QHBoxLayout;
    auto *left = new QVBoxLayout;
    left->addWidget(ownLabel);
    left->addWidget(m_pVars);
    auto *right = new QVBoxLayout;
    right->addWidget(setLabel);
    right->addWidget(m_pSimulated);
    tables->addLayout(left, 1);
    tables->addLayout(right, 1);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(m_pSave);
    buttons->addWidget(m_pCancel);
    buttons->addStretch();
    auto *outer = new QHBoxLayout(this);
    outer->addLayout(tables, 1);
    outer->addLayout(buttons);
    resize(du.Size(520, 200));
    OnInitDialog();
}

void CCgiParamsDlg::OnInitDialog()
{
    for (int i = 0; i < CScriptInputsDlg::kMaxVars; ++i) {
        const bool bUsed = i < m_record.m_nVars;
        m_pVars->setItem(i, 0, new QTableWidgetItem(bUsed ? m_record.m_strVarNames[i] : QString()));
        m_pVars->setItem(i, 1, new QTableWidgetItem(bUsed ? m_record.m_strVarValues[i] : QString()));
    }
    m_pVars->setCurrentCell(0, 0);
}

QString CCgiParamsDlg::NameProblem(const QString &strName)
{
    if (strName.isEmpty())
        return QStringLiteral("A variable with a value needs a name.");
    if (!CCgiEnvironment::IsValidName(strName))
        return QStringLiteral("The variable name \"%1\" is not valid: a name holds only letters, digits and "
                              "underscores (A-Z, a-z, 0-9, _) and does not start with a digit.")
            .arg(strName);
    return QString();
}

void CCgiParamsDlg::accept()
{
    QList<CCgiEnvironment::NameValue> rows;
    for (int i = 0; i < CScriptInputsDlg::kMaxVars; ++i) {
        const QString name = CellText(m_pVars, i, 0).trimmed();
        const QString value = CellText(m_pVars, i, 1);
        if (name.isEmpty() && value.isEmpty())
            continue;
        const QString problem = NameProblem(name);
        if (!problem.isEmpty()) {
            AfxMessageBox(this, problem, QMessageBox::Ok, QMessageBox::Warning);
            m_pVars->setCurrentCell(i, 0);
            m_pVars->setFocus();
            return;
        }
        rows.append({name, value});
    }
    for (int i = 0; i < CScriptInputsDlg::kMaxVars; ++i) {
        m_record.m_strVarNames[i] = i < rows.size() ? rows[i].first : QString();
        m_record.m_strVarValues[i] = i < rows.size() ? rows[i].second : QString();
    }
    m_record.m_nVars = int(rows.size());
    QDialog::accept();
}
