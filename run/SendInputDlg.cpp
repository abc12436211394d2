#include "run/SendInputDlg.h"

#include "framework/DataExchange.h"
#include "framework/DialogUnits.h"
#include "run/RedirectPipe.h"

#include <QLineEdit>
#include <QPushButton>

CSendInputDlg::CSendInputDlg(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("SendInputDlg"));
    setWindowTitle(QStringLiteral("Send Input to Script"));
    CDialogUnits du(this);

    m_pInput = new QLineEdit(this);
    m_pInput->setObjectName(QStringLiteral("edit_1081"));
    m_pInput->setGeometry(du.Rect(7, 6, 282, 14));
    m_pInput->setMaxLength(kMaxLine);

    auto *send = new QPushButton(QStringLiteral("&Send"), this);
    send->setObjectName(QStringLiteral("button_1"));
    send->setGeometry(du.Rect(296, 7, 33, 14));
    send->setDefault(true);
    auto *eof = new QPushButton(QStringLiteral("&eof"), this);
    eof->setObjectName(QStringLiteral("button_1065"));
    eof->setGeometry(du.Rect(296, 28, 33, 14));
    eof->setAutoDefault(false);
    connect(send, &QPushButton::clicked, this, &CSendInputDlg::accept);
    connect(eof, &QPushButton::clicked, this, &CSendInputDlg::OnEof);

    setFixedSize(du.Size(334, 50));
}

void CSendInputDlg::accept()
{
    CDataExchange dx(this, true);
    dx.Text(QStringLiteral("edit_1081"), m_strInput);
    dx.MaxChars(m_strInput, kMaxLine);
    if (dx.Failed())
        return;
    if (m_fnTakeLine && m_fnTakeLine(m_strInput)) {
        m_strInput.clear();
        m_pInput->clear();
        m_pInput->setFocus();
        return;
    }
    if (!m_pStdIn) {
        hide();
        return;
    }
    m_pStdIn->Write(m_strInput.toLocal8Bit() + '\n');
    m_strInput.clear();
    m_pInput->clear();
    m_pInput->setFocus();
}

void CSendInputDlg::OnEof()
{
    if (m_pStdIn)
        m_pStdIn->Close();
    hide();
}
