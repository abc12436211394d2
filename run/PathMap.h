#pragma once

#include <QList>
#include <QPair>
#include <QString>

// Where the files a program names are on this workstation, when the program does not
// run here: a program on a server names its script and modules by the server's paths.
// Every message and position that names a path goes through one map, in both ways.
// A file entry maps that file; a folder entry maps the files below it that exist on
// both sides (a module only the server has keeps its server path).
class CPathMap
{
public:
    void AddFile(const QString &strRemote, const QString &strLocal);
    void AddFolder(const QString &strRemote, const QString &strLocal);
    bool IsEmpty() const { return m_files.isEmpty() && m_folders.isEmpty(); }

    // The local path of a path the program named; the path itself when none is known.
    QString ToLocal(const QString &strRemote) const;
    // The program's path of a local file; the path itself when none is known.
    QString ToRemote(const QString &strLocal) const;

private:
    static QString Below(const QString &strPath, const QString &strFolder);

    QList<QPair<QString, QString>> m_files;    // remote, local
    QList<QPair<QString, QString>> m_folders;  // remote, local; without a trailing slash
};
