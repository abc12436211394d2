#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

#include <functional>

// The shortest of a few runs of the same work, in seconds (-1 when one run failed): on a
// shared machine the best round is the one least disturbed by others.
inline double BestOfRounds(int nRounds, const std::function<bool()> &run)
{
    double best = 1e9;
    for (int i = 0; i < nRounds; ++i) {
        QElapsedTimer t;
        t.start();
        if (!run())
            return -1;
        best = qMin(best, t.nsecsElapsed() / 1e9);
    }
    return best;
}
