#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

// One HTTP/1.x request read from a client, as far as a CGI gateway needs it: the
// request line, the header fields and a body of Content-Length bytes. Anything else
// (a chunked body, an over-long header) is refused with the status to answer.
class CHttpRequestParser
{
public:
    enum class State { Incomplete, Complete, Error };

    static constexpr int kMaxHeaderBytes = 64 * 1024;
    // The largest body a request may have unless the server sets a smaller one.
    static constexpr qint64 kMaxBodyBytes = 32LL * 1024 * 1024;

    // A body longer than this is refused (413) as soon as the head names its length.
    void SetMaxBodyBytes(qint64 nBytes) { m_nMaxBodyBytes = nBytes; }
    // Takes the next bytes from the connection.
    State Feed(const QByteArray &data);
    State GetState() const { return m_state; }
    // The head has been read (its fields are known) and the body may follow.
    bool HeadDone() const { return m_bHeadDone; }
    // The body's length as the head gives it (0 without Content-Length).
    qint64 ContentLength() const { return m_nContentLength; }

    // The status to answer when the state is Error (400, 411, 413, 431, 501, 505).
    int m_nErrorStatus = 0;
    QByteArray m_baMethod;
    QByteArray m_baTarget;
    QByteArray m_baVersion;
    QList<QPair<QByteArray, QByteArray>> m_headers;
    QByteArray m_baBody;

    // The first field of that name, in any case; empty when there is none.
    QByteArray Header(const QByteArray &name) const;

private:
    State Fail(int nStatus);
    State ParseHead(const QByteArray &head);

    State m_state = State::Incomplete;
    QByteArray m_buffer;
    bool m_bHeadDone = false;
    qint64 m_nContentLength = 0;
    qint64 m_nMaxBodyBytes = kMaxBodyBytes;
};
