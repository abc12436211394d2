#include "bytelens/DumpCommand.h"

#include "bytelens/DumpListing.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

void Report(std::FILE *err, const QString &strMessage)
{
    std::fprintf(err, "bytelens: %s\n", strMessage.toLocal8Bit().constData());
    std::fflush(err);
}

} // namespace

int RunDumpCommand(const QString &strPath, std::FILE *out, std::FILE *err)
{
#ifdef _WIN32
    // The listing carries its own "\r\n"; text mode would double the carriage returns.
    _setmode(_fileno(out), _O_BINARY);
#endif
    const QString name = QDir::toNativeSeparators(strPath);
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        Report(err, QStringLiteral("Cannot open file %1: %2.").arg(name, file.errorString()));
        return 1;
    }
    QString writeError;
    auto write = [out, &writeError](const QByteArray &piece) {
        if (std::fwrite(piece.constData(), 1, size_t(piece.size()), out) == size_t(piece.size()))
            return true;
        writeError = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    };
    QString readError;
    bool ok = DumpListing::Stream(file, write, &readError);
    if (ok && std::fflush(out) != 0) {
        writeError = QString::fromLocal8Bit(std::strerror(errno));
        ok = false;
    }
    if (ok)
        return 0;
    if (!writeError.isEmpty())
        Report(err, QStringLiteral("Cannot write the listing of %1: %2.").arg(name, writeError));
    else
        Report(err, QStringLiteral("Cannot read file %1: %2.").arg(name, readError));
    return 1;
}
