#pragma once

#include <QtGlobal>

class CKestrelView;

// The view's language-aid commands: the statement templates and operators of the two
// script toolbars, Convert to DOS / UNIX, and the variable lists.
class CLanguageAidCommands
{
public:
    static void Register(CKestrelView *pView);

    // A template or operator button: its text in place of the selection, undoable.
    static void InsertTemplate(CKestrelView *pView, int nId);
    static void ConvertLineEnds(CKestrelView *pView, bool bToDos);
    // Modes 0, 1, 2: scalars, arrays, hashes; any other: the special variables.
    static void ShowVariableList(CKestrelView *pView, int nMode);
    // Puts the caret on a 1-based line, at the byte offset when it lies on that line.
    static void GoToLine(CKestrelView *pView, int nLine, qsizetype nOffset);
};
