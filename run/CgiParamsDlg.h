#pragma once

#include "run/CgiEnvironment.h"

#include <QDialog>

class CScriptInputsDlg;
class QTableWidget;
class QPushButton;

// The variables of a CGI simulation: up to 25 names and values of the inputs record,
// beside the variables the simulation itself sets, so the whole environment the script
// will get is in view. Save keeps the rows in the record; Cancel leaves it as it was.
class CCgiParamsDlg : public QDialog
{
    Q_OBJECT

public:
    // `simulated` are the variables the request sets before the user's.
    CCgiParamsDlg(CScriptInputsDlg &record, const QList<CCgiEnvironment::NameValue> &simulated,
                  QWidget *parent = nullptr);

    void accept() override;

    // Why a row's name cannot be a variable; empty when it can.
    static QString NameProblem(const QString &strName);

private:
    void OnInitDialog();

    CScriptInputsDlg &m_record;
    QTableWidget *m_pVars;
    QTableWidget *m_pSimulated;
    QPushButton *m_pSave;
    QPushButton *m_pCancel;
};
