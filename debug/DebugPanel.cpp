#include "debug/DebugPanel.h"

#include "framework/CommandIds.h"
#include "debug/BreakpointHost.h"
#include "debug/BreakpointMarks.h"
#include "debug/DebugEngine.h"
#include "debug/DebugWatchStore.h"

#include <Qsci/qscilexerperl.h>
#include <Qsci/qsciscintilla.h>

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QTreeWidgetItemIterator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

constexpr int kSymbolMargin = 1;

// Ctrl+C in a list copies its selected rows, a tab between the columns, so that values
// can be taken elsewhere.
void AddCopy(QTreeWidget *tree)
{
    tree->setSelectionMode(QAbstractItemView::ExtendedSelection);
    auto *copy = new QAction(QStringLiteral("&Copy"), tree);
    copy->setShortcut(QKeySequence::Copy);
    copy->setShortcutContext(Qt::WidgetShortcut);
    tree->addAction(copy);
    tree->setContextMenuPolicy(Qt::ActionsContextMenu);
    QObject::connect(copy, &QAction::triggered, tree, [tree] {
        QStringList lines;
        for (QTreeWidgetItemIterator it(tree, QTreeWidgetItemIterator::Selected); *it; ++it) {
            QStringList cells;
            for (int c = 0; c < tree->columnCount(); ++c)
                cells << (*it)->text(c);
            while (!cells.isEmpty() && cells.last().isEmpty())
                cells.removeLast();
            lines << cells.join(QLatin1Char('\t'));
        }
        QGuiApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    });
}

QTreeWidget *ValueTree(const QString &strName, const QString &strFirst, const QString &strSecond)
{
    auto *tree = new QTreeWidget;
    AddCopy(tree);
    tree->setObjectName(strName);
    tree->setHeaderLabels({strFirst, strSecond});
    tree->setUniformRowHeights(true);
    tree->setAlternatingRowColors(true);
    tree->header()->setStretchLastSection(true);
    tree->header()->setSectionResizeMode(0, QHeaderView::Interactive);
    tree->setColumnWidth(0, tree->fontMetrics().averageCharWidth() * 16);
    return tree;
}

} // namespace

