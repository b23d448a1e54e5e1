#include "rawconnection.h"

#include <boost/asio/write.hpp>
#include <boost/beast/http.hpp>

namespace testsupport {

namespace asio = boost::asio;
namespace http = boost::beast::http;

RawConnection::RawConnection(int port)
    : m_socket(m_context)
{
    boost::system::error_code ignored;
    m_socket.connect({asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port)},
                     ignored);
}

void RawConnection::send(const QByteArray &bytes)
{
    boost::system::error_code ignored;
    asio::write(m_socket, asio::buffer(bytes.constData(), size_t(bytes.size())), ignored);
}

void RawConnection::closeSending()
{
    boost::system::error_code ignored;
    m_socket.shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
}

std::pair<int, QByteArray> RawConnection::answer(std::chrono::seconds limit)
{
    http::response_parser<http::string_body> parser;
    parser.body_limit(boost::none);
    bool done = false;
    http::async_read(m_socket, m_buffer, parser,
                     [&done](boost::system::error_code, std::size_t) { done = true; });
    m_context.restart();
    m_context.run_for(limit);
    if (!done) {
        // Nothing whole came: the connection is no use for a next answer either.
        boost::system::error_code ignored;
        m_socket.close(ignored);
        m_context.restart();
        m_context.run();
        return {0, {}};
    }
    if (!parser.is_header_done())
        return {0, {}};
    return {parser.get().result_int(), QByteArray::fromStdString(parser.get().body())};
}

bool RawConnection::closedByServer(std::chrono::seconds limit)
{
    bool closed = false;
    char byte;
    m_socket.async_read_some(asio::buffer(&byte, 1),
                             [&](boost::system::error_code ec, std::size_t) { closed = !!ec; });
    m_context.restart();
    m_context.run_for(limit);
    return closed;
}

QByteArray rawPost(int port, const QByteArray &headers, const QByteArray &body)
{
    return "POST /QMR07700.rdmCaleProd HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
           "\r\n" + headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n\r\n" +
           body;
}

QByteArray chunked(const QByteArray &body, int chunk)
{
    QByteArray out;
    for (int at = 0; at < body.size(); at += chunk) {
        const QByteArray piece = body.mid(at, chunk);
        out += QByteArray::number(piece.size(), 16) + "\r\n" + piece + "\r\n";
    }
    return out + "0\r\n\r\n";
}

} // namespace testsupport
