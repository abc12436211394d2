#pragma once

#include <QByteArray>
#include <QString>

// Turns the bytes a server sends into text: UTF-8 where the bytes are UTF-8, and any
// other byte as the Latin-1 character of the same value, so that no received byte is
// lost or turned into a replacement mark (a server in an 8-bit character set stays
// readable). A character cut at the end of a block is completed by the next one.
class CTextDecoder
{
public:
    QString Decode(const QByteArray &block);
    // The bytes of a character that will not be completed any more (the connection
    // ended), each as its Latin-1 character.
    QString Flush();
    void Reset() { m_baPending.clear(); }

private:
    QByteArray m_baPending;  // the start of a character cut at the end of the last block
};
