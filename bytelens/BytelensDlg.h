#pragma once

#include <QDialog>
#include <QIcon>
#include <QString>

#include <memory>

class CDataExchange;
class CDumpSource;
class CDumpView;
class QComboBox;

// "Class Dumper": the user types a file name, presses Dump (or Enter) and sees the
// file's listing. OK and Cancel end the program.
class CBytelensDlg : public QDialog
{
    Q_OBJECT

public:
    explicit CBytelensDlg(QWidget *parent = nullptr);
    ~CBytelensDlg() override;

    // Button 3.
    void OnDump();
    // The dump of a name given on the command line, which the length rule of typed
    // names does not concern.
    void DumpFile(const QString &strPath);
    void OnAbout();

    CDumpView *DumpView() const { return m_pDumpView; }

    // The listing shown in control 1001; null before the first dump.
    std::shared_ptr<CDumpSource> m_pDump;
    QString m_strClassFile;

protected:
    bool UpdateData(bool bSaveAndValidate);
    void DoDataExchange(CDataExchange &dx);
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void DumpClassFile();

    QIcon m_hIcon;
    QComboBox *m_pClassFile = nullptr;
    CDumpView *m_pDumpView = nullptr;
};
