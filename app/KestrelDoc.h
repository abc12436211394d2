#pragma once

#include "framework/CommandMap.h"

#include <QObject>
#include <QString>

class CKestrelView;
class QWidget;

// The script document. Its text lives in the view; the document knows where it is
// stored, whether it changed, and the server folder it was last loaded from.
class CKestrelDoc : public QObject
{
    Q_OBJECT

public:
    explicit CKestrelDoc(QObject *parent = nullptr);

    void SetView(CKestrelView *pView);
    CKestrelView *GetView() const { return m_pView; }
    CCommandMap &Commands() { return m_commands; }

    const QString &GetPathName() const { return m_strPathName; }
    void SetPathName(const QString &strPath);
    const QString &GetTitle() const { return m_strTitle; }
    void SetTitle(const QString &strTitle);

    bool IsModified() const { return m_bModified; }
    void SetModifiedFlag(bool bModified = true);

    // A new script: "#!" + REMOTE_PERL_EXE and a line end, not marked modified.
    bool OnNewDocument();
    // Loads the file's bytes into the view. Reports a failure to the user.
    bool OnOpenDocument(const QString &strPath);
    // Writes the view's bytes atomically. Reports a failure to the user and leaves
    // the file on disk as it was.
    bool OnSaveDocument(const QString &strPath);

    // Asks whether to save a modified document. False when the user cancels or the
    // save fails.
    bool SaveModified();

    // File > Save and File > Save As, each starting in the remembered save folder.
    bool OnFileSave();
    bool OnFileSaveAs();
    // What File > Save does; the run commands call it first.
    bool SaveScript() { return OnFileSave(); }

    // Asks for a path in the save dialog; empty when cancelled.
    QString PromptSavePath();

    QString m_strServerDir;

signals:
    void TitleChanged();
    void Saved(const QString &strPath);
    // Saved under a name the user chose (Save As, or the first Save of a new script).
    void SavedAs(const QString &strPath);

private:
    bool DoSave(const QString &strPath);
    void SetModified(bool bModified);
    QWidget *Window() const;

    CKestrelView *m_pView = nullptr;
    CCommandMap m_commands;
    QString m_strPathName;
    QString m_strTitle;
    bool m_bModified = false;
    bool m_bModifiedBeyondText = false;
    bool m_bSettingText = false;
};

// The folder File > Save and Save As start in.
extern QString g_strSaveDir;
