// The Class Dumper dialog's Dump of a 100 MB file, until the listing is painted,
// against the same for a 1 KB file: the time must not grow with the file.
#include "bytelens/BytelensDlg.h"
#include "bytelens/DumpView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

double BestDumpMs(CBytelensDlg &dlg, const QString &path)
{
    double best = -1;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        dlg.DumpFile(path);
        dlg.DumpView()->viewport()->repaint();
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        if (best < 0 || ms < best)
            best = ms;
        // Another file in between, so every run opens its file afresh.
        dlg.DumpFile(QStringLiteral("/dev/null"));
    }
    return best;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString large = dir.filePath(QStringLiteral("100MB.bin"));
    const QString small = dir.filePath(QStringLiteral("1KB.bin"));
    QFile f(large);
    if (!f.open(QIODevice::WriteOnly) || !f.resize(qint64(100) << 20)) {
        std::puts("Class Dumper dump: failed to write the test file");
        return 1;
    }
    f.close();
    QFile s(small);
    if (!s.open(QIODevice::WriteOnly) || s.write(QByteArray(1024, 'x')) != 1024) {
        std::puts("Class Dumper dump: failed to write the test file");
        return 1;
    }
    s.close();

    CBytelensDlg dlg;
    dlg.show();
    app.processEvents();
    const double smallMs = BestDumpMs(dlg, small);
    const double largeMs = BestDumpMs(dlg, large);
    std::printf("Class Dumper dump and paint, 100 MB file: %.2f ms (%.2f x a 1 KB file)\n", largeMs,
                largeMs / smallMs);
    return 0;
}
