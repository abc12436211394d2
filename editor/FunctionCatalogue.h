#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// One function of the catalogue. The fields keep the file's bytes, so a template
// goes into the editor exactly as the file holds it whatever its encoding.
struct CFunctionEntry
{
    QByteArray baName;
    QByteArray baDescription;
    QByteArray baTemplate;
};

// Reads the function catalogue (KESTREL.FNL): one function a line, "name,description,
// template". The name ends at the first comma, the description at the second; the
// template is the rest, commas included. A line with one comma has an empty
// description and the whole line as its template. A line without a comma, or whose
// first character is the comma, is skipped. Lines end in LF or CR LF.
class CFunctionCatalogue
{
public:
    // False when the line is skipped.
    static bool ParseLine(const char *pLine, qsizetype nLength, CFunctionEntry &entry);
    static QVector<CFunctionEntry> Parse(const QByteArray &data);
    // False when the file can't be opened or read; entries are then left empty.
    static bool Read(const QString &strPath, QVector<CFunctionEntry> &entries);
};
