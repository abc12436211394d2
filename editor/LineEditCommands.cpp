#include "editor/LineEditCommands.h"

#include "app/Settings.h"
#include "editor/KestrelView.h"
#include "editor/LineCommands.h"
#include "framework/CommandIds.h"
#include "framework/CommandTable.h"

#include <Qsci/qscicommand.h>
#include <Qsci/qscicommandset.h>

#include <QSet>

using namespace Cmd;

namespace {

const int kLineCommandIds[] = {ID_EDIT_TOGGLE_COMMENT, ID_EDIT_MOVE_LINES_UP, ID_EDIT_MOVE_LINES_DOWN,
                               ID_EDIT_DUPLICATE_LINES, ID_EDIT_INDENT, ID_EDIT_OUTDENT};

// Scintilla binds some of these keys to commands of its own (Ctrl+[ and Ctrl+] to
// paragraph moves, Ctrl+/ to word-part moves), and a key the control claims never
// reaches the menu's accelerator.
void ReleaseKeys(CKestrelView *pView)
{
    QSet<int> keys;
    for (int id : kLineCommandIds) {
        for (const QKeySequence &seq : CCommandTable::Shortcuts(id))
            keys.insert(seq[0].toCombined());
    }
    for (QsciCommand *command : pView->standardCommands()->commands()) {
        if (keys.contains(command->key()))
            command->setKey(0);
        if (keys.contains(command->alternateKey()))
            command->setAlternateKey(0);
    }
}

} // namespace

void CLineEditCommands::Register(CKestrelView *pView)
{
    ReleaseKeys(pView);
    auto writable = [pView](CCmdUI &ui) { ui.Enable(!pView->isReadOnly()); };
    for (int id : kLineCommandIds)
        pView->Commands().On(id, [pView, id] { Run(pView, id); }, writable);
}

void CLineEditCommands::Run(CKestrelView *pView, int nId)
{
    if (pView->isReadOnly())
        return;
    // The commands insert only ASCII and move whole lines, so they work on the text as
    // the control holds it, whatever the file's encoding. It is read in place, not
    // copied: the control does not change it before the changes are worked out.
    const long length = pView->SendScintilla(QsciScintilla::SCI_GETLENGTH);
    const auto *data = reinterpret_cast<const char *>(pView->SendScintilla(QsciScintilla::SCI_GETCHARACTERPOINTER));
    const QByteArray text = QByteArray::fromRawData(data, length);
    const qsizetype anchor = pView->SendScintilla(QsciScintilla::SCI_GETANCHOR);
    const qsizetype caret = pView->SendScintilla(QsciScintilla::SCI_GETCURRENTPOS);
    // The Tab key's own indentation: TAB_SIZE blanks when it expands tabs, else a tab.
    const bool expand = g_settings.TAB_EXPAND == QLatin1String("Y");
    CLineCommands::Result result;
    switch (nId) {
    case ID_EDIT_TOGGLE_COMMENT: result = CLineCommands::ToggleComment(text, anchor, caret); break;
    case ID_EDIT_MOVE_LINES_UP: result = CLineCommands::MoveLines(text, anchor, caret, true); break;
    case ID_EDIT_MOVE_LINES_DOWN: result = CLineCommands::MoveLines(text, anchor, caret, false); break;
    case ID_EDIT_DUPLICATE_LINES: result = CLineCommands::DuplicateLines(text, anchor, caret); break;
    case ID_EDIT_INDENT:
        result = CLineCommands::Indent(text, anchor, caret, expand ? g_strTabSpaces.toLatin1() : QByteArray("\t"));
        break;
    case ID_EDIT_OUTDENT:
        result = CLineCommands::Outdent(text, anchor, caret, expand ? g_nTabSize : pView->tabWidth());
        break;
    default: return;
    }
    if (result.changes.isEmpty())
        return;
    pView->SendScintilla(QsciScintilla::SCI_BEGINUNDOACTION);
    // From the last change back, so the positions of the earlier ones still hold.
    for (auto it = result.changes.crbegin(); it != result.changes.crend(); ++it) {
        pView->SendScintilla(QsciScintilla::SCI_SETTARGETRANGE, (unsigned long)it->nFrom,
                             long(it->nFrom + it->nLength));
        pView->SendScintilla(QsciScintilla::SCI_REPLACETARGET, (unsigned long)it->insert.size(),
                             it->insert.constData());
    }
    pView->SendScintilla(QsciScintilla::SCI_ENDUNDOACTION);
    pView->SendScintilla(QsciScintilla::SCI_SETSEL, (unsigned long)result.nAnchor, long(result.nCaret));
    pView->SendScintilla(QsciScintilla::SCI_SCROLLCARET);
}
