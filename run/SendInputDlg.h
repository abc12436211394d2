#pragma once

#include <QDialog>
#include <QString>

#include <functional>

class CRedirectPipe;
class QLineEdit;
class QPushButton;

// Writes lines typed by the user to a running child's standard input, or closes it.
class CSendInputDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int kMaxLine = 256;

    explicit CSendInputDlg(QWidget *parent = nullptr);

    void accept() override;
    void OnEof();

    CRedirectPipe *m_pStdIn = nullptr;
    // In a debug run: given each line first; true when it took the line as a command
    // of the debugger, which then does not reach the program.
    std::function<bool(const QString &)> m_fnTakeLine;
    QString m_strInput;

private:
    QLineEdit *m_pInput;
};
