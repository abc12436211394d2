#include "app/KestrelDoc.h"

#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "framework/CommandIds.h"
#include "framework/MessageBox.h"
#include "framework/SafeSave.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>

QString g_strSaveDir;

namespace {

const char kFilter[] = "Kestrel Files (*.pl);;All Files (*)";

QString Untitled() { return QStringLiteral("Untitled"); }

} // namespace

CKestrelDoc::CKestrelDoc(QObject *parent)
    : QObject(parent)
    , m_strTitle(Untitled())
{
    m_commands.On(Cmd::ID_FILE_SAVE, [this] { OnFileSave(); });
    m_commands.On(Cmd::ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); });
}

void CKestrelDoc::SetView(CKestrelView *pView)
{
    m_pView = pView;
    connect(pView, &QsciScintillaBase::SCN_SAVEPOINTLEFT, this, [this] {
        if (!m_bSettingText)
            SetModified(true);
    });
    // Undo and Redo back to the text as it was saved (or loaded) take the mark away,
    // unless the document differs from its file in another way than its text.
    connect(pView, &QsciScintillaBase::SCN_SAVEPOINTREACHED, this, [this] {
        if (!m_bSettingText && !m_bModifiedBeyondText)
            SetModified(false);
    });
}

QWidget *CKestrelDoc::Window() const { return m_pView ? m_pView->window() : nullptr; }

void CKestrelDoc::SetPathName(const QString &strPath)
{
    m_strPathName = strPath;
    SetTitle(strPath.isEmpty() ? Untitled() : QFileInfo(strPath).fileName());
}

void CKestrelDoc::SetTitle(const QString &strTitle)
{
    m_strTitle = strTitle;
    emit TitleChanged();
}

void CKestrelDoc::SetModifiedFlag(bool bModified)
{
    // The next edit after a clean state leaves the save point again.
    if (!bModified && m_pView)
        m_pView->SendScintilla(QsciScintillaBase::SCI_SETSAVEPOINT);
    // Marked modified from outside (a text loaded from a server that has no file here
    // yet, a conversion that changed nothing): no undo makes it equal to a file.
    m_bModifiedBeyondText = bModified;
    SetModified(bModified);
}

void CKestrelDoc::SetModified(bool bModified)
{
    if (m_bModified == bModified)
        return;
    m_bModified = bModified;
    emit TitleChanged();
}

bool CKestrelDoc::OnNewDocument()
{
    m_bSettingText = true;
    QByteArray text = "#!" + g_settings.REMOTE_PERL_EXE.toUtf8();
#ifdef Q_OS_WIN
    text += "\r\n";
#else
    text += "\n";
#endif
    m_pView->SetTextBytes(text);
    m_bSettingText = false;
    SetPathName(QString());
    SetModifiedFlag(false);
    return true;
}

bool CKestrelDoc::OnOpenDocument(const QString &strPath)
{
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly)) {
        AfxMessageBox(Window(), tr("Cannot open file %1:\n%2.")
                                    .arg(QDir::toNativeSeparators(strPath), file.errorString()));
        return false;
    }
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        AfxMessageBox(Window(), tr("Cannot read file %1:\n%2.")
                                    .arg(QDir::toNativeSeparators(strPath), file.errorString()));
        return false;
    }
    m_bSettingText = true;
    // The colouring is chosen before the text arrives, so that a large file is
    // coloured only where it is shown.
    m_pView->SelectLexerFor(strPath);
    m_pView->SetTextBytes(data);
    m_bSettingText = false;
    SetPathName(QFileInfo(strPath).absoluteFilePath());
    SetModifiedFlag(false);
    return true;
}

bool CKestrelDoc::OnSaveDocument(const QString &strPath)
{
    QString error;
    // Every way in refuses such a character; should one still be there, the file is
    // left as it was rather than written with something else in its place.
    long bad = -1;
    const QByteArray bytes = m_pView->GetTextBytes(&bad);
    if (bad >= 0) {
        const long after = m_pView->SendScintilla(QsciScintillaBase::SCI_POSITIONAFTER, bad);
        const int line = int(m_pView->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, bad)) + 1;
        error = tr("the character \"%1\" on line %2 has no byte in Windows-1252, the encoding of this file")
                    .arg(QString::fromUtf8(m_pView->GetControlBytes().mid(bad, after - bad)))
                    .arg(line);
    } else if (SafeSave(strPath, bytes, &error)) {
        SetModifiedFlag(false);
        emit Saved(strPath);
        return true;
    }
    AfxMessageBox(Window(), tr("Cannot save file %1:\n%2.").arg(QDir::toNativeSeparators(strPath), error));
    return false;
}

bool CKestrelDoc::DoSave(const QString &strPath)
{
    if (!OnSaveDocument(strPath))
        return false;
    SetPathName(QFileInfo(strPath).absoluteFilePath());
    return true;
}

bool CKestrelDoc::SaveModified()
{
    if (!m_bModified)
        return true;
    auto answer = AfxMessageBox(Window(), tr("Save changes to %1?").arg(m_strPathName.isEmpty()
                                                                              ? m_strTitle
                                                                              : QDir::toNativeSeparators(m_strPathName)),
                                QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Question);
    if (answer == QMessageBox::Cancel)
        return false;
    if (answer == QMessageBox::No)
        return true;
    return OnFileSave();
}

QString CKestrelDoc::PromptSavePath()
{
    QString start = QDir::currentPath();
    if (!m_strPathName.isEmpty())
        start = QDir(start).filePath(QFileInfo(m_strPathName).fileName());
    QString selectedFilter;
    QString path = QFileDialog::getSaveFileName(Window(), tr("Save As"), start, QString::fromLatin1(kFilter),
                                                &selectedFilter);
    if (path.isEmpty())
        return path;
    if (QFileInfo(path).suffix().isEmpty() && selectedFilter.startsWith(QLatin1String("Kestrel")))
        path += QLatin1String(".pl");
    return path;
}

// Save and Save As start in the remembered save folder and leave the process's
// current folder as it was.
bool CKestrelDoc::OnFileSave()
{
    if (m_strPathName.isEmpty())
        return OnFileSaveAs();
    QString previous = QDir::currentPath();
    if (!g_strSaveDir.isEmpty())
        QDir::setCurrent(g_strSaveDir);
    bool ok = DoSave(m_strPathName);
    g_strSaveDir = QDir::currentPath();
    QDir::setCurrent(previous);
    return ok;
}

bool CKestrelDoc::OnFileSaveAs()
{
    QString previous = QDir::currentPath();
    if (!g_strSaveDir.isEmpty())
        QDir::setCurrent(g_strSaveDir);
    QString path = PromptSavePath();
    bool ok = false;
    if (!path.isEmpty()) {
        // The folder the user browsed to is where the next save starts.
        QDir::setCurrent(QFileInfo(path).absolutePath());
        ok = DoSave(path);
        if (ok)
            emit SavedAs(m_strPathName);
    }
    g_strSaveDir = QDir::currentPath();
    QDir::setCurrent(previous);
    return ok;
}