CDebugPanel::CDebugPanel(CDebugEngine *pEngine, CBreakpointHost *pHost, QWidget *parent)
    : QWidget(parent)
    , m_pEngine(pEngine)
    , m_pHost(pHost)
{
    setObjectName(QStringLiteral("DebugPanel"));
    if (m_pHost)
        m_breakpoints.Assign(m_pHost->Breakpoints());
    m_console = CDebugConsole(m_breakpoints.IsEmpty());

    m_pToolBar = new QToolBar(this);
    m_pToolBar->setObjectName(QStringLiteral("DebugToolBar"));
    m_pToolBar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_stepActions << AddAction(Cmd::ID_DEBUG_CONTINUE, QStringLiteral("Continue"), QKeySequence(Qt::Key_F5),
                               QStringLiteral("Run to the next breakpoint or to the end"), &CDebugPanel::OnContinue);
    m_stepActions << AddAction(Cmd::ID_DEBUG_STEP_OVER, QStringLiteral("Step Over"), QKeySequence(Qt::Key_F10),
                               QStringLiteral("Run the next statement, sub calls and all"), &CDebugPanel::OnStepOver);
    m_stepActions << AddAction(Cmd::ID_DEBUG_STEP_INTO, QStringLiteral("Step Into"), QKeySequence(Qt::Key_F11),
                               QStringLiteral("Run the next statement, into the sub it calls"), &CDebugPanel::OnStepInto);
    m_stepActions << AddAction(Cmd::ID_DEBUG_STEP_OUT, QStringLiteral("Step Out"),
                               QKeySequence(Qt::SHIFT | Qt::Key_F11),
                               QStringLiteral("Run to the end of this sub, back in its caller"), &CDebugPanel::OnStepOut);
    m_stepActions << AddAction(Cmd::ID_DEBUG_RUN_TO_CURSOR, QStringLiteral("Run to Cursor"),
                               QKeySequence(Qt::CTRL | Qt::Key_F10),
                               QStringLiteral("Run to the line of the caret in the source pane"),
                               &CDebugPanel::OnRunToCursor);
    m_pToolBar->addSeparator();
    m_pRestart = AddAction(Cmd::ID_DEBUG_RESTART, QStringLiteral("Restart"), QKeySequence(),
                           QStringLiteral("Start the program again with the same breakpoints"), &CDebugPanel::OnRestart);
    m_pStop = AddAction(Cmd::ID_DEBUG_STOP, QStringLiteral("Stop"), QKeySequence(Qt::SHIFT | Qt::Key_F5),
                        QStringLiteral("End the program and the debugging session"), &CDebugPanel::OnStop);
    m_pState = new QLabel(this);
    m_pState->setObjectName(QStringLiteral("label_DebugState"));
    m_pState->setText(QStringLiteral("Waiting for the debugger..."));
    m_pState->setContentsMargins(12, 0, 8, 0);

    auto *top = new QHBoxLayout;
    top->setContentsMargins(0, 2, 0, 0);
    top->addWidget(m_pToolBar);
    top->addStretch(1);
    top->addWidget(m_pState);

    // The source pane.
    m_pSource = new QsciScintilla;
    m_pSource->setObjectName(QStringLiteral("edit_DebugSource"));
    m_pSource->setUtf8(true);
    m_pSource->setReadOnly(true);
    m_pSource->setWrapMode(QsciScintilla::WrapNone);
    auto *lexer = new QsciLexerPerl(m_pSource);
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    lexer->setDefaultFont(fixed);
    lexer->setFont(fixed);
    m_pSource->setLexer(lexer);
    m_pSource->setMarginType(0, QsciScintilla::NumberMargin);
    m_pSource->setMarginLineNumbers(0, true);
    m_pSource->setMarginsFont(fixed);
    m_pSource->setMarginWidth(0, QStringLiteral("00000"));
    m_pSource->setMarginType(kSymbolMargin, QsciScintilla::SymbolMargin);
    m_pSource->setMarginWidth(kSymbolMargin, 16);
    m_pSource->setMarginSensitivity(kSymbolMargin, true);
    m_pSource->setMarginMarkerMask(kSymbolMargin, ~int(QsciScintillaBase::SC_MASK_FOLDERS));
    m_pSource->setCaretLineVisible(false);
    CBreakpointMarks::Define(m_pSource);
    m_pSource->setToolTip(QStringLiteral("The source where the program stopped. Click in the margin to set or "
                                         "remove a breakpoint."));
    connect(m_pSource, &QsciScintilla::marginClicked, this, [this](int margin, int line, Qt::KeyboardModifiers) {
        if (margin == kSymbolMargin)
            ToggleBreakpoint(line + 1);
    });
    m_pSourceTitle = new QLabel(QStringLiteral("No source yet"));
    m_pSourceTitle->setObjectName(QStringLiteral("label_DebugSource"));
    m_pSourceTitle->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Locals, watches, call stack.
    m_pLocals = ValueTree(QStringLiteral("tree_Locals"), QStringLiteral("Name"), QStringLiteral("Value"));
    m_pWatches = ValueTree(QStringLiteral("tree_Watches"), QStringLiteral("Expression"), QStringLiteral("Value"));
    m_pWatchEdit = new QLineEdit;
    m_pWatchEdit->setObjectName(QStringLiteral("edit_AddWatch"));
    m_pWatchEdit->setPlaceholderText(QStringLiteral("Add a watch: a Perl expression, then Enter"));
    m_pWatchEdit->installEventFilter(this);
    auto *removeWatch = new QPushButton(QStringLiteral("Remove"));
    removeWatch->setObjectName(QStringLiteral("button_RemoveWatch"));
    removeWatch->setAutoDefault(false);
    connect(removeWatch, &QPushButton::clicked, this, &CDebugPanel::OnRemoveWatch);
    auto *deleteWatch = new QAction(QStringLiteral("&Remove Watch"), m_pWatches);
    deleteWatch->setShortcut(QKeySequence::Delete);
    deleteWatch->setShortcutContext(Qt::WidgetShortcut);
    m_pWatches->addAction(deleteWatch);
    connect(deleteWatch, &QAction::triggered, this, &CDebugPanel::OnRemoveWatch);
    auto *watchRow = new QWidget;
    auto *watchLayout = new QHBoxLayout(watchRow);
    watchLayout->setContentsMargins(0, 0, 0, 0);
    watchLayout->addWidget(m_pWatchEdit, 1);
    watchLayout->addWidget(removeWatch);

    m_pStack = new QTreeWidget;
    m_pStack->setObjectName(QStringLiteral("tree_CallStack"));
    m_pStack->setHeaderLabels({QStringLiteral("Sub"), QStringLiteral("File"), QStringLiteral("Line")});
    AddCopy(m_pStack);
    m_pStack->setSelectionMode(QAbstractItemView::SingleSelection);
    m_pStack->setRootIsDecorated(false);
    m_pStack->setUniformRowHeights(true);
    m_pStack->header()->setStretchLastSection(false);
    m_pStack->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    m_pStack->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    m_pStack->header()->setSectionResizeMode(2, QHeaderView::ResizeToContents);
    connect(m_pStack, &QTreeWidget::itemClicked, this,
            [this](QTreeWidgetItem *item) { ShowFrame(m_pStack->indexOfTopLevelItem(item)); });
    connect(m_pStack, &QTreeWidget::itemActivated, this,
            [this](QTreeWidgetItem *item) { ShowFrame(m_pStack->indexOfTopLevelItem(item)); });

    // The debugger's own commands.
    m_pCommand = new QLineEdit;
    m_pCommand->setObjectName(QStringLiteral("edit_DebuggerCommand"));
    m_pCommand->setPlaceholderText(QStringLiteral("A command for perl's debugger (p $x, x \\%h, b 12, ...), then Enter"));
    m_pCommand->setToolTip(QStringLiteral("Typed to perl's debugger when the program is stopped; the answer shows "
                                          "in the error pane."));
    m_pCommand->installEventFilter(this);
    auto *commandRow = new QHBoxLayout;
    commandRow->setContentsMargins(0, 2, 0, 4);
    auto *commandLabel = new QLabel(QStringLiteral("Debugger &command:"));
    commandLabel->setBuddy(m_pCommand);
    commandRow->addWidget(commandLabel);
    commandRow->addWidget(m_pCommand, 1);

    m_pLeftSplit = new QSplitter(Qt::Vertical);
    m_pLeftSplit->setObjectName(QStringLiteral("split_DebugLeft"));
    m_pLeftSplit->setChildrenCollapsible(false);
    auto *sourceBox = new QWidget;
    auto *sourceLayout = new QVBoxLayout(sourceBox);
    sourceLayout->setContentsMargins(0, 0, 0, 0);
    sourceLayout->setSpacing(2);
    sourceLayout->addWidget(m_pSourceTitle);
    sourceLayout->addWidget(m_pSource, 1);
    m_pLeftSplit->addWidget(sourceBox);

    m_pRightSplit = new QSplitter(Qt::Vertical);
    m_pRightSplit->setObjectName(QStringLiteral("split_DebugRight"));
    m_pRightSplit->setChildrenCollapsible(false);
    m_pRightSplit->addWidget(Titled(QStringLiteral("Locals"), m_pLocals));
    m_pRightSplit->addWidget(Titled(QStringLiteral("Watches"), m_pWatches, watchRow));
    m_pRightSplit->addWidget(Titled(QStringLiteral("Call stack"), m_pStack));

    m_pMainSplit = new QSplitter(Qt::Horizontal);
    m_pMainSplit->setObjectName(QStringLiteral("split_DebugMain"));
    m_pMainSplit->setChildrenCollapsible(false);
    m_pMainSplit->addWidget(m_pLeftSplit);
    m_pMainSplit->addWidget(m_pRightSplit);
    m_pMainSplit->setStretchFactor(0, 3);
    m_pMainSplit->setStretchFactor(1, 2);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(2);
    layout->addLayout(top);
    layout->addWidget(m_pMainSplit, 1);
    layout->addLayout(commandRow);

    if (m_pEngine) {
        connect(m_pEngine, &CDebugEngine::stopped, this, &CDebugPanel::OnStopped);
        connect(m_pEngine, &CDebugEngine::running, this, &CDebugPanel::OnRunning);
        connect(m_pEngine, &CDebugEngine::sessionEnded, this, &CDebugPanel::OnSessionEnded);
        connect(m_pEngine, &CDebugEngine::framesChanged, this, &CDebugPanel::OnFrames);
        connect(m_pEngine, &CDebugEngine::localsChanged, this, &CDebugPanel::OnLocals);
        connect(m_pEngine, &CDebugEngine::watchesChanged, this, &CDebugPanel::OnWatchValues);
        connect(m_pEngine, &CDebugEngine::breakpointChanged, this, &CDebugPanel::OnBreakpointChanged);
        connect(m_pEngine, &CDebugEngine::debuggerText, this, &CDebugPanel::OnDebuggerText);
    }
    OnLocals({}, QStringLiteral("The program has not stopped yet."));
    UpdateActions();
}

