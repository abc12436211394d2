#include "editor/LineCommands.h"

#include <algorithm>

namespace {

struct CLine
{
    qsizetype nStart = 0; // first byte
    qsizetype nEnd = 0;   // where the line end (or the text) starts
    qsizetype nNext = 0;  // first byte of the next line
};

bool IsEol(char c) { return c == '\n' || c == '\r'; }

CLine LineAt(const QByteArray &text, qsizetype pos)
{
    pos = std::clamp<qsizetype>(pos, 0, text.size());
    // Between the CR and the LF of one line end is still the line the end belongs to.
    if (pos > 0 && pos < text.size() && text[pos - 1] == '\r' && text[pos] == '\n')
        --pos;
    CLine line;
    line.nStart = pos;
    while (line.nStart > 0 && !IsEol(text[line.nStart - 1]))
        --line.nStart;
    line.nEnd = pos;
    while (line.nEnd < text.size() && !IsEol(text[line.nEnd]))
        ++line.nEnd;
    line.nNext = line.nEnd;
    if (line.nNext < text.size()) {
        line.nNext += (text[line.nNext] == '\r' && line.nNext + 1 < text.size() && text[line.nNext + 1] == '\n')
                          ? 2
                          : 1;
    }
    return line;
}

// The line before the one that starts at nStart (which is not 0).
CLine LineBefore(const QByteArray &text, qsizetype nStart)
{
    qsizetype end = nStart - 1;
    if (end > 0 && text[end] == '\n' && text[end - 1] == '\r')
        --end;
    return LineAt(text, end);
}

// The lines the selection touches, top to bottom.
QVector<CLine> SelectedLines(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret)
{
    const qsizetype lo = std::min(nAnchor, nCaret);
    const qsizetype hi = std::max(nAnchor, nCaret);
    const CLine first = LineAt(text, lo);
    CLine last = LineAt(text, hi);
    if (hi > lo && hi == last.nStart && last.nStart > first.nStart)
        last = LineBefore(text, last.nStart);
    QVector<CLine> lines{first};
    while (lines.last().nStart < last.nStart)
        lines.append(LineAt(text, lines.last().nNext));
    return lines;
}

qsizetype LeadingBlanks(const QByteArray &text, const CLine &line)
{
    qsizetype n = line.nStart;
    while (n < line.nEnd && (text[n] == ' ' || text[n] == '\t'))
        ++n;
    return n - line.nStart;
}

// Where a position goes when the changes are made. A position right where bytes are
// inserted stays before them when it sticks to what precedes it (the start of a
// selection that holds whole lines), and goes after them otherwise.
qsizetype MapPosition(qsizetype pos, const QVector<CLineCommands::Change> &changes, bool bStickBefore)
{
    qsizetype delta = 0;
    for (const CLineCommands::Change &c : changes) {
        if (pos < c.nFrom || (pos == c.nFrom && (c.nLength > 0 || bStickBefore)))
            break;
        if (pos < c.nFrom + c.nLength)
            return c.nFrom + delta;
        delta += c.insert.size() - c.nLength;
    }
    return pos + delta;
}

// The result of changes made line by line, the selection following the text.
CLineCommands::Result PerLine(QVector<CLineCommands::Change> changes, qsizetype nAnchor, qsizetype nCaret)
{
    CLineCommands::Result result;
    const bool empty = nAnchor == nCaret;
    const bool anchorFirst = nAnchor <= nCaret;
    result.nAnchor = MapPosition(nAnchor, changes, !empty && anchorFirst);
    result.nCaret = MapPosition(nCaret, changes, !empty && !anchorFirst);
    result.changes = std::move(changes);
    return result;
}

QByteArray FirstLineEnd(const QByteArray &text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n')
            return QByteArrayLiteral("\n");
        if (text[i] == '\r')
            return i + 1 < text.size() && text[i + 1] == '\n' ? QByteArrayLiteral("\r\n") : QByteArrayLiteral("\r");
    }
    return QByteArrayLiteral("\n");
}

qsizetype CountLines(const QByteArray &text)
{
    qsizetype count = 1;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')))
            ++count;
    }
    return count;
}

// A text that mixes lone CRs with LFs can have a CR end up right before an LF, which
// makes two lines one; a command that would do that does nothing instead. Only the
// stretch the changes touch, and a byte either side, is counted, so a long text costs
// no more than a short one.
CLineCommands::Result Guarded(const QByteArray &text, CLineCommands::Result result, qsizetype nNewLines,
                              qsizetype nAnchor, qsizetype nCaret)
{
    if (result.changes.isEmpty())
        return result;
    const qsizetype from = std::max<qsizetype>(0, result.changes.first().nFrom - 1);
    const CLineCommands::Change &lastChange = result.changes.last();
    const qsizetype to = std::min(text.size(), lastChange.nFrom + lastChange.nLength + 1);
    QVector<CLineCommands::Change> local = result.changes;
    for (CLineCommands::Change &c : local)
        c.nFrom -= from;
    const QByteArray before = text.mid(from, to - from);
    if (CountLines(CLineCommands::Apply(before, local)) != CountLines(before) + nNewLines) {
        result.changes.clear();
        result.nAnchor = nAnchor;
        result.nCaret = nCaret;
    }
    return result;
}

} // namespace

