#include "framework/CommandTable.h"

#include "framework/CommandIds.h"

#include <QHash>

using namespace Cmd;

namespace {

// {id, menu text, status prompt, tooltip, toolbar glyph}
const QVector<CCommandInfo> kCommands = {
    {ID_FILE_NEW, "&New", "Create a new document", "New", ""},
    {ID_FILE_OPEN, "&Open...", "Open an existing document", "Open", ""},
    {ID_FILE_SAVE, "&Save", "Save the active document", "Save", ""},
    {ID_FILE_SAVE_AS, "Save &As...", "Save the active document with a new name", "Save As", ""},
    {ID_FILE_LOAD_FROM_SERVER, "&Load from server", "Displays the Load from server dialog", "", ""},
    {ID_FILE_PUT_BACK, "Put &Back", "Puts back on server without prompting", "", ""},
    {ID_FILE_PUT_ON_SERVER, "&Put on server", "Shows the put on server dialog", "Put on server dialog", ""},
    {ID_FILE_PRINT, "&Print...", "Print the active document", "Print", ""},
    {ID_FILE_PRINT_DIRECT, "", "Print the active document", "Print", ""},
    {ID_FILE_PRINT_PREVIEW, "Print Pre&view", "Display full pages", "Print Preview", ""},
    {ID_FILE_PRINT_SETUP, "P&rint Setup...", "Change the printer and printing options", "Print Setup", ""},
    {ID_FILE_MRU_FILE1, "Recent File", "Open this document", "", ""},
    {ID_FILE_MRU_FILE2, "", "Open this document", "", ""},
    {ID_FILE_MRU_FILE3, "", "Open this document", "", ""},
    {ID_FILE_MRU_FILE4, "", "Open this document", "", ""},
    {ID_APP_EXIT, "E&xit", "Quit the application; prompts to save documents", "Exit", ""},
    {ID_EDIT_UNDO, "&Undo", "Undo the last action", "Undo", ""},
    {ID_EDIT_CUT, "Cu&t", "Cut the selection and put it on the Clipboard", "Cut", ""},
    {ID_EDIT_COPY, "&Copy", "Copy the selection and put it on the Clipboard", "Copy", ""},
    {ID_EDIT_PASTE, "&Paste", "Insert Clipboard contents", "Paste", ""},
    {ID_EDIT_CONVERT_TO_DOS, "Convert to &DOS", "Converts the file to DOS format ", "", ""},
    {ID_EDIT_CONVERT_TO_UNIX, "Convert to UNI&X", "Convert the script to UNIX file format", "", ""},
    {ID_EDIT_SELECT_ALL, "Select &All", "Select the entire document", "Select All", ""},
    {ID_EDIT_FIND, "&Find", "Find the specified text", "Find", ""},
    {ID_EDIT_REPLACE, "&Replace", "Replace specific text with different text", "Replace", ""},
    {ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the toolbar", "Toggle ToolBar", ""},
    {ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar", "Toggle StatusBar", ""},
    {ID_VIEW_TEAR_OFF, "Tear &Off", "Tear off current view to a new Frame", "", ""},
    {ID_VIEW_IN_BROWSER, "In &Browser", "View the document in a Browser", "", ""},
    {ID_VIEW_SCALARS, "&Scalars", "", "", ""},
    {ID_VIEW_ARRAYS, "&Arrays", "Arrays", "", ""},
    {ID_VIEW_HASHES, "&Hashes", "Hashes", "", ""},
    {ID_VIEW_SPECIAL, "Special ", "Predefined perl variables", "", ""},
    {ID_VIEW_FUNCTIONS, "&Functions", "View perl functions", "", ""},
    {ID_VIEW_SCRIPTING_TOOLBAR, "Scri&pting Toolbar", "Scripting toolbar", "", ""},
    {ID_VIEW_OPERATORS, "&Operators", "Operators Toolbar", "", ""},
    {ID_VIEW_FONT, "", "", "", ""},
    {ID_SCRIPT_RUN, "&Run", "Run the script immediately", "Run the script in view", "Run"},
    {ID_SCRIPT_COMPILE, "&Compile", "Check syntax and warn if any errors", "", ""},
    {ID_SCRIPT_DEBUG, "&Debug", "Start debugging the script", "", ""},
    {ID_SCRIPT_RUN_ON_SERVER, "Run on &Server", "Run the current script on the server", "Run on server", ""},
    {ID_SCRIPT_CHECK_ON_SERVER, "Check on Ser&ver", "Check the syntax of the current text with the server's perl", "Check on server", ""},
    {ID_SCRIPT_RUN_IN_BROWSER, "Run in &Browser", "Runs the script as a url in a browser.", "", ""},
    {ID_SCRIPT_SPECIFY_INPUTS, "Specify &Inputs", "Specify script inputs", "Specify script inputs", ""},
    {ID_TOOLS_OPTIONS, "&Options", "Options", "", ""},
    {ID_TOOLS_SERVER_ACCESS, "&Server Access", "Talk to the server.", "", ""},
    {ID_TOOLS_INPUT_DESIGNER, "&Input Designer", "Design Inputs ", "", ""},
    {ID_TOOLS_DOS_WINDOW, "&Dos Window", "Just show an MS-DOS window", "", ""},
    {ID_APP_ABOUT, "&About Kestrel...", "Display program information, version number and copyright", "About", ""},
    {ID_NEXT_PANE, "", "", "", ""},
    {ID_PREV_PANE, "", "", "", ""},
    {ID_TEMPLATE_IF, "", "Add an if block statement to the current location", "if then else ", "if"},
    {ID_TEMPLATE_WHILE, "", "Add a while block", "while statement", "while"},
    {ID_TEMPLATE_FOR, "", "For block", "for statement", "for"},
    {ID_TEMPLATE_SUB, "", "Subroutine Block", "Subroutine ", "sub"},
    {ID_TEMPLATE_FOREACH, "", "For each item in a list do", "foreach statement", "foreach"},
    {ID_TEMPLATE_LAST, "", "Last", "last", "last"},
    {ID_TEMPLATE_NEXT, "", "Next", "Next", "next"},
    {ID_TEMPLATE_REDO, "", "Redo", "Redo", "redo"},
    {ID_TEMPLATE_GOTO, "", "Goto Statement", "Goto statement", "goto"},
    {ID_TEMPLATE_DO_WHILE, "", "DO while block", "do while", "do"},
    {ID_TEMPLATE_BLOCK, "", "A Block of code", "Insert a block of code {}", "{ }"},
    {32962, "", "Pattern matching", "Pattern matched", "=~"},
    {32963, "", "Pattern not matched", "Pattern not matched", "!~"},
    {32964, "", "Compares two numeric entities for equality", "Numeric Equality operator", "=="},
    {32925, "", "Not equal to", "Not equal to", "!="},
    {32926, "", "Assigns the sum to the left variable", "Add and assign", "+="},
    {32927, "", "Assigns the difference to the left variable", "Subtract and assign", "-="},
    {32928, "", "Assign the product to the variable on left", "Multiply and assign", "*="},
    {32929, "", "Assigns the quotient to the left variable", "Divide and assign quotient", "/="},
    {32930, "", "Divide two numbers", "Division", "/"},
    {32931, "", "Multiplies two numbers", "Multiplication", "*"},
    {32932, "", "Adds two numbers", "Addition", "+"},
    {32933, "", "Finds the difference between two numbers", "Subtraction", "-"},
    {32934, "", "Find the modulus of two numbers", "Modulus (Remainder)", "%"},
    {32935, "", "Assignment", "Assign", "="},
    {32936, "", "List operator", "Convert to list ", "()"},
    {32937, "", "Array subscript", "Subscript", "[]"},
    {32938, "", "Double quote it", "Double quote it", "\" \""},
    {32939, "", "Single Quote Selections", "Single quote it", "''"},
    {32940, "", "Assign modulus to", "Assign modulus to", "%="},
    {32965, "", "Repeat string and assign", "Repeat and assign", "x="},
    {32971, "", "Assign bitwise ORed result", "Bitwise OR and assign", "|="},
    {32975, "", "Assign bitwise ANDed result", "Bitwise AND and assign", "&="},
    {32973, "", "Assign bitwise XORed result", "Bitwise XOR and assign", "^="},
    {32945, "", "Assign with Concatenation", "Concat and assign", ".="},
    {32946, "", "Assign ANDed result", "AND operands and assign", "&&="},
    {32947, "", "OR operand with result and assign result", "OR with operand and assign result", "||="},
    {32948, "", "Assign bitwise left shifted result", "Bit shift left and assign.", "<<="},
    {32978, "", "Assign bitwise right shifted result", "Bit shift right and assign.", ">>="},
    {32950, "", "Specify Range", "Range operator", ".."},
    {32951, "", "Exclusive OR.", "Exclusive OR.", "^^"},
    {32952, "", "Inclusive OR true if either operand is true", "OR.", "||"},
    {32953, "", "AND, true if both operands are true", "AND.", "&&"},
    {32954, "", "Negative logic. The Not operator", "Negation operator", "!"},
    {32957, "", "Conditional operator just like if. It is an abbreviated form of if used for simple if then else logic.", "If then else conditional operator.", "?:"},
    {32958, "", "Evaluate to -1, 0 or 1 if a < b, a = b or a > b respectively.", "Three way binary if operator returns -1, 0 or 1", "<=>"},
    {32959, "", "Special Range operator", "Special range operator", "..."},
    {32960, "", "Associate key to value", "Assigns associative element at value", "=>"},
    {32961, "", "Dereference operator", "Dereference", "->"},
    {32942, "", "Bitwise OR", "Bitwise OR", "|"},
    {32967, "", "Bitwise XOR", "Bitwise XOR ", "^"},
    {32966, "", "Bitwise AND", "Bitwise AND", "&"},
    {32976, "", "String concatenation operator", "String concatenation", "."},
    {32977, "", "String multiplication - repeat string n times", "Repeat string", "x"},
    {32995, "", "Comma operator used often to separate items in a list.", "Comma operator", ","},
    {ID_OUTPUT_FONT, "&Font", "", "", ""},
    {ID_OUTPUT_VIEW_INPUTS, "View &Inputs", "", "", ""},
    {ID_OUTPUT_SEND_INPUT, "&Send Input", "", "", ""},
    {ID_OUTPUT_REFRESH, "&Refresh", "", "", ""},
    {ID_OUTPUT_CLOSE, "&Close", "", "", ""},
    {ID_SERVER_CONNECT, "Co&nnect", "", "", ""},
    {ID_SERVER_LOGIN, "&Login", "", "", ""},
    {ID_SERVER_DISCONNECT, "&Disconnect", "", "", ""},
    {ID_SERVER_CLOSE, "&Close", "", "", ""},
    {ID_SERVER_RUN_PERL, "&Perl Script", "", "", ""},
    {ID_SERVER_RUN_JAVAC, "Java &Compiler", "", "", ""},
    {ID_SERVER_RUN_JAVA, "&Java Interpreter", "", "", ""},
    {ID_SERVER_OUTPUT_CLEAR, "&Clear", "", "", ""},
    {ID_SPECIAL_CLOSE, "&Close", "", "", ""},
    {ID_FUNCTIONS_CLOSE, "&Close", "", "", ""},
    // Messages: going to their lines, and the checks that give them.
    {ID_EDIT_GO_TO_LINE, "&Go To Line...", "Move the caret to a line of the given number", "Go To Line", ""},
    {ID_NEXT_MESSAGE, "&Next Message", "Go to the next line marked with a message", "Next Message", ""},
    {ID_PREV_MESSAGE, "Pre&vious Message", "Go to the previous line marked with a message", "Previous Message", ""},
    {ID_SCRIPT_CRITIQUE, "Cri&tique...", "Check the script against perlcritic's policies", "Critique", ""},
    {ID_SCRIPT_CHECK_ON_SAVE, "Check S&yntax on Save",
     "Check the syntax of a Perl script with perl -c each time it is saved (runs its BEGIN blocks)", "", ""},
    // Perl tools and navigation in the editor.
    {ID_EDIT_REDO, "R&edo", "Redo the previously undone action", "Redo", ""},
    {ID_EDIT_REPEAT, "Find &Next", "Find the next occurrence of the last search", "Find Next", ""},
    {ID_EDIT_FIND_PREVIOUS, "Find Pre&vious", "Find the previous occurrence of the last search", "Find Previous", ""},
    {ID_EDIT_TIDY, "T&idy", "Tidy the selection, or the whole script, with perltidy", "Tidy", ""},
    {ID_VIEW_SUBS, "S&ubs", "List the packages and subs of the script", "Subs", ""},
    // The debugger's breakpoints in the editor.
    {ID_DEBUG_TOGGLE_BREAKPOINT, "Toggle Brea&kpoint", "Set or remove a breakpoint on the caret's line",
     "Toggle Breakpoint", ""},
    {ID_DEBUG_CONDITIONAL_BREAKPOINT, "C&onditional Breakpoint...",
     "Set a breakpoint on the caret's line that stops only when a Perl expression is true", "", ""},
    {ID_DEBUG_BREAKPOINTS, "Breakpoint &List...", "List all breakpoints, to look at them and remove them",
     "Breakpoints", ""},
    {ID_DEBUG_REMOVE_ALL_BREAKPOINTS, "Remove &All Breakpoints", "Remove every breakpoint of the script", "", ""},
    {ID_HELP_PERL_DOC, "&Perl Documentation", "Show the Perl documentation of the word at the caret",
     "Perl Documentation", ""},
    // Line commands of the Edit menu.
    {ID_EDIT_TOGGLE_COMMENT, "Toggle Co&mment", "Comment out the selected lines, or uncomment them",
     "Toggle Comment", ""},
    {ID_EDIT_INDENT, "Indent &Selection", "Indent the selected lines by one level", "Indent Selection", ""},
    {ID_EDIT_OUTDENT, "Outdent Selection", "Take one level of indentation off the selected lines",
     "Outdent Selection", ""},
    {ID_EDIT_MOVE_LINES_UP, "M&ove Line Up", "Move the selected lines above the line before them", "Move Line Up",
     ""},
    {ID_EDIT_MOVE_LINES_DOWN, "Move Line Do&wn", "Move the selected lines below the line after them",
     "Move Line Down", ""},
    {ID_EDIT_DUPLICATE_LINES, "Dup&licate Line", "Put a copy of the selected lines below them", "Duplicate Line",
     ""},
};

// Inserts the item `nId` after the item `nAfter`, searching popups too.
bool InsertAfter(QVector<CMenuItemDef> &items, int nAfter, int nId)
{
    for (int i = 0; i < items.size(); ++i) {
        if (items[i].strPopup.isEmpty() && items[i].nId == nAfter && nAfter != 0) {
            items.insert(i + 1, CMenuItemDef{nId, QString(), {}});
            return true;
        }
        if (InsertAfter(items[i].children, nAfter, nId))
            return true;
    }
    return false;
}

// The Perl tools' menu items, each placed after an item of the base menu.
void AddPerlToolItems(QVector<CMenuItemDef> &menu)
{
    InsertAfter(menu, ID_EDIT_UNDO, ID_EDIT_REDO);
    InsertAfter(menu, ID_EDIT_FIND, ID_EDIT_REPEAT);
    InsertAfter(menu, ID_EDIT_REPEAT, ID_EDIT_FIND_PREVIOUS);
    InsertAfter(menu, ID_EDIT_CONVERT_TO_UNIX, ID_EDIT_TIDY);
    InsertAfter(menu, ID_VIEW_FUNCTIONS, ID_VIEW_SUBS);
    // The line commands follow Paste, in a group of their own.
    for (int id : std::initializer_list<int>{ID_EDIT_DUPLICATE_LINES, ID_EDIT_MOVE_LINES_DOWN, ID_EDIT_MOVE_LINES_UP,
                                             ID_EDIT_OUTDENT, ID_EDIT_INDENT, ID_EDIT_TOGGLE_COMMENT, 0})
        InsertAfter(menu, ID_EDIT_PASTE, id);
    for (CMenuItemDef &popup : menu) {
        if (popup.strPopup == QLatin1String("&Help"))
            popup.children.prepend(CMenuItemDef{ID_HELP_PERL_DOC, QString(), {}});
    }
}

CMenuItemDef Item(int id) { return CMenuItemDef{id, QString(), {}}; }
CMenuItemDef Sep() { return CMenuItemDef{}; }
CMenuItemDef Popup(const char *title, QVector<CMenuItemDef> children)
{
    return CMenuItemDef{0, QString::fromLatin1(title), std::move(children)};
}

} // namespace

const QVector<CCommandInfo> &CCommandTable::All() { return kCommands; }

const CCommandInfo *CCommandTable::Find(int nId)
{
    static const QHash<int, int> index = [] {
        QHash<int, int> h;
        for (int i = 0; i < kCommands.size(); ++i)
            h.insert(kCommands[i].nId, i);
        return h;
    }();
    auto it = index.find(nId);
    return it == index.end() ? nullptr : &kCommands[*it];
}

QList<QKeySequence> CCommandTable::Shortcuts(int nId)
{
    switch (nId) {
    case ID_FILE_NEW: return {QKeySequence(Qt::CTRL | Qt::Key_N)};
    case ID_FILE_OPEN: return {QKeySequence(Qt::CTRL | Qt::Key_O)};
    case ID_FILE_SAVE: return {QKeySequence(Qt::CTRL | Qt::Key_S)};
    case ID_FILE_PRINT: return {QKeySequence(Qt::CTRL | Qt::Key_P)};
    case ID_EDIT_COPY: return {QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_Insert)};
    case ID_EDIT_PASTE: return {QKeySequence(Qt::CTRL | Qt::Key_V), QKeySequence(Qt::SHIFT | Qt::Key_Insert)};
    case ID_EDIT_CUT: return {QKeySequence(Qt::CTRL | Qt::Key_X), QKeySequence(Qt::SHIFT | Qt::Key_Delete)};
    case ID_EDIT_UNDO: return {QKeySequence(Qt::CTRL | Qt::Key_Z), QKeySequence(Qt::ALT | Qt::Key_Backspace)};
    case ID_NEXT_PANE: return {QKeySequence(Qt::Key_F6)};
    case ID_PREV_PANE: return {QKeySequence(Qt::SHIFT | Qt::Key_F6)};
    case ID_VIEW_FONT: return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F)};
    // Messages
    case ID_EDIT_GO_TO_LINE: return {QKeySequence(Qt::CTRL | Qt::Key_G)};
    case ID_NEXT_MESSAGE: return {QKeySequence(Qt::Key_F4)};
    case ID_PREV_MESSAGE: return {QKeySequence(Qt::SHIFT | Qt::Key_F4)};
    // Perl tools and navigation in the editor.
    case ID_EDIT_REDO: return {QKeySequence(Qt::CTRL | Qt::Key_Y)};
    case ID_EDIT_FIND: return {QKeySequence(Qt::CTRL | Qt::Key_F)};
    case ID_EDIT_REPLACE: return {QKeySequence(Qt::CTRL | Qt::Key_H)};
    case ID_EDIT_REPEAT: return {QKeySequence(Qt::Key_F3)};
    case ID_EDIT_FIND_PREVIOUS: return {QKeySequence(Qt::SHIFT | Qt::Key_F3)};
    case ID_HELP_PERL_DOC: return {QKeySequence(Qt::Key_F1)};
    // The debugger
    case ID_DEBUG_TOGGLE_BREAKPOINT: return {QKeySequence(Qt::Key_F9)};
    // Line commands
    case ID_EDIT_TOGGLE_COMMENT: return {QKeySequence(Qt::CTRL | Qt::Key_Slash)};
    case ID_EDIT_MOVE_LINES_UP: return {QKeySequence(Qt::ALT | Qt::Key_Up)};
    case ID_EDIT_MOVE_LINES_DOWN: return {QKeySequence(Qt::ALT | Qt::Key_Down)};
    case ID_EDIT_DUPLICATE_LINES: return {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D)};
    case ID_EDIT_INDENT: return {QKeySequence(Qt::CTRL | Qt::Key_BracketRight)};
    case ID_EDIT_OUTDENT: return {QKeySequence(Qt::CTRL | Qt::Key_BracketLeft)};
    default: return {};
    }
}

