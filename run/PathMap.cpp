#include "run/PathMap.h"

#include <QDir>
#include <QFileInfo>

namespace {
QString Folder(const QString &strPath)
{
    QString folder = QDir::cleanPath(strPath);
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}
} // namespace

void CPathMap::AddFile(const QString &strRemote, const QString &strLocal)
{
    m_files.append({QDir::cleanPath(strRemote), strLocal});
}

void CPathMap::AddFolder(const QString &strRemote, const QString &strLocal)
{
    m_folders.append({Folder(strRemote), Folder(strLocal)});
}

QString CPathMap::Below(const QString &strPath, const QString &strFolder)
{
    // The rest of the path below the folder, or a null string when it is not below.
    if (strFolder == QLatin1String("/"))
        return strPath.startsWith(QLatin1Char('/')) ? strPath.mid(1) : QString();
    if (strPath.size() > strFolder.size() + 1 && strPath.startsWith(strFolder)
        && strPath.at(strFolder.size()) == QLatin1Char('/'))
        return strPath.mid(strFolder.size() + 1);
    return QString();
}

QString CPathMap::ToLocal(const QString &strRemote) const
{
    const QString path = QDir::cleanPath(strRemote);
    for (const auto &file : m_files)
        if (file.first == path)
            return file.second;
    for (const auto &folder : m_folders) {
        const QString rest = Below(path, folder.first);
        if (rest.isNull())
            continue;
        const QString local = folder.second + QLatin1Char('/') + rest;
        if (QFileInfo(local).isFile())
            return local;
    }
    return strRemote;
}

QString CPathMap::ToRemote(const QString &strLocal) const
{
    const QString path = QDir::cleanPath(strLocal);
    for (const auto &file : m_files)
        if (QDir::cleanPath(file.second) == path)
            return file.first;
    for (const auto &folder : m_folders) {
        const QString rest = Below(path, folder.second);
        if (!rest.isNull())
            return folder.first + (folder.first.endsWith(QLatin1Char('/')) ? QString() : QStringLiteral("/")) + rest;
    }
    return strLocal;
}
