#include "editor/FindReplaceDlg.h"

#include "editor/KestrelView.h"
#include "framework/MessageBox.h"
#include "framework/ScreenFit.h"

#include <Qsci/qsciscintilla.h>

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// What was last searched for, kept when the dialog closes.
struct CLastSearch
{
    QString strText;
    bool bMatchCase = false;
    bool bWholeWord = false;
};

CLastSearch &LastSearch()
{
    static CLastSearch s_last;
    return s_last;
}

bool FindFrom(QsciScintilla *pEditor, const CLastSearch &search, bool bForward)
{
    int line = 0, index = 0, l1 = 0, i1 = 0;
    if (bForward)
        pEditor->getSelection(&l1, &i1, &line, &index);
    else
        pEditor->getSelection(&line, &index, &l1, &i1);
    if (line < 0)
        pEditor->getCursorPosition(&line, &index);
    return pEditor->findFirst(search.strText, false, search.bMatchCase, search.bWholeWord, false, bForward, line,
                              index);
}

} // namespace

bool CFindReplaceDlg::FindAgain(QsciScintilla *pEditor, bool bForward)
{
    const CLastSearch &search = LastSearch();
    if (search.strText.isEmpty()) {
        Show(pEditor, false);
        return false;
    }
    const bool found = FindFrom(pEditor, search, bForward);
    if (!found)
        AfxMessageBox(pEditor->window(), tr("Cannot find the string '%1'.").arg(search.strText), QMessageBox::Ok,
                      QMessageBox::Information);
    return found;
}

CFindReplaceDlg *CFindReplaceDlg::Show(QsciScintilla *pEditor, bool bReplace)
{
    static QPointer<CFindReplaceDlg> s_dlg;
    if (!s_dlg || s_dlg->m_pEditor != pEditor)
        s_dlg = new CFindReplaceDlg(pEditor);
    s_dlg->SetReplaceMode(bReplace);
    QString selected = pEditor->selectedText();
    if (!selected.isEmpty() && !selected.contains(QLatin1Char('\n')))
        s_dlg->m_pFindWhat->setText(selected);
    s_dlg->show();
    s_dlg->raise();
    s_dlg->activateWindow();
    s_dlg->m_pFindWhat->setFocus();
    s_dlg->m_pFindWhat->selectAll();
    return s_dlg;
}

CFindReplaceDlg::CFindReplaceDlg(QsciScintilla *pEditor)
    : QDialog(pEditor->window())
    , m_pEditor(pEditor)
{
    CScreenFit::Install(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("FindReplaceDlg"));
    auto *grid = new QGridLayout;
    // A label draws its "&" as a mnemonic, and Alt with the letter reaches the field,
    // only when it has the field as its buddy.
    auto *findLabel = new QLabel(tr("Fi&nd what:"));
    findLabel->setObjectName(QStringLiteral("FindWhatLabel"));
    grid->addWidget(findLabel, 0, 0);
    m_pFindWhat = new QLineEdit;
    m_pFindWhat->setObjectName(QStringLiteral("FindWhat"));
    findLabel->setBuddy(m_pFindWhat);
    grid->addWidget(m_pFindWhat, 0, 1);
    m_pReplaceLabel = new QLabel(tr("Re&place with:"));
    m_pReplaceLabel->setObjectName(QStringLiteral("ReplaceWithLabel"));
    grid->addWidget(m_pReplaceLabel, 1, 0);
    m_pReplaceWith = new QLineEdit;
    m_pReplaceWith->setObjectName(QStringLiteral("ReplaceWith"));
    m_pReplaceLabel->setBuddy(m_pReplaceWith);
    grid->addWidget(m_pReplaceWith, 1, 1);
    m_pMatchCase = new QCheckBox(tr("Match &case"));
    m_pWholeWord = new QCheckBox(tr("Match &whole word only"));
    grid->addWidget(m_pWholeWord, 2, 0, 1, 2);
    grid->addWidget(m_pMatchCase, 3, 0, 1, 2);
    auto *direction = new QGroupBox(tr("Direction"));
    auto *dirLayout = new QHBoxLayout(direction);
    m_pUp = new QRadioButton(tr("&Up"));
    m_pDown = new QRadioButton(tr("&Down"));
    m_pDown->setChecked(true);
    dirLayout->addWidget(m_pUp);
    dirLayout->addWidget(m_pDown);
    grid->addWidget(direction, 4, 0, 1, 2);

    auto *buttons = new QVBoxLayout;
    m_pFindNext = new QPushButton(tr("&Find Next"));
    m_pFindNext->setDefault(true);
    m_pReplace = new QPushButton(tr("&Replace"));
    m_pReplaceAll = new QPushButton(tr("Replace &All"));
    auto *cancel = new QPushButton(tr("Cancel"));
    buttons->addWidget(m_pFindNext);
    buttons->addWidget(m_pReplace);
    buttons->addWidget(m_pReplaceAll);
    buttons->addWidget(cancel);
    buttons->addStretch();

    auto *layout = new QHBoxLayout(this);
    layout->addLayout(grid, 1);
    layout->addLayout(buttons);

    connect(m_pFindNext, &QPushButton::clicked, this, [this] { FindNext(); });
    connect(m_pReplace, &QPushButton::clicked, this, &CFindReplaceDlg::ReplaceCurrent);
    connect(m_pReplaceAll, &QPushButton::clicked, this, [this] { ReplaceAll(); });
    connect(cancel, &QPushButton::clicked, this, &QDialog::close);
    connect(m_pFindWhat, &QLineEdit::textChanged, this, &CFindReplaceDlg::UpdateButtons);
    UpdateButtons();
}

