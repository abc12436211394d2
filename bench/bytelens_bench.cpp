// `bytelens --dump` of a 200 MB file against `xxd` of the same file, both writing to
// /dev/null, best of three runs each; and the dumper's peak memory, which must not
// grow with the file.
#include <QByteArray>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

extern char **environ;

namespace {

struct CResult
{
    double dSeconds = -1;
    long nMaxRssKb = 0;
};

CResult RunOnce(const std::vector<QByteArray> &args)
{
    std::vector<char *> argv;
    for (const QByteArray &a : args)
        argv.push_back(const_cast<char *>(a.constData()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    CResult result;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        struct rusage usage = {};
        if (wait4(pid, &status, 0, &usage) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            result.dSeconds = double(timer.nsecsElapsed()) / 1e9;
            result.nMaxRssKb = usage.ru_maxrss;
        }
    }
    posix_spawn_file_actions_destroy(&actions);
    return result;
}

CResult Best(const std::vector<QByteArray> &args)
{
    CResult best;
    for (int i = 0; i < 3; ++i) {
        CResult r = RunOnce(args);
        if (r.dSeconds < 0)
            return r;
        if (best.dSeconds < 0 || r.dSeconds < best.dSeconds)
            best.dSeconds = r.dSeconds;
        best.nMaxRssKb = std::max(best.nMaxRssKb, r.nMaxRssKb);
    }
    return best;
}

bool WriteFile(const QString &path, qint64 nSize)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    QByteArray block(1 << 20, Qt::Uninitialized);
    unsigned x = 1;
    for (char &c : block) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 16);
    }
    for (qint64 written = 0; written < nSize; written += block.size())
        if (f.write(block.constData(), std::min<qint64>(block.size(), nSize - written)) < 0)
            return false;
    return true;
}

} // namespace

int main()
{
    const QString xxd = QStandardPaths::findExecutable(QStringLiteral("xxd"));
    if (xxd.isEmpty()) {
        std::puts("bytelens --dump: skipped (xxd is not installed)");
        return 0;
    }
    QTemporaryDir dir;
    const qint64 small = qint64(20) << 20;
    const qint64 large = qint64(200) << 20;
    const QString smallFile = dir.filePath(QStringLiteral("20MB.bin"));
    const QString largeFile = dir.filePath(QStringLiteral("200MB.bin"));
    if (!WriteFile(smallFile, small) || !WriteFile(largeFile, large)) {
        std::puts("bytelens --dump: failed to write the test files");
        return 1;
    }
    const QByteArray bytelens = KESTREL_BIN_DIR "/bytelens";
    const CResult ours = Best({bytelens, "--dump", largeFile.toLocal8Bit()});
    const CResult theirs = Best({xxd.toLocal8Bit(), largeFile.toLocal8Bit()});
    const CResult oursSmall = Best({bytelens, "--dump", smallFile.toLocal8Bit()});
    if (ours.dSeconds < 0 || theirs.dSeconds < 0 || oursSmall.dSeconds < 0) {
        std::puts("bytelens --dump: a run failed");
        return 1;
    }
    std::printf("bytelens --dump 200 MB: %.3f s (%.2f x xxd)\n", ours.dSeconds, ours.dSeconds / theirs.dSeconds);
    std::printf("xxd 200 MB: %.3f s\n", theirs.dSeconds);
    std::printf("bytelens --dump 200 MB throughput: %.0f MB/s (%.2f x xxd)\n", 200 / ours.dSeconds,
                theirs.dSeconds / ours.dSeconds);
    std::printf("bytelens --dump peak memory, 200 MB file: %ld kB (%.2f x the 20 MB file's)\n", ours.nMaxRssKb,
                double(ours.nMaxRssKb) / double(std::max(1L, oursSmall.nMaxRssKb)));
    return 0;
}
