#pragma once

#include <QByteArray>
#include <QtGlobal>

// The memory limit of an output pane. Past its limit a pane drops its oldest output
// down to half the limit at once, so that trimming stays rare under a flood, and opens
// with a note that says how much went.
class COutputLimit
{
public:
    // How many bytes to drop from the front of nLength bytes that have grown past nMax.
    static qint64 DropCount(qint64 nLength, qint64 nMax) { return nLength - nMax / 2; }
    // The line that opens a pane whose oldest output was dropped, line end included.
    static QByteArray DroppedNote(qint64 nDroppedBytes);
};