bool CDebugPanel::eventFilter(QObject *watched, QEvent *event)
{
    // Enter in the two boxes is theirs alone: passed on, the dialog would press its
    // default button, the Send button of the Send Input dialog when that is open.
    if ((watched == m_pCommand || watched == m_pWatchEdit) && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == m_pCommand)
                OnCommandEntered();
            else
                OnAddWatch();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

QAction *CDebugPanel::AddAction(int nId, const QString &text, const QKeySequence &key, const QString &tip,
                                void (CDebugPanel::*handler)())
{
    auto *action = new QAction(text, this);
    action->setObjectName(QStringLiteral("action_%1").arg(nId));
    if (!key.isEmpty()) {
        action->setShortcut(key);
        action->setShortcutContext(Qt::WindowShortcut);
        action->setToolTip(QStringLiteral("%1 (%2)\n%3").arg(text, key.toString(QKeySequence::NativeText), tip));
    } else {
        action->setToolTip(QStringLiteral("%1\n%2").arg(text, tip));
    }
    connect(action, &QAction::triggered, this, handler);
    m_pToolBar->addAction(action);
    if (QWidget *button = m_pToolBar->widgetForAction(action))
        button->setObjectName(QStringLiteral("button_%1").arg(nId));
    addAction(action);
    return action;
}

QWidget *CDebugPanel::Titled(const QString &strTitle, QWidget *pContent, QWidget *pBelow)
{
    auto *box = new QWidget;
    auto *layout = new QVBoxLayout(box);
    layout->setContentsMargins(4, 0, 2, 2);
    layout->setSpacing(2);
    auto *title = new QLabel(QStringLiteral("<b>%1</b>").arg(strTitle.toHtmlEscaped()));
    layout->addWidget(title);
    layout->addWidget(pContent, 1);
    if (pBelow)
        layout->addWidget(pBelow);
    return box;
}

void CDebugPanel::SetOutputArea(QWidget *pOutput)
{
    m_pLeftSplit->addWidget(pOutput);
    m_pLeftSplit->setStretchFactor(0, 3);
    m_pLeftSplit->setStretchFactor(1, 2);
}

void CDebugPanel::SetScript(const QString &strScript)
{
    m_strScript = strScript;
    const QStringList kept = CDebugWatchStore::Load(strScript);
    if (kept.isEmpty() || kept == m_watches)
        return;
    m_watches = kept;
    FillWatches({});
    if (m_pEngine)
        m_pEngine->SetWatches(m_watches);
}

void CDebugPanel::SetStartAgain(std::function<bool()> fnStartAgain)
{
    m_fnStartAgain = std::move(fnStartAgain);
    UpdateActions();
}

void CDebugPanel::SizePanes()
{
    const int w = m_pMainSplit->width(), h = m_pLeftSplit->height();
    m_pMainSplit->setSizes({w * 62 / 100, w - w * 62 / 100});
    if (m_pLeftSplit->count() > 1)
        m_pLeftSplit->setSizes({h * 55 / 100, h - h * 55 / 100});
    const int rh = m_pRightSplit->height();
    m_pRightSplit->setSizes({rh * 45 / 100, rh * 30 / 100, rh - rh * 45 / 100 - rh * 30 / 100});
}

void CDebugPanel::UpdateActions()
{
    const bool stopped = m_pEngine && m_console.AtPrompt();
    for (QAction *a : m_stepActions)
        a->setEnabled(stopped);
    m_pRestart->setEnabled(stopped || (m_pEngine && m_console.IsEnded() && m_fnStartAgain));
    m_pStop->setEnabled(!m_console.IsEnded());
}

void CDebugPanel::OnContinue()
{
    if (!m_pEngine || !m_console.AtPrompt())
        return;
    Echo(QStringLiteral("c"));
    m_pEngine->Continue();
}

void CDebugPanel::OnStepOver()
{
    if (!m_pEngine || !m_console.AtPrompt())
        return;
    Echo(QStringLiteral("n"));
    m_pEngine->StepOver();
}

void CDebugPanel::OnStepInto()
{
    if (!m_pEngine || !m_console.AtPrompt())
        return;
    Echo(QStringLiteral("s"));
    m_pEngine->StepInto();
}

void CDebugPanel::OnStepOut()
{
    if (!m_pEngine || !m_console.AtPrompt())
        return;
    Echo(QStringLiteral("r"));
    m_pEngine->StepOut();
}

void CDebugPanel::OnRunToCursor()
{
    if (!m_pEngine || !m_console.AtPrompt() || m_strShownFile.isEmpty())
        return;
    int line = 0, index = 0;
    m_pSource->getCursorPosition(&line, &index);
    Echo(QStringLiteral("c %1").arg(line + 1));
    m_pEngine->RunToLine(m_strShownFile, line + 1);
}

void CDebugPanel::OnRestart()
{
    if (!m_pEngine)
        return;
    if (m_console.AtPrompt()) {
        // perl starts the program again in its own process.
        Echo(QStringLiteral("R"));
        m_pEngine->Restart();
        return;
    }
    if (!m_console.IsEnded() || !m_fnStartAgain)
        return;
    // The program has ended, and perl with it: a new one runs, with the breakpoints and
    // watches the engine has, and the session starts over.
    m_console = CDebugConsole(m_breakpoints.IsEmpty());
    m_pState->setText(QStringLiteral("Starting again..."));
    OnLocals({}, QStringLiteral("The program has not stopped yet."));
    UpdateActions();
    if (!m_fnStartAgain()) {
        m_console.OnEnded();
        m_pState->setText(QStringLiteral("The debugging session has ended."));
        UpdateActions();
    }
}

void CDebugPanel::OnStop()
{
    if (m_console.IsEnded())
        return;
    if (m_pEngine) {
        if (m_console.AtPrompt())
            Echo(QStringLiteral("q"));
        m_pEngine->Stop();
    }
    emit StopRequested();
}

void CDebugPanel::OnCommandEntered()
{
    const QString text = m_pCommand->text().trimmed();
    if (text.isEmpty() || !m_pEngine)
        return;
    if (!m_console.AtPrompt()) {
        m_pState->setText(QStringLiteral("The program is running: send the command when it stops."));
        return;
    }
    Echo(text);
    m_pEngine->SendCommand(text);
    m_pCommand->clear();
}

bool CDebugPanel::TakeTypedLine(const QString &strLine)
{
    if (!m_pEngine)
        return false;
    switch (m_console.RouteTypedLine(strLine)) {
    case CDebugConsole::Route::Debugger:
        Echo(strLine);
        m_pEngine->SendCommand(strLine);
        return true;
    case CDebugConsole::Route::Held:
        return true;
    case CDebugConsole::Route::Program:
    case CDebugConsole::Route::Nowhere:
        break;
    }
    return false;
}

void CDebugPanel::OnAddWatch()
{
    const QString expression = m_pWatchEdit->text().trimmed();
    if (expression.isEmpty())
        return;
    m_pWatchEdit->clear();
    if (m_watches.contains(expression))
        return;
    m_watches << expression;
    FillWatches({});
    WatchesChanged();
}

void CDebugPanel::WatchesChanged()
{
    CDebugWatchStore::Save(m_strScript, m_watches);
    if (m_pEngine)
        m_pEngine->SetWatches(m_watches);
}

void CDebugPanel::OnRemoveWatch()
{
    QTreeWidgetItem *item = m_pWatches->currentItem();
    while (item && item->parent())
        item = item->parent();
    if (!item)
        return;
    const int index = m_pWatches->indexOfTopLevelItem(item);
    if (index < 0 || index >= m_watches.size())
        return;
    m_watches.removeAt(index);
    delete item;
    WatchesChanged();
}

void CDebugPanel::ToggleBreakpoint(int nLine)
{
    if (m_strShownFile.isEmpty() || nLine < 1)
        return;
    CDebugBreakpoint bp;
    const bool added = m_breakpoints.Toggle(m_strShownFile, nLine, &bp);
    if (m_pEngine) {
        if (added)
            m_pEngine->AddBreakpoint(bp);
        else
            m_pEngine->RemoveBreakpoint(bp.strFile, bp.nLine);
    }
    if (m_pHost && m_pHost->KeepsFile(bp.strFile)) {
        if (added)
            m_pHost->AddBreakpoint(bp);
        else
            m_pHost->RemoveBreakpoint(bp.strFile, bp.nLine);
    }
    MarkBreakpoints();
}

void CDebugPanel::OnBreakpointChanged(const CDebugBreakpoint &bp)
{
    if (bp.bOneShot)
        return;
    if (!m_breakpoints.Update(bp))
        m_breakpoints.Add(bp);
    if (m_pHost)
        m_pHost->BreakpointChanged(bp);
    MarkBreakpoints();
}

void CDebugPanel::MarkBreakpoints()
{
    for (int marker : {CBreakpointMarks::kBreakpoint, CBreakpointMarks::kConditional, CBreakpointMarks::kRefused})
        m_pSource->markerDeleteAll(marker);
    if (m_strShownFile.isEmpty())
        return;
    for (const CDebugBreakpoint &bp : m_breakpoints.InFile(m_strShownFile)) {
        const int line = CDebugBreakpointList::ShownLine(bp) - 1;
        if (line >= 0 && line < m_pSource->lines())
            m_pSource->markerAdd(line, CBreakpointMarks::MarkerFor(bp));
    }
}

void CDebugPanel::ShowSource(const QString &strFile, int nLine, bool bStop)
{
    if (!CDebugBreakpointList::SamePath(strFile, m_strShownFile) || m_pSource->lines() <= 1) {
        QFile file(strFile);
        m_pSource->setReadOnly(false);
        if (!strFile.isEmpty() && file.open(QIODevice::ReadOnly)) {
            const QByteArray text = file.readAll();
            m_pSource->SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, text.constData());
            m_strShownFile = strFile;
        } else {
            const QByteArray note = QStringLiteral("# The source of %1 cannot be shown: %2\n")
                                        .arg(strFile.isEmpty() ? QStringLiteral("this code") : strFile,
                                             strFile.isEmpty() ? QStringLiteral("perl gave no file")
                                                               : file.errorString())
                                        .toUtf8();
            m_pSource->SendScintilla(QsciScintillaBase::SCI_SETTEXT, 0UL, note.constData());
            m_strShownFile.clear();
        }
        m_pSource->setReadOnly(true);
        m_pSource->SendScintilla(QsciScintillaBase::SCI_EMPTYUNDOBUFFER);
        MarkBreakpoints();
    }
    m_pSource->markerDeleteAll(CBreakpointMarks::kArrow);
    m_pSource->markerDeleteAll(CBreakpointMarks::kCurrentLine);
    if (!m_strShownFile.isEmpty() && CDebugBreakpointList::SamePath(m_strShownFile, m_strStopFile) && m_nStopLine > 0) {
        m_pSource->markerAdd(m_nStopLine - 1, CBreakpointMarks::kArrow);
        m_pSource->markerAdd(m_nStopLine - 1, CBreakpointMarks::kCurrentLine);
    }
    m_pSourceTitle->setText(QStringLiteral("%1%2   line %3")
                                .arg(bStop ? QString() : QStringLiteral("Frame in "),
                                     QDir::toNativeSeparators(m_strShownFile.isEmpty() ? strFile : m_strShownFile))
                                .arg(nLine));
    if (nLine > 0 && !m_strShownFile.isEmpty()) {
        const int line = qMin(nLine - 1, m_pSource->lines() - 1);
        m_pSource->setCursorPosition(line, 0);
        m_pSource->SendScintilla(QsciScintillaBase::SCI_ENSUREVISIBLEENFORCEPOLICY, line);
        m_pSource->SendScintilla(QsciScintillaBase::SCI_VERTICALCENTRECARET);
    }
}

