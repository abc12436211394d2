#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVector>

// One entry of a server folder listing.
struct CFtpFileEntry
{
    QString m_strName;
    qint64 m_nSize = 0;
    QDateTime m_time; // invalid when the listing gave none
    bool m_bDirectory = false;
};

// Reads the reply of LIST in the two forms servers use: the Unix "ls -l" form and the
// DOS form ("12-31-20  10:15AM  <DIR>  name"). Lines of neither form (totals, blank
// lines, anything unknown) name no entry and are skipped.
class CFtpListParser
{
public:
    // nowUtc places dates that the listing gives without a year (Unix form, the last
    // six months) in the right year.
    static bool ParseLine(const QByteArray &line, const QDateTime &nowUtc, CFtpFileEntry &entry);
    static QVector<CFtpFileEntry> Parse(const QByteArray &listing, const QDateTime &nowUtc,
                                        int *pnSkipped = nullptr);

    // The Size and Modified Date columns of the browser.
    static QString FormatSize(const CFtpFileEntry &entry);
    static QString FormatDate(const CFtpFileEntry &entry);
};
