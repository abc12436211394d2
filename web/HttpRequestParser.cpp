#include "web/HttpRequestParser.h"

#include "framework/HttpToken.h"

namespace {

bool HasControl(const QByteArray &s)
{
    for (char c : s)
        if ((static_cast<unsigned char>(c) < 0x20 && c != '\t') || c == 0x7f)
            return true;
    return false;
}

} // namespace

CHttpRequestParser::State CHttpRequestParser::Fail(int nStatus)
{
    m_nErrorStatus = nStatus;
    m_buffer.clear();
    return m_state = State::Error;
}

QByteArray CHttpRequestParser::Header(const QByteArray &name) const
{
    for (const auto &h : m_headers)
        if (h.first.compare(name, Qt::CaseInsensitive) == 0)
            return h.second;
    return QByteArray();
}

CHttpRequestParser::State CHttpRequestParser::ParseHead(const QByteArray &head)
{
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray &line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    // Blank lines before the request line are allowed (RFC 9112, section 2.2).
    while (!lines.isEmpty() && lines.first().isEmpty())
        lines.removeFirst();
    if (lines.isEmpty())
        return Fail(400);
    const QList<QByteArray> words = lines.first().split(' ');
    if (words.size() != 3 || !CHttpToken::IsToken(words[0]) || words[1].isEmpty() || HasControl(words[1]))
        return Fail(400);
    m_baMethod = words[0];
    m_baTarget = words[1];
    m_baVersion = words[2];
    if (!m_baVersion.startsWith("HTTP/"))
        return Fail(400);
    if (m_baVersion != "HTTP/1.1" && m_baVersion != "HTTP/1.0")
        return Fail(505);
    for (int i = 1; i < lines.size(); ++i) {
        const QByteArray &line = lines[i];
        if (line.isEmpty())
            continue;
        // A folded line or a field without a proper name is refused, not guessed at.
        const int colon = line.indexOf(':');
        if (colon <= 0 || !CHttpToken::IsToken(line.left(colon)))
            return Fail(400);
        QByteArray value = line.mid(colon + 1).trimmed();
        if (HasControl(value))
            return Fail(400);
        m_headers.append({line.left(colon), value});
    }
    bool bLength = false;
    for (const auto &h : m_headers) {
        if (h.first.compare("Transfer-Encoding", Qt::CaseInsensitive) == 0)
            return Fail(501);
        if (h.first.compare("Content-Length", Qt::CaseInsensitive) != 0)
            continue;
        bool ok = !h.second.isEmpty();
        for (char c : h.second)
            ok = ok && c >= '0' && c <= '9';
        const qint64 n = ok && h.second.size() <= 18 ? h.second.toLongLong(&ok) : -1;
        if (!ok || n < 0 || (bLength && n != m_nContentLength))
            return Fail(400);
        if (n > m_nMaxBodyBytes)
            return Fail(413);
        bLength = true;
        m_nContentLength = n;
    }
    return State::Incomplete;
}

CHttpRequestParser::State CHttpRequestParser::Feed(const QByteArray &data)
{
    if (m_state != State::Incomplete)
        return m_state;
    m_buffer += data;
    if (!m_bHeadDone) {
        qsizetype end = m_buffer.indexOf("\r\n\r\n");
        qsizetype skip = 4;
        const qsizetype lf = m_buffer.indexOf("\n\n");
        if (lf >= 0 && (end < 0 || lf < end)) {
            end = lf;
            skip = 2;
        }
        if (end < 0)
            return m_buffer.size() > kMaxHeaderBytes ? Fail(431) : State::Incomplete;
        if (end > kMaxHeaderBytes)
            return Fail(431);
        if (ParseHead(m_buffer.left(end)) == State::Error)
            return m_state;
        m_buffer.remove(0, end + skip);
        m_bHeadDone = true;
        // The body's room at once, rather than growing (and copying) piece by piece.
        if (m_nContentLength > m_buffer.size())
            m_buffer.reserve(m_nContentLength);
    }
    if (m_buffer.size() < m_nContentLength)
        return State::Incomplete;
    m_baBody = m_buffer.left(m_nContentLength);
    m_buffer.clear();
    return m_state = State::Complete;
}
