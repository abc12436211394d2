#include "server/FtpWorker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLocale>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <thread>

int CFtpWorker::s_nProgressDelayMs = 1000;

namespace {

// The wait of both Run variants. pump is called after every batch of events and
// returns the event flags for the next batch.
CFtpResult Wait(const CFtpWorker::Job &job, const std::function<QEventLoop::ProcessEventsFlags()> &pump)
{
    CFtpResult result;
    std::atomic<bool> done{false};
    QObject waker;
    std::thread worker([&] {
        result = job();
        done = true;
        // Wakes the waiting loop at once.
        QMetaObject::invokeMethod(&waker, [] {}, Qt::QueuedConnection);
    });
    // Ticks, so that pump runs and the wait sees the clock.
    QTimer tick;
    tick.setInterval(50);
    tick.start();
    while (!done) {
        QEventLoop::ProcessEventsFlags flags = pump();
        QCoreApplication::processEvents(flags | QEventLoop::WaitForMoreEvents);
    }
    worker.join();
    // The wake-up call may still be queued for the object about to go.
    QCoreApplication::removePostedEvents(&waker);
    return result;
}

} // namespace

CFtpResult CFtpWorker::Run(const Job &job, int nTickMs, const std::function<void()> &onTick)
{
    QElapsedTimer clock;
    clock.start();
    qint64 nextTick = nTickMs;
    return Wait(job, [&] {
        if (onTick && nTickMs > 0 && clock.elapsed() >= nextTick) {
            // From now, not from the missed tick: a question the job asked the user
            // held the loop, and that time is not the job's waiting.
            nextTick = clock.elapsed() + nTickMs;
            onTick();
        }
        return QEventLoop::ProcessEventsFlags(QEventLoop::ExcludeUserInputEvents);
    });
}

CFtpResult CFtpWorker::RunWithProgress(QWidget *parent, CFtpConnection &connection, const QString &strLabel,
                                       const Job &job)
{
    QElapsedTimer clock;
    clock.start();
    QPointer<QProgressDialog> dlg;
    bool cancelled = false;
    CFtpResult result = Wait(job, [&]() -> QEventLoop::ProcessEventsFlags {
        if (!dlg && !cancelled && clock.elapsed() >= s_nProgressDelayMs) {
            dlg = new QProgressDialog(strLabel, QObject::tr("Cancel"), 0, 0, parent);
            dlg->setObjectName(QStringLiteral("FtpProgressDlg"));
            dlg->setWindowTitle(QObject::tr("Kestrel"));
            dlg->setWindowModality(Qt::ApplicationModal);
            dlg->setMinimumDuration(0);
            dlg->setAutoClose(false);
            dlg->setAutoReset(false);
            dlg->setMinimumWidth(dlg->fontMetrics().horizontalAdvance(strLabel) + 80);
            dlg->show();
        }
        if (!dlg)
            return QEventLoop::ExcludeUserInputEvents;
        if (dlg->wasCanceled() && !cancelled) {
            cancelled = true;
            connection.Cancel();
        }
        qint64 done = connection.BytesDone();
        qint64 total = connection.BytesTotal();
        QLocale locale;
        if (total > 0) {
            // The bar counts kilobytes so that files over 2 GB fit its int range.
            dlg->setMaximum(int(qMax<qint64>(1, total / 1024)));
            dlg->setValue(int(qMin(done, total) / 1024));
            dlg->setLabelText(strLabel + QLatin1Char('\n')
                              + QObject::tr("%1 of %2 bytes").arg(locale.toString(done), locale.toString(total)));
        } else {
            dlg->setLabelText(strLabel + QLatin1Char('\n') + QObject::tr("%1 bytes").arg(locale.toString(done)));
        }
        return QEventLoop::AllEvents;
    });
    delete dlg;
    if (cancelled)
        connection.ResetCancel();
    return result;
}
