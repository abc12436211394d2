#include "editor/FindReplaceDlg.h"

#include "editor/KestrelView.h"
#include "editor/RegexSearch.h"
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
    bool bRegex = false;
    // Where the last empty match of a regular expression was found or replaced, so that
    // searching again from there moves on instead of finding it again; -1: none.
    long nLastEmptyAt = -1;
};

CLastSearch &LastSearch()
{
    static CLastSearch s_last;
    return s_last;
}

QByteArray ControlBytes(QsciScintilla *pEditor)
{
    const long length = pEditor->SendScintilla(QsciScintilla::SCI_GETLENGTH);
    auto *p = reinterpret_cast<const char *>(pEditor->SendScintilla(QsciScintilla::SCI_GETCHARACTERPOINTER));
    return QByteArray(p, length);
}

// Empty when found or not found (*pbFound says which); else why the pattern is wrong.
QString FindRegex(QsciScintilla *pEditor, CLastSearch &search, bool bForward, bool *pbFound)
{
    *pbFound = false;
    const CRegexSearch re(search.strText, search.bMatchCase, search.bWholeWord);
    if (!re.IsValid())
        return re.ErrorMessage();
    const QByteArray text = ControlBytes(pEditor);
    const long start = pEditor->SendScintilla(QsciScintilla::SCI_GETSELECTIONSTART);
    const long end = pEditor->SendScintilla(QsciScintilla::SCI_GETSELECTIONEND);
    const CRegexSearch::Match m = bForward ? re.FindForward(text, end, start == end && end == search.nLastEmptyAt)
                                           : re.FindBackward(text, start);
    if (!m.IsValid())
        return QString();
    search.nLastEmptyAt = m.nStart == m.nEnd ? long(m.nStart) : -1;
    const long line = pEditor->SendScintilla(QsciScintilla::SCI_LINEFROMPOSITION, (unsigned long)m.nStart);
    pEditor->SendScintilla(QsciScintilla::SCI_ENSUREVISIBLEENFORCEPOLICY, (unsigned long)line);
    pEditor->SendScintilla(QsciScintilla::SCI_SETSEL, (unsigned long)m.nStart, long(m.nEnd));
    pEditor->SendScintilla(QsciScintilla::SCI_SCROLLCARET);
    *pbFound = true;
    return QString();
}

