#pragma once

#include "run/OutputWindowDlg.h"

#include <QApplication>
#include <QSignalSpy>
#include <QTimer>

#include <functional>

// How the run tests meet the modal output window: found among the top-level windows
// while the run's own event loop turns.

// The output window that is open, if any.
inline COutputWindowDlg *OpenOutputWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *d = qobject_cast<COutputWindowDlg *>(w); d && d->isVisible())
            return d;
    return nullptr;
}

// Once the run's window is open and the run is over, `act` does what the user does
// there; the window is closed after it unless `act` closed it.
inline void WhenRunIsOver(std::function<void(COutputWindowDlg *)> act)
{
    QTimer::singleShot(20, [act] {
        COutputWindowDlg *wnd = OpenOutputWindow();
        if (!wnd) {
            WhenRunIsOver(act);
            return;
        }
        if (!wnd->IsRunOver()) {
            QSignalSpy spy(wnd, &COutputWindowDlg::RunOver);
            spy.wait(120000);
        }
        act(wnd);
        if (wnd->isVisible())
            wnd->OnClose();
    });
}
