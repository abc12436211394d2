#include "server/FtpTransfer.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QSaveFile>

QByteArray CFtpTransfer::ToNativeText(const QByteArray &text)
{
#ifdef Q_OS_WIN
    const QByteArray eol = "\r\n";
#else
    const QByteArray eol = "\n";
#endif
    QByteArray out;
    out.reserve(text.size() + text.size() / 32 + 2);
    int start = 0;
    while (start < text.size()) {
        int end = text.indexOf('\n', start);
        int next = end < 0 ? text.size() : end + 1;
        if (end < 0)
            end = text.size();
        int lineEnd = end;
        if (lineEnd > start && text[lineEnd - 1] == '\r' && end < text.size())
            --lineEnd;
        out.append(text.constData() + start, lineEnd - start);
        out += eol;
        start = next;
    }
    return out;
}

CFtpResult CFtpTransfer::LoadBytes(CFtpConnection &connection, const QString &strName, int nType, QByteArray &data)
{
    QByteArray received;
    QBuffer buffer(&received);
    buffer.open(QIODevice::WriteOnly);
    CFtpResult result = connection.Retrieve(strName, nType, buffer);
    if (result)
        data = nType == CFtpConnection::TYPE_ASCII ? ToNativeText(received) : received;
    return result;
}

CFtpResult CFtpTransfer::LoadToFile(CFtpConnection &connection, const QString &strName, int nType,
                                    const QString &strLocalPath)
{
    if (!CFtpConnection::IsPlainFileName(strName))
        return CFtpResult::Fail(QStringLiteral("The name \"%1\" is not a plain file name on the server.").arg(strName));
    QSaveFile file(strLocalPath);
    // Unbuffered: QSaveFile's own buffer is flushed at commit without noticing a
    // failed write, and a full disk would then leave an empty file reported as loaded.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return CFtpResult::Fail(QStringLiteral("Cannot write file %1:\n%2.")
                                    .arg(QDir::toNativeSeparators(strLocalPath), file.errorString()));
    CFtpResult result;
    if (nType == CFtpConnection::TYPE_ASCII) {
        QByteArray text;
        result = LoadBytes(connection, strName, nType, text);
        if (result && file.write(text) != text.size())
            result = CFtpResult::Fail(QStringLiteral("Cannot write file %1:\n%2.")
                                          .arg(QDir::toNativeSeparators(strLocalPath), file.errorString()));
    } else {
        result = connection.Retrieve(strName, nType, file);
    }
    if (!result) {
        file.cancelWriting();
        return result;
    }
    if (!file.commit())
        return CFtpResult::Fail(QStringLiteral("Cannot write file %1:\n%2.")
                                    .arg(QDir::toNativeSeparators(strLocalPath), file.errorString()));
    return result;
}

namespace {

CFtpResult OpenToRead(QFile &file)
{
    if (file.fileName().isEmpty())
        return CFtpResult::Fail(QStringLiteral("The document has not been saved to a file yet."));
    if (!file.open(QIODevice::ReadOnly))
        return CFtpResult::Fail(QStringLiteral("Cannot read file %1:\n%2.")
                                    .arg(QDir::toNativeSeparators(file.fileName()), file.errorString()));
    return CFtpResult::Ok();
}

} // namespace

CFtpResult CFtpTransfer::CheckReadable(const QString &strLocalPath)
{
    QFile file(strLocalPath);
    return OpenToRead(file);
}

CFtpResult CFtpTransfer::PutFile(CFtpConnection &connection, const QString &strLocalPath, const QString &strName,
                                 int nType)
{
    QFile file(strLocalPath);
    if (CFtpResult opened = OpenToRead(file); !opened)
        return opened;
    CFtpResult result = connection.Store(file, strName, nType);
    // The server writes the file in place, so what it got so far is there now.
    if (!result && connection.BytesDone() > 0)
        result.m_strReason += QStringLiteral("\nThe file on the server may be incomplete.");
    return result;
}

QString CFtpTransfer::LocalPathFor(const QString &strDir, const QString &strName)
{
    return QDir(strDir.isEmpty() ? QDir::currentPath() : strDir).absoluteFilePath(strName);
}