int CDebugPanel::ArrowLine() const
{
    const int line = m_pSource->markerFindNext(0, 1 << CBreakpointMarks::kArrow);
    return line >= 0 ? line + 1 : 0;
}

void CDebugPanel::OnStopped(const QString &strFile, int nLine)
{
    m_strStopFile = strFile;
    m_nStopLine = nLine;
    ShowSource(strFile, nLine, true);
    m_pState->setText(QStringLiteral("Stopped at %1 line %2").arg(QFileInfo(strFile).fileName()).arg(nLine));
    emit TranscriptText(m_console.OnStopped());
    UpdateActions();
    // A held command goes once the engine has sent its whole report of the stop.
    if (m_console.HasHeld())
        QTimer::singleShot(0, this, &CDebugPanel::SendHeldCommand);
}

void CDebugPanel::SendHeldCommand()
{
    if (!m_console.HasHeld() || !m_pEngine || !m_console.AtPrompt())
        return;
    const QString command = m_console.TakeHeld();
    Echo(command);
    m_pEngine->SendCommand(command);
}

void CDebugPanel::OnDebuggerText(const QString &strText)
{
    const QByteArray bytes = m_console.OnDebuggerText(strText);
    if (!bytes.isEmpty())
        emit TranscriptText(bytes);
    UpdateActions();
}

