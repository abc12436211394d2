#pragma once

#include <QString>
#include <QStringView>

// Whether the remote side waits for a secret: its last output line asks for a password
// or a passphrase ("Password:", "[sudo] password for kestrel: ", "Enter passphrase
// for key '/home/u/.ssh/id_ed25519': "), as `read -s`, sudo, su, passwd and ssh ask.
// The shell window then takes the line typed next for a secret: it is hidden while
// typed, and neither kept in the command box nor in its history. Fed with the text
// received, it keeps only the last line, so a flood costs nothing.
class CPasswordPrompt
{
public:
    // The line (without its line end) asks for a secret: trailing blanks aside, it ends
    // in a colon and names a password, passphrase or passcode, or it ends in one of
    // those words. Any case.
    static bool IsPrompt(QStringView line);

    // Text received, appended to what came before.
    void Feed(QStringView text);
    // Nothing shown any more (the output was cleared or replaced).
    void Reset() { m_strLastLine.clear(); }
    // The last line received asks for a secret.
    bool IsAsking() const { return IsPrompt(m_strLastLine); }

private:
    // The end of the last line: enough for any prompt.
    static constexpr qsizetype kMaxKept = 256;
    QString m_strLastLine;
};