CLineCommands::Result CLineCommands::ToggleComment(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret)
{
    const QVector<CLine> lines = SelectedLines(text, nAnchor, nCaret);
    QVector<CLine> targets;
    for (const CLine &line : lines) {
        if (LeadingBlanks(text, line) < line.nEnd - line.nStart)
            targets.append(line);
    }
    const bool anyText = !targets.isEmpty();
    if (!anyText)
        targets = lines;
    const bool allCommented = anyText && std::all_of(targets.begin(), targets.end(), [&](const CLine &line) {
        return text[line.nStart + LeadingBlanks(text, line)] == '#';
    });
    QVector<Change> changes;
    if (allCommented) {
        for (const CLine &line : targets) {
            const qsizetype at = line.nStart + LeadingBlanks(text, line);
            const qsizetype length = at + 1 < line.nEnd && text[at + 1] == ' ' ? 2 : 1;
            changes.append(Change{at, length, QByteArray()});
        }
    } else {
        qsizetype column = LeadingBlanks(text, targets.first());
        for (const CLine &line : targets)
            column = std::min(column, LeadingBlanks(text, line));
        for (const CLine &line : targets)
            changes.append(Change{line.nStart + column, 0, QByteArrayLiteral("# ")});
    }
    return Guarded(text, PerLine(std::move(changes), nAnchor, nCaret), 0, nAnchor, nCaret);
}

CLineCommands::Result CLineCommands::MoveLines(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret, bool bUp)
{
    const QVector<CLine> block = SelectedLines(text, nAnchor, nCaret);
    Result result{{}, nAnchor, nCaret};
    // The lines of the region that changes, and their new order.
    QVector<CLine> region;
    if (bUp) {
        if (block.first().nStart == 0)
            return result;
        region.append(LineBefore(text, block.first().nStart));
        region += block;
    } else {
        if (block.last().nNext == block.last().nEnd)
            return result;
        region = block;
        region.append(LineAt(text, block.last().nNext));
    }
    QVector<int> order;
    const int n = int(block.size());
    const int firstNew = bUp ? 0 : 1; // where the block's first line lands
    if (bUp) {
        for (int i = 1; i <= n; ++i)
            order.append(i);
        order.append(0);
    } else {
        order.append(n);
        for (int i = 0; i < n; ++i)
            order.append(i);
    }
    // Each line end stays at its place in the region, whatever line comes before it.
    const qsizetype regionStart = region.first().nStart;
    QByteArray moved;
    QVector<qsizetype> newStarts;
    for (int i = 0; i < region.size(); ++i) {
        newStarts.append(regionStart + moved.size());
        const CLine &from = region[order[i]];
        moved += text.mid(from.nStart, from.nEnd - from.nStart);
        moved += text.mid(region[i].nEnd, region[i].nNext - region[i].nEnd);
    }
    newStarts.append(regionStart + moved.size());
    result.changes.append(Change{regionStart, region.last().nNext - regionStart, moved});
    // The selection stays on the same characters of the moved lines.
    auto map = [&](qsizetype pos) {
        for (int k = 0; k < n; ++k) {
            if (pos >= block[k].nStart && (pos < block[k].nNext || k == n - 1))
                return std::min(newStarts[firstNew + k] + (pos - block[k].nStart), newStarts[firstNew + k + 1]);
        }
        return pos;
    };
    result.nAnchor = map(nAnchor);
    result.nCaret = map(nCaret);
    return Guarded(text, result, 0, nAnchor, nCaret);
}

CLineCommands::Result CLineCommands::DuplicateLines(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret)
{
    const QVector<CLine> block = SelectedLines(text, nAnchor, nCaret);
    const CLine &last = block.last();
    QByteArray copy;
    if (last.nNext > last.nEnd)
        copy = text.mid(block.first().nStart, last.nNext - block.first().nStart);
    else
        copy = FirstLineEnd(text) + text.mid(block.first().nStart, last.nEnd - block.first().nStart);
    Result result;
    result.changes.append(Change{last.nNext, 0, copy});
    result.nAnchor = nAnchor + copy.size();
    result.nCaret = nCaret + copy.size();
    return Guarded(text, result, block.size(), nAnchor, nCaret);
}

CLineCommands::Result CLineCommands::Indent(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret,
                                            const QByteArray &strUnit)
{
    const QVector<CLine> lines = SelectedLines(text, nAnchor, nCaret);
    QVector<Change> changes;
    if (!strUnit.isEmpty()) {
        for (const CLine &line : lines) {
            if (line.nEnd > line.nStart || lines.size() == 1)
                changes.append(Change{line.nStart, 0, strUnit});
        }
    }
    return Guarded(text, PerLine(std::move(changes), nAnchor, nCaret), 0, nAnchor, nCaret);
}

CLineCommands::Result CLineCommands::Outdent(const QByteArray &text, qsizetype nAnchor, qsizetype nCaret, int nWidth)
{
    const QVector<CLine> lines = SelectedLines(text, nAnchor, nCaret);
    QVector<Change> changes;
    for (const CLine &line : lines) {
        qsizetype n = 0;
        if (line.nStart < line.nEnd && text[line.nStart] == '\t') {
            n = 1;
        } else {
            while (n < nWidth && line.nStart + n < line.nEnd && text[line.nStart + n] == ' ')
                ++n;
            if (n < nWidth && line.nStart + n < line.nEnd && text[line.nStart + n] == '\t')
                ++n;
        }
        if (n > 0)
            changes.append(Change{line.nStart, n, QByteArray()});
    }
    return Guarded(text, PerLine(std::move(changes), nAnchor, nCaret), 0, nAnchor, nCaret);
}

QByteArray CLineCommands::Apply(const QByteArray &text, const QVector<Change> &changes)
{
    QByteArray out;
    out.reserve(text.size());
    qsizetype at = 0;
    for (const Change &c : changes) {
        out += text.mid(at, c.nFrom - at);
        out += c.insert;
        at = c.nFrom + c.nLength;
    }
    out += text.mid(at);
    return out;
}
