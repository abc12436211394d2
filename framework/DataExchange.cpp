#include "framework/DataExchange.h"

#include "framework/MessageBox.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextEdit>
#include <QWidget>

#include <limits>

namespace {

// Reads a whole decimal number with optional blanks around it, as the standard
// integer fields accept it.
bool ParseInteger(const QString &text, bool allowSign, qint64 &value)
{
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    int pos = 0;
    bool negative = false;
    if (t[0] == QLatin1Char('+') || (allowSign && t[0] == QLatin1Char('-'))) {
        negative = t[0] == QLatin1Char('-');
        ++pos;
    }
    if (pos >= t.size())
        return false;
    qint64 v = 0;
    for (; pos < t.size(); ++pos) {
        if (!t[pos].isDigit() || t[pos].unicode() > 127)
            return false;
        v = v * 10 + (t[pos].unicode() - '0');
        if (v > qint64(std::numeric_limits<unsigned int>::max()) + 1)
            return false;
    }
    value = negative ? -v : v;
    return true;
}

} // namespace

CDataExchange::CDataExchange(QWidget *pDlg, bool bSaveAndValidate)
    : m_bSaveAndValidate(bSaveAndValidate)
    , m_pDlg(pDlg)
{
}

QWidget *CDataExchange::Control(const QString &strControl)
{
    QWidget *w = m_pDlg->objectName() == strControl ? m_pDlg : m_pDlg->findChild<QWidget *>(strControl);
    Q_ASSERT_X(w, "CDataExchange", qPrintable(strControl));
    m_pLastControl = w;
    return w;
}

QString CDataExchange::TextOf(const QWidget *control)
{
    if (auto *e = qobject_cast<const QLineEdit *>(control))
        return e->text();
    if (auto *c = qobject_cast<const QComboBox *>(control))
        return c->currentText();
    if (auto *p = qobject_cast<const QPlainTextEdit *>(control))
        return p->toPlainText();
    if (auto *t = qobject_cast<const QTextEdit *>(control))
        return t->toPlainText();
    if (auto *b = qobject_cast<const QAbstractButton *>(control))
        return b->text();
    return QString();
}

void CDataExchange::SetTextOf(QWidget *control, const QString &text)
{
    if (auto *e = qobject_cast<QLineEdit *>(control))
        e->setText(text);
    else if (auto *c = qobject_cast<QComboBox *>(control)) {
        if (c->isEditable())
            c->setEditText(text);
        else
            c->setCurrentIndex(c->findText(text));
    } else if (auto *p = qobject_cast<QPlainTextEdit *>(control))
        p->setPlainText(text);
    else if (auto *t = qobject_cast<QTextEdit *>(control))
        t->setPlainText(text);
    else if (auto *b = qobject_cast<QAbstractButton *>(control))
        b->setText(text);
}

void CDataExchange::Text(const QString &strControl, QString &value)
{
    if (m_bFailed)
        return;
    QWidget *w = Control(strControl);
    if (m_bSaveAndValidate)
        value = TextOf(w);
    else
        SetTextOf(w, value);
}

void CDataExchange::Text(const QString &strControl, int &value)
{
    if (m_bFailed)
        return;
    QWidget *w = Control(strControl);
    if (!m_bSaveAndValidate) {
        SetTextOf(w, QString::number(value));
        return;
    }
    qint64 v = 0;
    if (!ParseInteger(TextOf(w), true, v) || v > std::numeric_limits<int>::max()
        || v < std::numeric_limits<int>::min()) {
        Fail(QStringLiteral("Please enter an integer."));
        return;
    }
    value = int(v);
}

void CDataExchange::Text(const QString &strControl, unsigned int &value)
{
    if (m_bFailed)
        return;
    QWidget *w = Control(strControl);
    if (!m_bSaveAndValidate) {
        SetTextOf(w, QString::number(value));
        return;
    }
    qint64 v = 0;
    if (!ParseInteger(TextOf(w), false, v) || v > std::numeric_limits<unsigned int>::max()) {
        Fail(QStringLiteral("Please enter a positive integer."));
        return;
    }
    value = unsigned(v);
}

void CDataExchange::Check(const QString &strControl, int &value)
{
    if (m_bFailed)
        return;
    auto *b = qobject_cast<QAbstractButton *>(Control(strControl));
    if (!b)
        return;
    if (m_bSaveAndValidate)
        value = b->isChecked() ? 1 : 0;
    else
        b->setChecked(value != 0);
}

void CDataExchange::Radio(const QStringList &controls, int &value)
{
    if (m_bFailed)
        return;
    for (int i = 0; i < controls.size(); ++i) {
        auto *b = qobject_cast<QAbstractButton *>(Control(controls[i]));
        if (!b)
            continue;
        if (m_bSaveAndValidate) {
            if (i == 0)
                value = -1;
            if (b->isChecked())
                value = i;
        } else {
            b->setAutoExclusive(false);
            b->setChecked(i == value);
            b->setAutoExclusive(true);
        }
    }
}

void CDataExchange::MaxChars(const QString &value, int nChars)
{
    if (m_bFailed || !m_pLastControl)
        return;
    if (!m_bSaveAndValidate) {
        if (auto *e = qobject_cast<QLineEdit *>(m_pLastControl))
            e->setMaxLength(nChars);
        else if (auto *c = qobject_cast<QComboBox *>(m_pLastControl); c && c->lineEdit())
            c->lineEdit()->setMaxLength(nChars);
        return;
    }
    if (value.size() > nChars)
        Fail(QStringLiteral("Please enter no more than %1 characters.").arg(nChars));
}

void CDataExchange::MinMaxInt(int value, int nMin, int nMax)
{
    if (m_bFailed || !m_bSaveAndValidate)
        return;
    if (value < nMin || value > nMax)
        Fail(QStringLiteral("Please enter an integer between %1 and %2.").arg(nMin).arg(nMax));
}

void CDataExchange::Fail(const QString &strMessage)
{
    m_bFailed = true;
    AfxMessageBox(m_pDlg, strMessage, QMessageBox::Ok, QMessageBox::Warning);
    if (QWidget *w = m_pLastControl) {
        w->setFocus(Qt::OtherFocusReason);
        if (auto *e = qobject_cast<QLineEdit *>(w))
            e->selectAll();
        else if (auto *c = qobject_cast<QComboBox *>(w); c && c->lineEdit())
            c->lineEdit()->selectAll();
        else if (auto *p = qobject_cast<QPlainTextEdit *>(w))
            p->selectAll();
    }
}