void CFindReplaceDlg::SetReplaceMode(bool bReplace)
{
    setWindowTitle(bReplace ? tr("Replace") : tr("Find"));
    m_pReplaceLabel->setVisible(bReplace);
    m_pReplaceWith->setVisible(bReplace);
    m_pReplace->setVisible(bReplace);
    m_pReplaceAll->setVisible(bReplace);
    m_pUp->parentWidget()->setVisible(!bReplace);
    if (bReplace)
        m_pDown->setChecked(true);
    adjustSize();
}

void CFindReplaceDlg::UpdateButtons()
{
    bool any = !m_pFindWhat->text().isEmpty();
    m_pFindNext->setEnabled(any);
    m_pReplace->setEnabled(any);
    m_pReplaceAll->setEnabled(any);
}

bool CFindReplaceDlg::FindNext()
{
    bool forward = m_pDown->isChecked();
    CLastSearch &search = LastSearch();
    search.strText = m_pFindWhat->text();
    search.bMatchCase = m_pMatchCase->isChecked();
    search.bWholeWord = m_pWholeWord->isChecked();
    bool found = FindFrom(m_pEditor, search, forward);
    if (!found)
        AfxMessageBox(this, tr("Cannot find the string '%1'.").arg(m_pFindWhat->text()), QMessageBox::Ok,
                      QMessageBox::Information);
    return found;
}

bool CFindReplaceDlg::ReplacementFits()
{
    auto *view = qobject_cast<CKestrelView *>(m_pEditor);
    const QString why = view ? view->RefusalMessage(m_pReplaceWith->text()) : QString();
    if (why.isEmpty())
        return true;
    AfxMessageBox(this, why);
    return false;
}

void CFindReplaceDlg::ReplaceCurrent()
{
    if (!ReplacementFits())
        return;
    QString selected = m_pEditor->selectedText();
    bool matches = m_pMatchCase->isChecked() ? selected == m_pFindWhat->text()
                                             : selected.compare(m_pFindWhat->text(), Qt::CaseInsensitive) == 0;
    if (m_pEditor->hasSelectedText() && matches)
        m_pEditor->replaceSelectedText(m_pReplaceWith->text());
    FindNext();
}

int CFindReplaceDlg::ReplaceAll()
{
    if (!ReplacementFits())
        return 0;
    int count = 0;
    m_pEditor->beginUndoAction();
    bool found = m_pEditor->findFirst(m_pFindWhat->text(), false, m_pMatchCase->isChecked(),
                                      m_pWholeWord->isChecked(), false, true, 0, 0, true);
    while (found) {
        m_pEditor->replace(m_pReplaceWith->text());
        ++count;
        found = m_pEditor->findNext();
    }
    m_pEditor->endUndoAction();
    return count;
}
