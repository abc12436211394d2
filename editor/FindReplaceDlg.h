#pragma once

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QsciScintilla;

// The modeless Find and Replace dialog of the editor: Find Next, Replace, Replace All,
// match case, whole word, regular expression and direction.
class CFindReplaceDlg : public QDialog
{
    Q_OBJECT

public:
    // Shows the one dialog of the editor, in its find or its replace form, with the
    // selection (when it is on one line) as the text to find.
    static CFindReplaceDlg *Show(QsciScintilla *pEditor, bool bReplace);

    // F3 and Shift+F3: the last search again, forwards or backwards, without the
    // dialog. With no search yet, the Find dialog opens instead.
    static bool FindAgain(QsciScintilla *pEditor, bool bForward);

    bool FindNext();
    void ReplaceCurrent();
    int ReplaceAll();

private:
    CFindReplaceDlg(QsciScintilla *pEditor);
    void SetReplaceMode(bool bReplace);
    void UpdateButtons();
    // False, having said why, when the file's encoding cannot hold the replacement.
    bool ReplacementFits();
    void SaveSearch();
    // The regular expression's Replace and Replace All.
    void ReplaceCurrentRegex();
    int ReplaceAllRegex();

    QsciScintilla *m_pEditor;
    QLineEdit *m_pFindWhat;
    QLineEdit *m_pReplaceWith;
    QLabel *m_pReplaceLabel;
    QCheckBox *m_pMatchCase;
    QCheckBox *m_pWholeWord;
    QCheckBox *m_pRegex;
    QRadioButton *m_pUp;
    QRadioButton *m_pDown;
    QPushButton *m_pFindNext;
    QPushButton *m_pReplace;
    QPushButton *m_pReplaceAll;
};
