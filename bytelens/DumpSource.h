#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>

// The bytes behind a listing shown in the dialog. A file that can be read at any
// position stays open and is read a block at a time as lines are needed, so a file of
// any size shows at once; a stream (a pipe, a /proc file) is read whole when dumped.
// Lines are formatted on demand and are the same as the whole listing's lines.
class CDumpSource
{
public:
    // Null when the file can't be opened; `pstrError` gets the reason.
    static std::unique_ptr<CDumpSource> Open(const QString &strPath, QString *pstrError = nullptr);
    static std::unique_ptr<CDumpSource> FromBytes(const QByteArray &bytes);

    uint64_t Size() const { return m_nSize; }
    uint64_t LineCount() const;

    // One line of the listing without its "\r\n", as bytes. Lines past what could be
    // read come back empty.
    QByteArray Line(uint64_t nLine);
    // Its length in characters, without reading the file.
    int LineLength(uint64_t nLine) const;

    // The listing's characters from (line, column) up to (line, column), the line
    // breaks included as "\r\n".
    QByteArray Text(uint64_t nFromLine, int nFromCol, uint64_t nToLine, int nToCol);

    // The first read failure, empty while every read worked.
    const QString &ErrorString() const { return m_strError; }

    // The listing's bytes as the characters a user sees: 128..255 are the ANSI
    // (Windows-1252) characters of those codes.
    static QString ToDisplay(const QByteArray &bytes);

private:
    CDumpSource() = default;
    // Up to 16 bytes of line `nLine` into `out`; the count read.
    int ReadLine(uint64_t nLine, unsigned char *out);
    bool LoadBlock(uint64_t nBlock);

    static constexpr int kBlockSize = 64 * 1024;
    // A stream has no size to show lazily; one without an end must not fill the memory.
    static constexpr qint64 kMaxStream = qint64(256) << 20;

    QFile m_file;
    bool m_bInMemory = false;
    QByteArray m_baBytes;
    uint64_t m_nSize = 0;
    int64_t m_nBlock = -1;
    QByteArray m_baBlock;
    QString m_strError;
};
