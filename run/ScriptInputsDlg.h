#pragma once

#include <QDialog>
#include <QString>

class QComboBox;
class QPlainTextEdit;
class QPushButton;

// The saved standard input of a run: a text and a request method that simulates how
// a web server feeds a CGI script. In view mode it shows, read-only, the inputs a run
// was given.
class CScriptInputsDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMaxVars = 25;
    static constexpr int kMaxInputs = 4000;
    static constexpr int kMaxMethod = 10;

    explicit CScriptInputsDlg(QWidget *parent = nullptr);

    // Fills the controls from the record and sets the mode; exec() calls it.
    void OnInitDialog();
    int exec() override;
    void accept() override;

    QString m_strVarNames[kMaxVars];
    QString m_strVarValues[kMaxVars];
    int m_nVars = 0;
    bool m_bViewMode = false;
    QString m_strInputs;
    QString m_strMethod;
    // The script the simulation runs, for the variables the CGI button shows.
    QString m_strScriptPath;

    // The CGI button: the simulation's variables, edited in a dialog of their own.
    void OnCgi();

private:
    bool DoDataExchange(bool bSaveAndValidate);
    void OnSelEndOkMethod(int index);

    QComboBox *m_pMethod;
    QPlainTextEdit *m_pInputs;
    QPushButton *m_pSave;
    QPushButton *m_pCancel;
    QPushButton *m_pHelp;
    QPushButton *m_pCgi;
};