const QVector<CMenuItemDef> &CCommandTable::MainMenu()
{
    static const QVector<CMenuItemDef> menu = [] {
    QVector<CMenuItemDef> menu = {
        Popup("&File", {Item(ID_FILE_NEW), Item(ID_FILE_OPEN), Item(ID_FILE_SAVE), Item(ID_FILE_SAVE_AS), Sep(),
                        Item(ID_FILE_LOAD_FROM_SERVER), Item(ID_FILE_PUT_BACK), Item(ID_FILE_PUT_ON_SERVER), Sep(),
                        Item(ID_FILE_PRINT), Item(ID_FILE_PRINT_PREVIEW), Item(ID_FILE_PRINT_SETUP), Sep(),
                        Item(ID_FILE_MRU_FILE1), Sep(), Item(ID_APP_EXIT)}),
        Popup("&Edit", {Item(ID_EDIT_UNDO), Sep(), Item(ID_EDIT_CUT), Item(ID_EDIT_COPY), Item(ID_EDIT_PASTE), Sep(),
                        Item(ID_EDIT_CONVERT_TO_DOS), Item(ID_EDIT_CONVERT_TO_UNIX), Sep(), Item(ID_EDIT_SELECT_ALL),
                        Sep(), Item(ID_EDIT_FIND), Item(ID_EDIT_REPLACE), Item(ID_EDIT_GO_TO_LINE)}),
        Popup("&View", {Item(ID_VIEW_TOOLBAR), Item(ID_VIEW_STATUS_BAR), Item(ID_VIEW_TEAR_OFF),
                        Item(ID_VIEW_IN_BROWSER), Sep(),
                        Popup("&Variables", {Item(ID_VIEW_SCALARS), Item(ID_VIEW_ARRAYS), Item(ID_VIEW_HASHES), Sep(),
                                             Item(ID_VIEW_SPECIAL)}),
                        Item(ID_VIEW_FUNCTIONS), Sep(), Item(ID_VIEW_SCRIPTING_TOOLBAR), Item(ID_VIEW_OPERATORS)}),
        Popup("&Script", {Item(ID_SCRIPT_RUN), Item(ID_SCRIPT_COMPILE), Item(ID_SCRIPT_DEBUG),
                          Item(ID_DEBUG_TOGGLE_BREAKPOINT), Item(ID_DEBUG_CONDITIONAL_BREAKPOINT),
                          Item(ID_DEBUG_BREAKPOINTS), Item(ID_DEBUG_REMOVE_ALL_BREAKPOINTS), Sep(),
                          Item(ID_NEXT_MESSAGE), Item(ID_PREV_MESSAGE), Item(ID_SCRIPT_CRITIQUE),
                          Item(ID_SCRIPT_CHECK_ON_SAVE), Sep(),
                          Item(ID_SCRIPT_RUN_ON_SERVER), Item(ID_SCRIPT_CHECK_ON_SERVER), Item(ID_SCRIPT_RUN_IN_BROWSER), Sep(),
                          Item(ID_SCRIPT_SPECIFY_INPUTS)}),
        Popup("&Tools", {Item(ID_TOOLS_OPTIONS), Item(ID_TOOLS_SERVER_ACCESS), Item(ID_TOOLS_INPUT_DESIGNER), Sep(),
                         Item(ID_TOOLS_DOS_WINDOW)}),
        Popup("&Help", {Item(ID_APP_ABOUT)}),
    };
    AddPerlToolItems(menu);
    return menu;
    }();
    return menu;
}

