#include "server/TerminalText.h"

namespace {
constexpr unsigned char ESC = 0x1b;
constexpr unsigned char BEL = 0x07;
}

void CTerminalText::Process(const char *data, qsizetype n, QByteArray &out)
{
    const auto *p = reinterpret_cast<const unsigned char *>(data);
    const auto *end = p + n;
    while (p < end) {
        const unsigned char c = *p;
        switch (m_state) {
        case State::Text: {
            const auto *run = p;
            while (run < end && (*run >= 0x20 || *run == '\n' || *run == '\t') && *run != 0x7f)
                ++run;
            if (run != p) {
                out.append(reinterpret_cast<const char *>(p), run - p);
                p = run;
                continue;
            }
            if (c == ESC)
                m_state = State::Escape;
            // Other control characters (CR, BS, BEL, DEL, ...) have no place in a
            // read-only text pane.
            ++p;
            break;
        }
        case State::Escape:
            ++p;
            if (c == '[')
                m_state = State::Csi;
            else if (c == ']' || c == 'P' || c == 'X' || c == '^' || c == '_') {
                m_state = State::String;
                m_nStringBytes = 0;
            }
            else if (c >= 0x20 && c <= 0x2f)
                m_state = State::EscIntermediate;
            else if (c == ESC)
                m_state = State::Escape;
            else
                m_state = State::Text;
            break;
        case State::EscIntermediate:
            if (c < 0x20 || c > 0x7e) {
                // Not a well-formed sequence: give up on it rather than swallow text.
                m_state = State::Text;
                break;
            }
            ++p;
            if (c > 0x2f)
                m_state = State::Text;
            break;
        case State::Csi:
            if (c < 0x20 || c > 0x7e) {
                m_state = c == ESC ? State::Escape : State::Text;
                if (c == ESC)
                    ++p;
                break;
            }
            ++p;
            if (c >= 0x40)
                m_state = State::Text;
            break;
        case State::String:
            // A title or similar string never holds a line end; an unterminated one
            // must not hide the rest of the session.
            if (c == '\n' || ++m_nStringBytes > kMaxStringBytes) {
                m_state = State::Text;
                break;
            }
            ++p;
            if (c == BEL)
                m_state = State::Text;
            else if (c == ESC)
                m_state = State::StringEscape;
            break;
        case State::StringEscape:
            ++p;
            m_state = c == '\\' ? State::Text : (c == ESC ? State::StringEscape : State::String);
            break;
        }
    }
}
