#pragma once

class CKestrelView;
class CPerlDocTopic;
class QWidget;

// The editor's Perl tools and ways around a script: Edit > Tidy (perltidy), F1 and
// Help > Perl Documentation (perldoc), View > Subs, Redo, Find Next and Find Previous
// without the dialog; and the matching braces and the fold margin of the view.
class CPerlToolCommands
{
public:
    static void Register(CKestrelView *pView);
    // Brace colours and the fold margin; again after each change of colouring, which
    // resets the styles.
    static void SetUpView(CKestrelView *pView);

    // The selection's lines, or the whole text with nothing selected, through
    // perltidy; one Undo takes the result back.
    static void Tidy(CKestrelView *pView);
    static void ShowDocumentationAtCaret(CKestrelView *pView);
    static void ShowDocumentation(QWidget *pOwner, const CPerlDocTopic &topic);
    static void ShowSubList(CKestrelView *pView);

    // The fold margin's number; the symbol margin 1 is the markers'.
    static constexpr int kFoldMargin = 2;
};