void CDebugPanel::Echo(const QString &strCommand)
{
    emit TranscriptText(m_console.Echo(strCommand));
}

void CDebugPanel::OnRunning()
{
    m_console.OnRunning();
    m_pSource->markerDeleteAll(CBreakpointMarks::kArrow);
    m_pSource->markerDeleteAll(CBreakpointMarks::kCurrentLine);
    m_pState->setText(QStringLiteral("Running..."));
    UpdateActions();
}

void CDebugPanel::OnSessionEnded()
{
    m_console.OnEnded();
    m_pSource->markerDeleteAll(CBreakpointMarks::kArrow);
    m_pSource->markerDeleteAll(CBreakpointMarks::kCurrentLine);
    m_pState->setText(QStringLiteral("The debugging session has ended."));
    // Values of a program that is gone would only mislead.
    OnLocals({}, QStringLiteral("The program has ended."));
    FillWatches({});
    m_frames.clear();
    m_pStack->clear();
    UpdateActions();
}

void CDebugPanel::OnFrames(const QList<CDebugFrame> &frames)
{
    m_frames = frames;
    m_pStack->clear();
    for (const CDebugFrame &f : frames) {
        auto *item = new QTreeWidgetItem(m_pStack);
        item->setText(0, f.strSub);
        item->setText(1, QFileInfo(f.strFile).fileName());
        item->setToolTip(1, QDir::toNativeSeparators(f.strFile));
        item->setText(2, QString::number(f.nLine));
        item->setTextAlignment(2, Qt::AlignRight | Qt::AlignVCenter);
    }
    if (m_pStack->topLevelItemCount() > 0)
        m_pStack->setCurrentItem(m_pStack->topLevelItem(0));
}

