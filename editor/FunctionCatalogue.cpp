#include "editor/FunctionCatalogue.h"

#include <QFile>

#include <cstring>

bool CFunctionCatalogue::ParseLine(const char *pLine, qsizetype nLength, CFunctionEntry &entry)
{
    const char *end = pLine + nLength;
    const char *first = static_cast<const char *>(std::memchr(pLine, ',', size_t(nLength)));
    if (!first || first == pLine)
        return false;
    entry.baName = QByteArray(pLine, first - pLine);
    const char *second = static_cast<const char *>(std::memchr(first + 1, ',', size_t(end - first - 1)));
    if (!second) {
        entry.baDescription.clear();
        entry.baTemplate = QByteArray(pLine, nLength);
        return true;
    }
    entry.baDescription = QByteArray(first + 1, second - first - 1);
    entry.baTemplate = QByteArray(second + 1, end - second - 1);
    return true;
}

QVector<CFunctionEntry> CFunctionCatalogue::Parse(const QByteArray &data)
{
    QVector<CFunctionEntry> entries;
    const char *p = data.constData();
    const char *const end = p + data.size();
    while (p < end) {
        const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
        const char *lineEnd = nl ? nl : end;
        qsizetype length = lineEnd - p;
        if (length > 0 && p[length - 1] == '\r')
            --length;
        CFunctionEntry entry;
        if (ParseLine(p, length, entry))
            entries.append(std::move(entry));
        p = nl ? nl + 1 : end;
    }
    return entries;
}

bool CFunctionCatalogue::Read(const QString &strPath, QVector<CFunctionEntry> &entries)
{
    entries.clear();
    QFile file(strPath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray data = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return false;
    entries = Parse(data);
    return true;
}
