#include "server/TelnetFilter.h"

namespace {
void AppendBytes(QByteArray &out, std::initializer_list<unsigned char> bytes)
{
    for (unsigned char b : bytes)
        out.append(char(b));
}
}

QByteArray CTelnetFilter::InterruptProcess()
{
    QByteArray ba;
    AppendBytes(ba, {IAC, IP});
    return ba;
}

QByteArray CTelnetFilter::TerminalTypeAnswer()
{
    QByteArray ba;
    AppendBytes(ba, {IAC, SB, OPT_TERMINAL_TYPE, TT_IS, 'A', 'N', 'S', 'I', IAC, SE});
    return ba;
}

void CTelnetFilter::Process(const char *data, qsizetype n, QByteArray &shown, QByteArray &replies)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    const auto *end = p + n;
    while (p < end) {
        const unsigned char c = *p;
        switch (m_state) {
        case State::Data: {
            // Copy the run of plain bytes in one go; long answers are mostly plain text.
            const auto *run = p;
            while (run < end && *run != IAC && *run != '\r' && *run != 0)
                ++run;
            if (run != p) {
                shown.append(reinterpret_cast<const char *>(p), run - p);
                p = run;
                continue;
            }
            if (c == IAC)
                m_state = State::Iac;
            else if (c == '\r')
                m_state = State::Cr;
            ++p;
            break;
        }
        case State::Cr:
            if (c == '\n') {
                shown.append('\n');
                m_state = State::Data;
                ++p;
            } else if (c == 0) {
                shown.append('\r');
                m_state = State::Data;
                ++p;
            } else {
                // A bare CR followed by something else: keep both, look at the byte anew.
                shown.append('\r');
                m_state = State::Data;
            }
            break;
        case State::Iac:
            ++p;
            switch (c) {
            case IAC:
                shown.append(char(IAC));
                m_state = State::Data;
                break;
            case DO:
            case DONT:
            case WILL:
            case WONT:
                m_cmd = c;
                m_state = State::Option;
                break;
            case SB:
                m_state = State::SubOption;
                break;
            default:
                // IAC SE and the two-byte commands (NOP, GA, IP, ...): nothing to show.
                m_state = State::Data;
                break;
            }
            break;
        case State::Option:
            ++p;
            if (m_cmd == DO)
                AppendBytes(replies, {IAC, c == OPT_TERMINAL_TYPE ? WILL : WONT, c});
            else if (m_cmd == WILL)
                // An offer left unanswered makes some servers wait for ever before the
                // login prompt.
                AppendBytes(replies, {IAC, DONT, c});
            m_state = State::Data;
            break;
        case State::SubOption:
            ++p;
            m_subOption = c;
            m_state = State::SubCommand;
            break;
        case State::SubCommand:
            ++p;
            if (m_subOption == OPT_TERMINAL_TYPE && c == TT_SEND)
                replies.append(TerminalTypeAnswer());
            // The IAC SE that ends the request comes next and is skipped as a sequence
            // of its own.
            m_state = State::Data;
            break;
        }
    }
}