void CDebugPanel::ShowFrame(int nIndex)
{
    if (nIndex < 0 || nIndex >= m_frames.size())
        return;
    const CDebugFrame &f = m_frames[nIndex];
    ShowSource(f.strFile, f.nLine, nIndex == 0);
    if (m_pEngine && m_console.AtPrompt())
        m_pEngine->SelectFrame(nIndex);
}

void CDebugPanel::AddValue(QTreeWidgetItem *parent, QTreeWidget *tree, const CDebugValue &value)
{
    auto *item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree);
    item->setText(0, value.strName);
    item->setText(1, value.strValue);
    item->setToolTip(1, value.strValue);
    for (const CDebugValue &child : value.children)
        AddValue(item, tree, child);
}

void CDebugPanel::OnLocals(const QList<CDebugValue> &locals, const QString &strWhyEmpty)
{
    m_pLocals->clear();
    for (const CDebugValue &v : locals)
        AddValue(nullptr, m_pLocals, v);
    if (locals.isEmpty()) {
        auto *item = new QTreeWidgetItem(m_pLocals);
        item->setText(0, strWhyEmpty.isEmpty() ? QStringLiteral("No lexical variables here.") : strWhyEmpty);
        item->setFirstColumnSpanned(true);
        item->setFlags(Qt::ItemIsEnabled);
        item->setForeground(0, palette().brush(QPalette::PlaceholderText));
        item->setToolTip(0, item->text(0));
        return;
    }
    FitNameColumn(m_pLocals, m_localsFitted);
}