const QVector<int> &CCommandTable::StandardBar()
{
    static const QVector<int> bar = {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, 0, ID_EDIT_CUT, ID_EDIT_COPY,
                                     ID_EDIT_PASTE, 0, ID_FILE_PRINT, 0, ID_APP_ABOUT, ID_SCRIPT_RUN};
    return bar;
}

const QVector<int> &CCommandTable::ScriptBar()
{
    static const QVector<int> bar = {ID_TEMPLATE_IF, ID_TEMPLATE_WHILE, ID_TEMPLATE_FOR, ID_TEMPLATE_SUB,
                                     ID_TEMPLATE_FOREACH, ID_TEMPLATE_LAST, ID_TEMPLATE_NEXT, ID_TEMPLATE_REDO,
                                     ID_TEMPLATE_GOTO, ID_TEMPLATE_DO_WHILE, ID_TEMPLATE_BLOCK};
    return bar;
}

const QVector<int> &CCommandTable::OperatorBar()
{
    static const QVector<int> bar = {
        32962, 32963, 32964, 32925, 32926, 32927, 32928, 32929, 32930, 32931, 32932, 32933, 
        32934, 32935, 32936, 32937, 32938, 32939, 32940, 32965, 32971, 32975, 32973, 32945, 
        32946, 32947, 32948, 32978, 32950, 32951, 32952, 32953, 32954, 32957, 32958, 32959, 
        32960, 32961, 32942, 32967, 32966, 32976, 32977, 32995, 
    };
    return bar;
}
