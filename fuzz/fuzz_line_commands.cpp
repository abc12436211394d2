// The line commands over any bytes and any selection: every change lies inside the text
// and after the one before, the selection stays inside the changed text, a move up
// undone by a move down gives the text back, and so does a comment toggled off again.
#include "editor/LineCommands.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>

namespace {

void Check(const QByteArray &text, const CLineCommands::Result &r)
{
    qsizetype end = 0;
    for (const CLineCommands::Change &c : r.changes) {
        if (c.nFrom < end || c.nLength < 0 || c.nFrom + c.nLength > text.size())
            std::abort();
        end = c.nFrom + c.nLength;
    }
    const qsizetype size = CLineCommands::Apply(text, r.changes).size();
    if (r.nAnchor < 0 || r.nAnchor > size || r.nCaret < 0 || r.nCaret > size)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 3)
        return 0;
    const QByteArray text(reinterpret_cast<const char *>(data + 3), qsizetype(size - 3));
    const qsizetype anchor = text.isEmpty() ? 0 : data[0] % (text.size() + 1);
    const qsizetype caret = text.isEmpty() ? 0 : data[1] % (text.size() + 1);
    // A position between the CR and the LF of a line end is none the editor gives.
    auto inside = [&](qsizetype p) { return p > 0 && p < text.size() && text[p - 1] == '\r' && text[p] == '\n'; };
    if (inside(anchor) || inside(caret))
        return 0;
    switch (data[2] % 6) {
    case 0: {
        const CLineCommands::Result r = CLineCommands::ToggleComment(text, anchor, caret);
        Check(text, r);
        if (!r.changes.isEmpty() && r.changes.first().nLength == 0) {
            const QByteArray commented = CLineCommands::Apply(text, r.changes);
            const CLineCommands::Result back = CLineCommands::ToggleComment(commented, r.nAnchor, r.nCaret);
            Check(commented, back);
            if (CLineCommands::Apply(commented, back.changes) != text)
                std::abort();
        }
        break;
    }
    case 1:
    case 2: {
        const bool up = data[2] % 6 == 1;
        const CLineCommands::Result r = CLineCommands::MoveLines(text, anchor, caret, up);
        Check(text, r);
        const QByteArray moved = CLineCommands::Apply(text, r.changes);
        // A selection ending at the end of the text cannot say whether it holds the empty
        // last line there, so the way back may take one line fewer.
        const bool ambiguous = std::max(r.nAnchor, r.nCaret) == moved.size() && r.nAnchor != r.nCaret;
        if (!r.changes.isEmpty() && !ambiguous) {
            const CLineCommands::Result back = CLineCommands::MoveLines(moved, r.nAnchor, r.nCaret, !up);
            Check(moved, back);
            if (CLineCommands::Apply(moved, back.changes) != text)
                std::abort();
        }
        break;
    }
    case 3: Check(text, CLineCommands::DuplicateLines(text, anchor, caret)); break;
    case 4: Check(text, CLineCommands::Indent(text, anchor, caret, "  ")); break;
    default: Check(text, CLineCommands::Outdent(text, anchor, caret, 4)); break;
    }
    return 0;
}
