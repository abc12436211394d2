#pragma once

#include <QByteArray>

// Removes what a terminal would interpret rather than show from a shell's output:
// escape sequences (colours, cursor moves, bracketed-paste switches, window titles)
// and control characters other than tab and line feed. All printable text is kept.
// The state carries over between blocks, so a sequence split across two blocks is
// removed whole.
class CTerminalText
{
public:
    // Appends the printable part of the block to `out`.
    void Process(const char *data, qsizetype n, QByteArray &out);
    void Process(const QByteArray &block, QByteArray &out) { Process(block.constData(), block.size(), out); }

    void Reset() { *this = CTerminalText(); }

private:
    enum class State {
        Text,
        Escape,        // after ESC
        EscIntermediate, // ESC followed by intermediate bytes, waiting for the final byte
        Csi,           // ESC [ parameters and intermediates, waiting for the final byte
        String,        // OSC, DCS, SOS, PM, APC: up to BEL or ST
        StringEscape,  // ESC inside a string: ST when followed by '\'
    };

    static constexpr int kMaxStringBytes = 4096;

    State m_state = State::Text;
    int m_nStringBytes = 0;
};
