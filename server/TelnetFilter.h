#pragma once

#include <QByteArray>

// Splits what a telnet server sends into the text to show and the answers to send back.
// Only the terminal-type option is agreed to (terminal type "ANSI"); every other option
// the server asks for or offers is refused. The filter keeps its state between blocks,
// so a sequence cut at the end of one block is completed by the next.
//
// Shown text follows the telnet line conventions: CR LF is a line end ("\n"), CR NUL a
// bare carriage return ("\r"), other NUL bytes are dropped and IAC IAC is one byte 255.
class CTelnetFilter
{
public:
    enum : unsigned char {
        IAC = 255,
        DONT = 254,
        DO = 253,
        WONT = 252,
        WILL = 251,
        SB = 250,
        IP = 244,
        SE = 240,
        OPT_TERMINAL_TYPE = 24,
        TT_IS = 0,
        TT_SEND = 1,
    };

    // Walks one received block: appends the text to show to `shown` and the answers to
    // send, in order, to `replies`.
    void Process(const char *data, qsizetype n, QByteArray &shown, QByteArray &replies);
    void Process(const QByteArray &block, QByteArray &shown, QByteArray &replies)
    {
        Process(block.constData(), block.size(), shown, replies);
    }

    // Forgets any half-received sequence; for a new connection.
    void Reset() { *this = CTelnetFilter(); }

    // The two bytes that ask the server to interrupt the running process.
    static QByteArray InterruptProcess();
    // The answer to IAC SB TERMINAL-TYPE SEND: IAC SB 24 IS "ANSI" IAC SE.
    static QByteArray TerminalTypeAnswer();

private:
    enum class State {
        Data,
        Cr,          // after CR in the data
        Iac,         // after IAC
        Option,      // after IAC DO/DONT/WILL/WONT, waiting for the option
        SubOption,   // after IAC SB, waiting for the option
        SubCommand,  // after IAC SB x, waiting for the subnegotiation code
    };

    State m_state = State::Data;
    unsigned char m_cmd = 0;
    unsigned char m_subOption = 0;
};
