#include "debug/DebugBreakpointList.h"

#include <QDir>
#include <QFileInfo>

bool CDebugBreakpointList::SamePath(const QString &a, const QString &b)
{
    if (a.isEmpty() || b.isEmpty())
        return false;
    if (a == b)
        return true;
    const QFileInfo fa(a), fb(b);
    const QString ca = fa.canonicalFilePath(), cb = fb.canonicalFilePath();
    if (!ca.isEmpty() && !cb.isEmpty())
        return ca == cb;
    return QDir::cleanPath(fa.absoluteFilePath()) == QDir::cleanPath(fb.absoluteFilePath());
}

int CDebugBreakpointList::ShownLine(const CDebugBreakpoint &bp)
{
    return bp.state == CDebugBreakpoint::State::Moved && bp.nActualLine > 0 ? bp.nActualLine : bp.nLine;
}

void CDebugBreakpointList::Assign(const QList<CDebugBreakpoint> &list)
{
    m_list.clear();
    for (const CDebugBreakpoint &bp : list)
        Add(bp);
}

int CDebugBreakpointList::IndexOf(const QString &strFile, int nLine) const
{
    // The line the user gave wins over a line another breakpoint was moved to.
    for (int i = 0; i < m_list.size(); ++i)
        if (m_list[i].nLine == nLine && SamePath(m_list[i].strFile, strFile))
            return i;
    for (int i = 0; i < m_list.size(); ++i)
        if (ShownLine(m_list[i]) == nLine && SamePath(m_list[i].strFile, strFile))
            return i;
    return -1;
}

const CDebugBreakpoint *CDebugBreakpointList::At(const QString &strFile, int nLine) const
{
    const int i = IndexOf(strFile, nLine);
    return i >= 0 ? &m_list[i] : nullptr;
}

void CDebugBreakpointList::Add(const CDebugBreakpoint &bp)
{
    if (bp.nLine < 1 || bp.strFile.isEmpty())
        return;
    for (const CDebugBreakpoint &have : m_list)
        if (have.nLine == bp.nLine && SamePath(have.strFile, bp.strFile))
            return;
    m_list.append(bp);
}

bool CDebugBreakpointList::Toggle(const QString &strFile, int nLine, CDebugBreakpoint *pBreakpoint)
{
    CDebugBreakpoint removed;
    if (Remove(strFile, nLine, &removed)) {
        if (pBreakpoint)
            *pBreakpoint = removed;
        return false;
    }
    CDebugBreakpoint bp;
    bp.strFile = strFile;
    bp.nLine = nLine;
    Add(bp);
    if (pBreakpoint)
        *pBreakpoint = bp;
    return true;
}

bool CDebugBreakpointList::Remove(const QString &strFile, int nLine, CDebugBreakpoint *pRemoved)
{
    const int i = IndexOf(strFile, nLine);
    if (i < 0)
        return false;
    if (pRemoved)
        *pRemoved = m_list[i];
    m_list.removeAt(i);
    return true;
}

bool CDebugBreakpointList::Update(const CDebugBreakpoint &bp)
{
    for (CDebugBreakpoint &have : m_list) {
        if (have.nLine == bp.nLine && SamePath(have.strFile, bp.strFile)) {
            // The file name stays as the user's side spelled it, so that look-ups by it hold.
            const QString file = have.strFile;
            have = bp;
            have.strFile = file;
            return true;
        }
    }
    return false;
}

QList<CDebugBreakpoint> CDebugBreakpointList::InFile(const QString &strFile) const
{
    QList<CDebugBreakpoint> list;
    for (const CDebugBreakpoint &bp : m_list)
        if (SamePath(bp.strFile, strFile))
            list << bp;
    return list;
}