void CDebugPanel::FitNameColumn(QTreeWidget *tree, QStringList &fittedTo)
{
    QStringList names;
    for (int i = 0; i < tree->topLevelItemCount(); ++i)
        names << tree->topLevelItem(i)->text(0);
    if (names == fittedTo)
        return;
    fittedTo = names;
    tree->resizeColumnToContents(0);
    // The value keeps a third of the list, whatever the names.
    const int most = tree->viewport()->width() * 2 / 3;
    const int least = tree->fontMetrics().averageCharWidth() * 8;
    if (most > least && tree->columnWidth(0) > most)
        tree->setColumnWidth(0, most);
    else if (tree->columnWidth(0) < least)
        tree->setColumnWidth(0, least);
}

void CDebugPanel::FillWatches(const QList<CDebugValue> &values)
{
    m_pWatches->clear();
    for (int i = 0; i < m_watches.size(); ++i) {
        CDebugValue v;
        v.strName = m_watches[i];
        if (i < values.size()) {
            v.strValue = values[i].strValue;
            v.children = values[i].children;
        }
        AddValue(nullptr, m_pWatches, v);
    }
    FitNameColumn(m_pWatches, m_watchesFitted);
}

void CDebugPanel::OnWatchValues(const QList<CDebugValue> &values)
{
    FillWatches(values);
}
