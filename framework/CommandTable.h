#pragma once

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QVector>

// One row of the command table: the text a menu shows, the prompt the status bar shows
// while the command is highlighted and the button's tooltip. `pszGlyph` is the short
// label drawn on a toolbar button.
struct CCommandInfo
{
    int nId;
    const char *pszMenuText;
    const char *pszPrompt;
    const char *pszTip;
    const char *pszGlyph;
};

// An entry of a menu: a command, a separator (id 0) or a popup with children.
struct CMenuItemDef
{
    int nId = 0;
    QString strPopup;
    QVector<CMenuItemDef> children;
};

class CCommandTable
{
public:
    // nullptr for an id the table doesn't know.
    static const CCommandInfo *Find(int nId);
    static const QVector<CCommandInfo> &All();
    static QList<QKeySequence> Shortcuts(int nId);

    // The main menu, popup by popup.
    static const QVector<CMenuItemDef> &MainMenu();

    // Button ids of the three toolbars, 0 for a separator.
    static const QVector<int> &StandardBar();
    static const QVector<int> &ScriptBar();
    static const QVector<int> &OperatorBar();
};
