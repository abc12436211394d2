#include "debug/DebugEngine.h"

#include "run/ChildProcess.h"
#include "debug/DebugSupportCode.h"

#include <QDir>
#include <QLocalSocket>
#include <QRegularExpression>

#include <cerrno>
#include <cstring>

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void AppendValue(QList<CDebugValue> &roots, int nDepth, const CDebugValue &value)
{
    QList<CDebugValue> *list = &roots;
    for (int d = 0; d < nDepth && !list->isEmpty(); ++d)
        list = &list->last().children;
    list->append(value);
}

} // namespace

CDebugEngine::CDebugEngine(QObject *parent) : QObject(parent)
{
    qRegisterMetaType<CDebugBreakpoint>();
    qRegisterMetaType<CDebugFrame>();
    qRegisterMetaType<CDebugValue>();
}

CDebugEngine::~CDebugEngine() = default;

bool CDebugEngine::PrepareChild(CChildProcess &child, QString *pError)
{
    // A new session with the same engine: the breakpoints and watches stay, the rest starts over.
    if (m_pSocket) {
        m_pSocket->disconnect(this);
        m_pSocket->abort();
        m_pSocket->deleteLater();
        m_pSocket = nullptr;
    }
    m_bConnected = false;
    m_bEnded = m_bQuitting = m_bRestarting = m_bStopped = m_bInFlight = false;
    m_bInterrupting = m_bInterruptStop = m_bStartPending = m_bStartCondition = false;
    m_queue.clear();
    m_baLastStep.clear();
    m_parser = CDebugReplyParser();

    // Close-on-exec on both ends in the IDE: no other program the IDE starts gets either.
    int fds[2];
    struct stat st {};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) {
        if (pError)
            *pError = QStringLiteral("Cannot make the channel for perl's debugger: %1.")
                          .arg(QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    if (::fstat(fds[1], &st) != 0) {
        const int err = errno;
        ::close(fds[0]);
        ::close(fds[1]);
        if (pError)
            *pError = QStringLiteral("Cannot make the channel for perl's debugger: %1.")
                          .arg(QString::fromLocal8Bit(std::strerror(err)));
        return false;
    }
    m_pSocket = new QLocalSocket(this);
    if (!m_pSocket->setSocketDescriptor(fds[0])) {
        ::close(fds[0]);
        ::close(fds[1]);
        if (pError)
            *pError = QStringLiteral("Cannot make the channel for perl's debugger: %1.").arg(m_pSocket->errorString());
        delete m_pSocket;
        m_pSocket = nullptr;
        return false;
    }
    connect(m_pSocket, &QLocalSocket::readyRead, this, &CDebugEngine::OnReadyRead);
    connect(m_pSocket, &QLocalSocket::disconnected, this, &CDebugEngine::OnDisconnected);
    child.SetInheritedDescriptor(fds[1]);
    child.SetEnvironmentVariable(QStringLiteral("PERLDB_OPTS"), DebuggerOptions());
    child.SetEnvironmentVariable(QStringLiteral("PERL5DB"),
                                 QString::fromLatin1(CDebugSupportCode::Bootstrap(kChannelFd, quint64(st.st_ino))));
    return true;
}

QString CDebugEngine::DebuggerOptions()
{
    // TTY: perl5db.pl starts on the null device until the support code gives it the
    // channel. ReadLine=0: plain reads and writes on the channel, no terminal handling.
    // inhibit_exit=0: the program ends with its own exit code instead of waiting at the
    // debugger's "terminated" prompt.
    return QStringLiteral("TTY=/dev/null ReadLine=0 ornaments= inhibit_exit=0");
}

void CDebugEngine::SetDirectory(const QString &strDirectory)
{
    m_strDirectory = strDirectory;
}

bool CDebugEngine::IsConnected() const
{
    return m_bConnected && m_pSocket && m_pSocket->state() == QLocalSocket::ConnectedState;
}

bool CDebugEngine::IsStopped() const
{
    return m_bStopped;
}

bool CDebugEngine::AtPrompt() const
{
    return IsConnected() && !m_bRunning && !m_bEnded && !m_bFirstPrompt && !m_bStartPending && !m_bStartCondition
        && !m_bRestarting
        && !m_bQuitting;
}

QString CDebugEngine::AbsoluteFile(const QString &strFile) const
{
    if (strFile.isEmpty() || strFile.startsWith(QLatin1Char('(')) || strFile == QLatin1String("-e"))
        return strFile;
    const QDir base(m_strDirectory.isEmpty() ? QDir::currentPath() : m_strDirectory);
    return QDir::cleanPath(base.absoluteFilePath(strFile));
}

int CDebugEngine::IndexOfId(int nId) const
{
    return m_breakpointIds.indexOf(nId);
}

void CDebugEngine::SetBreakpoints(const QList<CDebugBreakpoint> &list)
{
    const QList<CDebugBreakpoint> old = m_breakpoints;
    for (const CDebugBreakpoint &bp : old)
        if (!bp.bOneShot)
            RemoveBreakpoint(bp.strFile, bp.nLine);
    for (const CDebugBreakpoint &bp : list)
        AddBreakpoint(bp);
}

void CDebugEngine::AddBreakpoint(const CDebugBreakpoint &bpIn)
{
    CDebugBreakpoint bp = bpIn;
    bp.strFile = AbsoluteFile(bp.strFile);
    bp.state = CDebugBreakpoint::State::Pending;
    bp.nActualLine = 0;
    bp.strReason.clear();
    for (int i = 0; i < m_breakpoints.size(); ++i) {
        if (m_breakpoints[i].SameLocation(bp.strFile, bp.nLine) && m_breakpoints[i].bOneShot == bp.bOneShot) {
            // The same place again: a new condition replaces the old one.
            m_breakpoints[i].strCondition = bp.strCondition;
            if (IsConnected())
                PlaceBreakpoint(m_breakpoints[i]);
            return;
        }
    }
    m_breakpoints.append(bp);
    m_breakpointIds.append(m_nNextId++);
    if (IsConnected() && !m_bFirstPrompt)
        PlaceBreakpoint(m_breakpoints.last());
}

void CDebugEngine::PlaceBreakpoint(const CDebugBreakpoint &bp)
{
    int nId = 0;
    for (int k = 0; k < m_breakpoints.size(); ++k)
        if (m_breakpoints[k].SameLocation(bp.strFile, bp.nLine) && m_breakpoints[k].bOneShot == bp.bOneShot)
            nId = m_breakpointIds[k];
    if (!nId)
        return;
    if (m_bRunning && !bp.bOneShot) {
        CDebugBreakpoint pending = bp;
        pending.state = CDebugBreakpoint::State::Pending;
        pending.strReason = QStringLiteral("Set when the program next stops.");
        emit breakpointChanged(pending);
    }
    Enqueue(CDebugSupportCode::SetBreakpoint(nId, bp.strFile, bp.nLine, bp.strCondition), Purpose::Breakpoint);
    if (!bp.bOneShot)
        InterruptForBreakpoints();
}

void CDebugEngine::InterruptForBreakpoints()
{
    // perl's debugger reads no command while the program runs. The support code's handler
    // of SIGURG (a signal ignored by default, which programs hardly ever handle; it is
    // taken only where the program has not) makes it stop at the next statement (a read
    // of standard input is finished first), which hands it the changed breakpoints at once
    // instead of at the next stop. Only while it continues, and only while the handler is
    // still the support code's. The handler restarts the system call it interrupts and does
    // nothing while the debugger itself runs: perl's prompt would take an interrupted read
    // of its socket for an empty command, which repeats the last step.
    if (!m_bRunning || !m_bInFlight || m_inFlight != Purpose::Resume || m_baLastResume != "c" || !m_bInterruptible
        || m_nPid <= 0 || m_bInterrupting)
        return;
#ifdef Q_OS_UNIX
    if (::kill(pid_t(m_nPid), SIGURG) == 0)
        m_bInterrupting = true;
#endif
}

void CDebugEngine::RemoveBreakpoint(const QString &strFileIn, int nLine)
{
    const QString strFile = AbsoluteFile(strFileIn);
    for (int i = 0; i < m_breakpoints.size(); ++i) {
        const CDebugBreakpoint bp = m_breakpoints[i];
        if (!bp.SameLocation(strFile, nLine) || bp.bOneShot)
            continue;
        const int nId = m_breakpointIds[i];
        m_breakpoints.removeAt(i);
        m_breakpointIds.removeAt(i);
        if (IsConnected()) {
            // Another breakpoint moved to the same line keeps perl's breakpoint there.
            int nActual = bp.nActualLine;
            QList<CDebugBreakpoint> sharing;
            for (const CDebugBreakpoint &other : std::as_const(m_breakpoints))
                if (other.strFile == bp.strFile && other.nActualLine == nActual && nActual > 0)
                    sharing.append(other);
            Enqueue(CDebugSupportCode::ClearBreakpoint(nId, bp.strFile, sharing.isEmpty() ? nActual : 0),
                    Purpose::Breakpoint);
            // perl holds one condition per line: the one left there is the remaining one's.
            for (const CDebugBreakpoint &other : std::as_const(sharing))
                PlaceBreakpoint(other);
            InterruptForBreakpoints();
        }
        return;
    }
}

void CDebugEngine::SetWatches(const QStringList &expressions)
{
    m_watches = expressions;
    if (!IsConnected() || m_bFirstPrompt)
        return;
    const bool bStopped = m_bStopped;
    Enqueue(CDebugSupportCode::SetWatches(m_watches), Purpose::Setup);
    if (bStopped)
        Enqueue(CDebugSupportCode::Snapshot(m_nSelectedFrame), Purpose::Watches);
}

void CDebugEngine::Resume(const QByteArray &baCommand)
{
    if (!AtPrompt())
        return;
    Enqueue(baCommand, Purpose::Resume);
}

void CDebugEngine::Continue() { Resume("c"); }
void CDebugEngine::StepOver() { Resume("n"); }
void CDebugEngine::StepInto() { Resume("s"); }
void CDebugEngine::StepOut() { Resume("r"); }

void CDebugEngine::RunToLine(const QString &strFileIn, int nLine)
{
    if (!AtPrompt())
        return;
    const QString strFile = AbsoluteFile(strFileIn);
    bool bHasUserBreakpoint = false;
    for (const CDebugBreakpoint &bp : std::as_const(m_breakpoints))
        if (bp.SameLocation(strFile, nLine) && !bp.bOneShot)
            bHasUserBreakpoint = true;
    if (!bHasUserBreakpoint) {
        CDebugBreakpoint bp;
        bp.strFile = strFile;
        bp.nLine = nLine;
        bp.bOneShot = true;
        AddBreakpoint(bp);
    }
    Resume("c");
}

void CDebugEngine::Restart()
{
    if (!IsConnected() || m_bEnded || m_bRunning || m_bQuitting)
        return;
    for (int i = m_breakpoints.size() - 1; i >= 0; --i) {
        if (m_breakpoints[i].bOneShot) {
            m_breakpoints.removeAt(i);
            m_breakpointIds.removeAt(i);
        }
    }
    m_queue.clear();
    // R makes perl start the program again in the same process (an exec), whose debugger
    // says hello anew on the same channel; it keeps the breakpoints, and the engine sets
    // them again anyway.
    Enqueue("R", Purpose::Restart);
}

void CDebugEngine::Stop()
{
    if (m_bEnded)
        return;
    if (IsConnected() && !m_bRunning) {
        // At the prompt (or about to be): perl quits, and its END blocks and exit code are
        // the program's. The command waits for an answer still due, so that it is read alone.
        m_queue.clear();
        m_bStartPending = false;
        m_bStartCondition = false;
        Enqueue("q", Purpose::Quit);
        return;
    }
    m_bRestarting = false;
    if (m_pSocket)
        m_pSocket->abort();
    EndSession();
}

void CDebugEngine::SendCommand(const QString &strTyped)
{
    if (!AtPrompt())
        return;
    QString text = strTyped;
    text.remove(QLatin1Char('\r'));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    const QString verb = text.trimmed().section(QLatin1Char(' '), 0, 0);
    if (verb == QLatin1String("R")) {
        Restart();
        return;
    }
    if (verb == QLatin1String("q")) {
        Stop();
        return;
    }
    // An empty line repeats the last step, as at perl's own terminal prompt. Over the
    // socket perl takes it as nothing at all, so the engine repeats the step itself;
    // with no step taken yet it is nothing here too, and the session stays at its stop.
    if (text.trimmed().isEmpty()) {
        if (!m_baLastStep.isEmpty())
            Enqueue(m_baLastStep, Purpose::Resume);
        return;
    }
    static const QRegularExpression resumes(QStringLiteral("^(?:c|n|s|r)$"));
    const bool bResumes = resumes.match(verb).hasMatch();
    Enqueue(text.toUtf8(), bResumes ? Purpose::Resume : Purpose::User);
}

void CDebugEngine::SelectFrame(int nIndex)
{
    if (!AtPrompt() || nIndex < 0)
        return;
    m_nSelectedFrame = nIndex;
    Enqueue(CDebugSupportCode::Snapshot(nIndex), Purpose::Frame);
}

void CDebugEngine::Enqueue(const QByteArray &baText, Purpose purpose)
{
    m_queue.append({baText, purpose});
    SendNext();
}

void CDebugEngine::SendNext()
{
    if (!IsConnected() || m_bInFlight || m_bRunning || m_queue.isEmpty())
        return;
    const Command cmd = m_queue.takeFirst();
    m_bInFlight = true;
    m_inFlight = cmd.purpose;
    m_baReplyText.clear();
    m_bStopped = false;
    if (cmd.purpose == Purpose::Quit || cmd.purpose == Purpose::Restart) {
        // No answer comes: the connection ends (and, for a restart, a new one comes).
        m_bQuitting = cmd.purpose == Purpose::Quit;
        m_bRestarting = cmd.purpose == Purpose::Restart;
        m_bRunning = true;
        m_pSocket->write(cmd.baText + '\n');
        m_pSocket->flush();
        if (m_bRestarting)
            emit running();
        return;
    }
    if (cmd.purpose == Purpose::Resume) {
        m_baLastResume = cmd.baText;
        if (cmd.baText == "n" || cmd.baText == "s")
            m_baLastStep = cmd.baText;
        m_bRunning = true;
        m_nSelectedFrame = 0;
        m_strLastStopLine.clear();
        emit running();
    }
    m_pSocket->write(cmd.baText + '\n');
}

void CDebugEngine::OnDebuggerStarted()
{
    if (m_bEnded || (m_bConnected && !m_bRestarting))
        return;
    m_bConnected = true;
    m_queue.clear();
    m_bInFlight = false;
    m_bRunning = true; // until the first prompt
    m_bStopped = false;
    m_bFirstPrompt = true;
    m_bRestarting = false;
    m_bQuitting = false;
    m_bStartCondition = false;
    m_bInterrupting = false;
    m_bInterruptStop = false;
    // What the debugger said before it restarted ("some settings may be lost").
    m_baReplyText.clear();
    for (CDebugBreakpoint &bp : m_breakpoints) {
        bp.state = CDebugBreakpoint::State::Pending;
        bp.nActualLine = 0;
        bp.strReason.clear();
    }
    emit connected();
}

void CDebugEngine::OnReadyRead()
{
    if (!m_pSocket)
        return;
    const QList<CDebugReplyParser::Event> events = m_parser.Feed(m_pSocket->readAll());
    for (const CDebugReplyParser::Event &e : events) {
        switch (e.kind) {
        case CDebugReplyParser::Event::Kind::Text:
            m_baReplyText += e.strText.toUtf8();
            break;
        case CDebugReplyParser::Event::Kind::Record:
            OnRecord(e.fields);
            break;
        case CDebugReplyParser::Event::Kind::Prompt:
            OnPrompt();
            break;
        }
    }
}

void CDebugEngine::OnRecord(const QStringList &fields)
{
    if (fields.isEmpty())
        return;
    const QString kind = fields.first();
    auto field = [&](int i) { return i < fields.size() ? fields.at(i) : QString(); };
    if (kind == QLatin1String("bp")) {
        const int i = IndexOfId(field(1).toInt());
        if (i < 0)
            return;
        CDebugBreakpoint &bp = m_breakpoints[i];
        const QString state = field(2);
        bp.nActualLine = field(3).toInt();
        bp.strReason = field(4);
        if (state == QLatin1String("set"))
            bp.state = CDebugBreakpoint::State::Set;
        else if (state == QLatin1String("moved"))
            bp.state = CDebugBreakpoint::State::Moved;
        else if (state == QLatin1String("refused"))
            bp.state = CDebugBreakpoint::State::Refused;
        else
            bp.state = CDebugBreakpoint::State::Pending;
        if (!bp.bOneShot)
            emit breakpointChanged(bp);
    } else if (kind == QLatin1String("snap")) {
        m_frames.clear();
        m_locals.clear();
        m_watchValues.clear();
        m_strWhyNoLocals.clear();
        m_bSnapshotDone = false;
    } else if (kind == QLatin1String("frame")) {
        m_frames.append({field(1), AbsoluteFile(field(2)), field(3).toInt()});
    } else if (kind == QLatin1String("local") || kind == QLatin1String("watch")) {
        CDebugValue value;
        value.strName = field(2);
        value.strValue = field(3);
        AppendValue(kind == QLatin1String("local") ? m_locals : m_watchValues, field(1).toInt(), value);
    } else if (kind == QLatin1String("nolocals")) {
        m_strWhyNoLocals = field(1);
    } else if (kind == QLatin1String("cond")) {
        m_bConditionTrue = field(1) == QLatin1String("1");
    } else if (kind == QLatin1String("hello")) {
        m_nPid = field(1).toLongLong();
        OnDebuggerStarted();
    } else if (kind == QLatin1String("pid")) {
        m_nPid = field(1).toLongLong();
    } else if (kind == QLatin1String("interruptible")) {
        m_bInterruptible = field(1) == QLatin1String("1");
    } else if (kind == QLatin1String("end")) {
        m_bSnapshotDone = true;
    }
}

void CDebugEngine::EmitSnapshot()
{
    const bool bFull = m_inFlight == Purpose::Snapshot;
    if (!m_bSnapshotDone) {
        // The report failed (perl said why, in the text); the stop line still says where.
        QString sub, file;
        int line = 0;
        if (bFull && CDebugReplyParser::ParseStopLine(m_strLastStopLine, &sub, &file, &line))
            emit stopped(AbsoluteFile(file), line);
        return;
    }
    if (bFull && !m_frames.isEmpty()) {
        emit stopped(m_frames.first().strFile, m_frames.first().nLine);
        emit framesChanged(m_frames);
    }
    if (bFull || m_inFlight == Purpose::Frame)
        emit localsChanged(m_locals, m_locals.isEmpty() ? m_strWhyNoLocals : QString());
    if (bFull || m_inFlight == Purpose::Watches)
        emit watchesChanged(m_watchValues);
}

void CDebugEngine::OnPrompt()
{
    m_bRunning = false;
    const QString text = QString::fromUtf8(m_baReplyText);
    m_baReplyText.clear();
    if (m_bFirstPrompt) {
        m_bFirstPrompt = false;
        if (!text.isEmpty())
            emit debuggerText(text);
        m_strFirstStop.clear();
        m_nFirstStopLine = 0;
        for (const QString &line : text.split(QLatin1Char('\n'))) {
            QString file;
            if (CDebugReplyParser::ParseStopLine(line, nullptr, &file, &m_nFirstStopLine)) {
                m_strFirstStop = AbsoluteFile(file);
                m_strLastStopLine = line;
                break;
            }
        }
        Enqueue(CDebugSupportCode::Definition(m_strDirectory.isEmpty() ? QDir::currentPath() : m_strDirectory),
                Purpose::Setup);
        if (!m_watches.isEmpty())
            Enqueue(CDebugSupportCode::SetWatches(m_watches), Purpose::Setup);
        for (const CDebugBreakpoint &bp : std::as_const(m_breakpoints))
            PlaceBreakpoint(bp);
        m_bStartPending = true;
        Settle();
        return;
    }
    const Purpose purpose = m_inFlight;
    m_bInFlight = false;
    switch (purpose) {
    case Purpose::Resume: {
        for (const QString &line : text.split(QLatin1Char('\n')))
            if (CDebugReplyParser::ParseStopLine(line, nullptr, nullptr, nullptr)) {
                m_strLastStopLine = line;
                break;
            }
        if (text.contains(QLatin1String("Debugged program terminated."))) {
            emit debuggerText(text);
            Enqueue("q", Purpose::Quit);
            return;
        }
        if (m_bInterrupting) {
            // Stopped only to hand perl the breakpoints changed while the program ran: once
            // they are set, the program runs on, unless one of them is right here.
            m_bInterrupting = false;
            m_bInterruptStop = true;
            m_strInterruptText = text;
            break;
        }
        if (!text.isEmpty())
            emit debuggerText(text);
        ApplyAfterResume();
        Enqueue(CDebugSupportCode::Snapshot(0), Purpose::Snapshot);
        break;
    }
    case Purpose::User:
        if (!text.isEmpty())
            emit debuggerText(text);
        // The command may have changed a variable, a watch's value or the frame.
        Enqueue(CDebugSupportCode::Snapshot(0), Purpose::Snapshot);
        break;
    case Purpose::Snapshot:
    case Purpose::Frame:
    case Purpose::Watches:
        if (!text.trimmed().isEmpty())
            emit debuggerText(text);
        EmitSnapshot();
        break;
    case Purpose::Setup:
    case Purpose::Breakpoint:
    case Purpose::Quit:
    case Purpose::Restart:
        if (!text.trimmed().isEmpty())
            emit debuggerText(text);
        break;
    }
    Settle();
}

void CDebugEngine::Settle()
{
    SendNext();
    if (m_bInFlight || m_bRunning || m_bQuitting || !IsConnected())
        return;
    if (m_bInterruptStop) {
        m_bInterruptStop = false;
        QString file;
        int line = 0;
        bool bHere = false;
        if (CDebugReplyParser::ParseStopLine(m_strLastStopLine, nullptr, &file, &line)) {
            for (const CDebugBreakpoint &bp : std::as_const(m_breakpoints))
                if (bp.strFile == AbsoluteFile(file) && bp.nActualLine == line
                    && bp.state != CDebugBreakpoint::State::Refused)
                    bHere = true;
        }
        if (bHere) {
            emit debuggerText(m_strInterruptText);
            ApplyAfterResume();
            Enqueue(CDebugSupportCode::Snapshot(0), Purpose::Snapshot);
        } else {
            Enqueue("c", Purpose::Resume);
        }
        return;
    }
    if (m_bStartPending) {
        m_bStartPending = false;
        bool bAny = false;
        bool bHere = false;
        QStringList conditionsHere;
        for (const CDebugBreakpoint &bp : std::as_const(m_breakpoints)) {
            if (bp.bOneShot || bp.state == CDebugBreakpoint::State::Refused)
                continue;
            bAny = true;
            // perl -d already stands on the first statement: c would run past a breakpoint there.
            if (bp.strFile == m_strFirstStop && bp.nActualLine == m_nFirstStopLine) {
                if (bp.strCondition.trimmed().isEmpty())
                    bHere = true;
                else
                    conditionsHere.append(bp.strCondition);
            }
        }
        if (!bHere && !conditionsHere.isEmpty()) {
            // Whether the program stays at its first statement is the condition's to say.
            m_bStartCondition = true;
            m_bConditionTrue = false;
            Enqueue(CDebugSupportCode::AnyConditionTrue(conditionsHere), Purpose::Setup);
            return;
        }
        StartRunning(bAny && !bHere);
        return;
    }
    if (m_bStartCondition) {
        m_bStartCondition = false;
        StartRunning(!m_bConditionTrue);
        return;
    }
    m_bStopped = true;
}

void CDebugEngine::StartRunning(bool bRun)
{
    if (bRun)
        Enqueue("c", Purpose::Resume);
    else
        Enqueue(CDebugSupportCode::Snapshot(0), Purpose::Snapshot);
}

void CDebugEngine::ApplyAfterResume()
{
    for (int i = m_breakpoints.size() - 1; i >= 0; --i) {
        const CDebugBreakpoint bp = m_breakpoints[i];
        if (!bp.bOneShot)
            continue;
        const int nId = m_breakpointIds[i];
        m_breakpoints.removeAt(i);
        m_breakpointIds.removeAt(i);
        int nActual = bp.nActualLine;
        for (const CDebugBreakpoint &other : std::as_const(m_breakpoints))
            if (other.strFile == bp.strFile && other.nActualLine == nActual)
                nActual = 0;
        Enqueue(CDebugSupportCode::ClearBreakpoint(nId, bp.strFile, nActual), Purpose::Breakpoint);
    }
}

void CDebugEngine::OnDisconnected()
{
    if (m_pSocket && m_pSocket->isOpen()) {
        if (m_pSocket->bytesAvailable() > 0)
            m_baReplyText += m_pSocket->readAll();
        for (const CDebugReplyParser::Event &e : m_parser.Finish())
            if (e.kind == CDebugReplyParser::Event::Kind::Text)
                m_baReplyText += e.strText.toUtf8();
    }
    if (!m_baReplyText.trimmed().isEmpty())
        emit debuggerText(QString::fromUtf8(m_baReplyText));
    m_baReplyText.clear();
    m_bInFlight = false;
    m_bStopped = false;
    // Also during a restart: the new debugger would have taken the same channel.
    EndSession();
}

void CDebugEngine::EndSession()
{
    if (m_bEnded)
        return;
    m_bEnded = true;
    m_bStopped = false;
    m_bRunning = false;
    m_queue.clear();
    if (m_pSocket)
        m_pSocket->close();
    emit sessionEnded();
}
