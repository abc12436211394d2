#pragma once

#include <QString>

class QWidget;

// Moves values between a dialog's members and its controls, found by their object
// names, and validates them on the way in. The first failure shows the standard
// message, puts the focus on the control with its text selected and stops the
// exchange: later calls do nothing and Failed() is true.
class CDataExchange
{
public:
    CDataExchange(QWidget *pDlg, bool bSaveAndValidate);

    const bool m_bSaveAndValidate;
    bool Failed() const { return m_bFailed; }

    void Text(const QString &strControl, QString &value);
    void Text(const QString &strControl, int &value);
    void Text(const QString &strControl, unsigned int &value);
    void Check(const QString &strControl, int &value);
    // A group of radio buttons: value is the index of the checked one, -1 for none.
    void Radio(const QStringList &controls, int &value);

    // Validation of the control exchanged last; on load it sets the control's limit.
    void MaxChars(const QString &value, int nChars);
    void MinMaxInt(int value, int nMin, int nMax);

    // Shows the message, selects the last control and fails the exchange.
    void Fail(const QString &strMessage);

    static QString TextOf(const QWidget *control);
    static void SetTextOf(QWidget *control, const QString &text);

private:
    QWidget *Control(const QString &strControl);

    QWidget *m_pDlg;
    QWidget *m_pLastControl = nullptr;
    bool m_bFailed = false;
};
