#pragma once

#include <QByteArray>

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>

#include <chrono>
#include <utility>

namespace testsupport {

// A TCP connection to the server on loopback that writes raw bytes and reads the answers as they
// come, every wait bounded: for requests no well-behaved client would send.
class RawConnection
{
public:
    explicit RawConnection(int port);

    // Writes everything it can; the server may close early after refusing.
    void send(const QByteArray &bytes);
    // Ends the sending half: the server reads end of stream after what was sent.
    void closeSending();
    // The next answer's status and body; status 0 when the connection ended, or nothing whole
    // came within `limit`.
    std::pair<int, QByteArray> answer(std::chrono::seconds limit = std::chrono::seconds(60));
    // Whether the server closes the connection within `limit` (a bounded wait, not a timing).
    bool closedByServer(std::chrono::seconds limit);

private:
    boost::asio::io_context m_context;
    boost::asio::ip::tcp::socket m_socket;
    boost::beast::flat_buffer m_buffer;
};

// A POST of `body` to the RPC path with the given header lines (each ending in CRLF) and the
// body's length.
QByteArray rawPost(int port, const QByteArray &headers, const QByteArray &body);

// `body` in chunked transfer coding, `chunk` bytes a chunk.
QByteArray chunked(const QByteArray &body, int chunk);

} // namespace testsupport