bool FindFrom(QsciScintilla *pEditor, CLastSearch &search, bool bForward, QString *pError)
{
    if (search.bRegex) {
        bool found = false;
        *pError = FindRegex(pEditor, search, bForward, &found);
        return found;
    }
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
    CLastSearch &search = LastSearch();
    if (search.strText.isEmpty()) {
        Show(pEditor, false);
        return false;
    }
    QString error;
    const bool found = FindFrom(pEditor, search, bForward, &error);
    if (!error.isEmpty())
        AfxMessageBox(pEditor->window(), error);
    else if (!found)
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
    // Perl-compatible, as the scripts' own patterns are.
    m_pRegex = new QCheckBox(tr("Regular e&xpression"));
    m_pRegex->setObjectName(QStringLiteral("RegularExpression"));
    m_pRegex->setChecked(LastSearch().bRegex);
    grid->addWidget(m_pRegex, 4, 0, 1, 2);
    auto *direction = new QGroupBox(tr("Direction"));
    auto *dirLayout = new QHBoxLayout(direction);
    m_pUp = new QRadioButton(tr("&Up"));
    m_pDown = new QRadioButton(tr("&Down"));
    m_pDown->setChecked(true);
    dirLayout->addWidget(m_pUp);
    dirLayout->addWidget(m_pDown);
    grid->addWidget(direction, 5, 0, 1, 2);

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

void CFindReplaceDlg::SaveSearch()
{
    CLastSearch &search = LastSearch();
    if (search.strText != m_pFindWhat->text() || search.bMatchCase != m_pMatchCase->isChecked()
        || search.bWholeWord != m_pWholeWord->isChecked() || search.bRegex != m_pRegex->isChecked())
        search.nLastEmptyAt = -1;
    search.strText = m_pFindWhat->text();
    search.bMatchCase = m_pMatchCase->isChecked();
    search.bWholeWord = m_pWholeWord->isChecked();
    search.bRegex = m_pRegex->isChecked();
}

bool CFindReplaceDlg::FindNext()
{
    bool forward = m_pDown->isChecked();
    SaveSearch();
    QString error;
    bool found = FindFrom(m_pEditor, LastSearch(), forward, &error);
    if (!error.isEmpty()) {
        // The dialog stays, with the pattern ready to be mended.
        AfxMessageBox(this, error);
        m_pFindWhat->setFocus();
        return false;
    }
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
    if (m_pRegex->isChecked()) {
        ReplaceCurrentRegex();
        return;
    }
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
    if (m_pRegex->isChecked())
        return ReplaceAllRegex();
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

void CFindReplaceDlg::ReplaceCurrentRegex()
{
    SaveSearch();
    CLastSearch &search = LastSearch();
    const CRegexSearch re(search.strText, search.bMatchCase, search.bWholeWord);
    QString error = re.IsValid() ? re.CheckReplacement(m_pReplaceWith->text()) : re.ErrorMessage();
    if (!error.isEmpty()) {
        AfxMessageBox(this, error);
        return;
    }
    if (!ReplacementFits())
        return;
    const long start = m_pEditor->SendScintilla(QsciScintilla::SCI_GETSELECTIONSTART);
    const long end = m_pEditor->SendScintilla(QsciScintilla::SCI_GETSELECTIONEND);
    QByteArray replacement;
    // An empty selection is the match only where an empty match was just found.
    const bool isMatch = (start != end || start == search.nLastEmptyAt)
                         && re.MatchesAt(ControlBytes(m_pEditor), start, end, m_pReplaceWith->text(), &replacement);
    if (isMatch) {
        m_pEditor->SendScintilla(QsciScintilla::SCI_BEGINUNDOACTION);
        m_pEditor->SendScintilla(QsciScintilla::SCI_SETTARGETRANGE, (unsigned long)start, end);
        m_pEditor->SendScintilla(QsciScintilla::SCI_REPLACETARGET, (unsigned long)replacement.size(),
                                 replacement.constData());
        m_pEditor->SendScintilla(QsciScintilla::SCI_ENDUNDOACTION);
        const long after = start + long(replacement.size());
        m_pEditor->SendScintilla(QsciScintilla::SCI_SETEMPTYSELECTION, (unsigned long)after);
        // The empty match replaced is not to be found again right after its replacement.
        search.nLastEmptyAt = start == end ? after : -1;
    }
    FindNext();
}

int CFindReplaceDlg::ReplaceAllRegex()
{
    SaveSearch();
    const CLastSearch &search = LastSearch();
    const CRegexSearch re(search.strText, search.bMatchCase, search.bWholeWord);
    QString error = re.IsValid() ? re.CheckReplacement(m_pReplaceWith->text()) : re.ErrorMessage();
    if (!error.isEmpty()) {
        AfxMessageBox(this, error);
        return 0;
    }
    if (!ReplacementFits())
        return 0;
    const QVector<CRegexSearch::Match> matches = re.FindAll(ControlBytes(m_pEditor), m_pReplaceWith->text());
    if (matches.isEmpty())
        return 0;
    m_pEditor->SendScintilla(QsciScintilla::SCI_BEGINUNDOACTION);
    // From the last match back, so the positions of the earlier ones still hold.
    for (auto it = matches.crbegin(); it != matches.crend(); ++it) {
        m_pEditor->SendScintilla(QsciScintilla::SCI_SETTARGETRANGE, (unsigned long)it->nStart, long(it->nEnd));
        m_pEditor->SendScintilla(QsciScintilla::SCI_REPLACETARGET, (unsigned long)it->replacement.size(),
                                 it->replacement.constData());
    }
    m_pEditor->SendScintilla(QsciScintilla::SCI_ENDUNDOACTION);
    return int(matches.size());
}
