#include "net/httpclient.h"

#include <boost/asio/connect.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <chrono>
#include <poll.h>

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

constexpr std::uint64_t maxAnswer = 256 * 1024 * 1024;

} // namespace

struct HttpClient::Private
{
    std::string host;
    std::string port;
    std::chrono::seconds connectTimeout;
    std::chrono::seconds readTimeout;
    asio::io_context context{1};
    beast::tcp_stream stream{context};
    beast::flat_buffer buffer;
    bool connected = false;

    // Runs the operation just started to its end: the deadlines live in the stream.
    void wait()
    {
        context.run();
        context.restart();
    }

    // A kept connection that the server has closed meanwhile (its idle time ran out) reads as
    // ready with nothing to read: open a new one instead of failing the request on it.
    bool keptConnectionUsable()
    {
        pollfd probe{stream.socket().native_handle(), POLLIN, 0};
        return ::poll(&probe, 1, 0) == 0;
    }

    Failure connect()
    {
        if (connected && keptConnectionUsable())
            return Failure::None;
        disconnect();
        beast::error_code ec;
        tcp::resolver resolver(context);
        const auto endpoints = resolver.resolve(host, port, ec);
        if (ec)
            return Failure::Connect;
        stream.expires_after(connectTimeout);
        stream.async_connect(endpoints,
                             [&ec](beast::error_code done, const tcp::endpoint &) { ec = done; });
        wait();
        if (ec == beast::error::timeout)
            return Failure::ConnectTimeout;
        if (ec)
            return Failure::Connect;
        stream.socket().set_option(tcp::no_delay(true), ec);
        connected = true;
        return Failure::None;
    }

    void disconnect()
    {
        if (!connected)
            return;
        beast::error_code ignored;
        stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        stream.close();
        buffer.clear();
        connected = false;
    }
};

HttpClient::HttpClient(std::string host, int port, int connectSeconds, int readSeconds)
    : d(std::make_unique<Private>())
{
    d->host = std::move(host);
    d->port = std::to_string(port);
    d->connectTimeout = std::chrono::seconds(connectSeconds);
    d->readTimeout = std::chrono::seconds(readSeconds);
}

HttpClient::~HttpClient()
{
    d->disconnect();
}

HttpClient::Answer HttpClient::postJson(const std::string &target, const std::string &token,
                                        const std::string &body, const std::string &operatorName)
{
    Answer answer;
    answer.failure = d->connect();
    if (answer.failure != Failure::None)
        return answer;

    http::request<http::string_body> request(http::verb::post, target, 11);
    request.set(http::field::host, d->host + ':' + d->port);
    request.set(http::field::content_type, "application/json");
    if (!token.empty())
        request.set(http::field::authorization, "Bearer " + token);
    if (!operatorName.empty())
        request.set("X-Operador", operatorName);
    request.body() = body;
    request.prepare_payload();

    beast::error_code ec;
    d->stream.expires_after(d->readTimeout);
    http::async_write(d->stream, request,
                      [&ec](beast::error_code done, std::size_t) { ec = done; });
    d->wait();
    if (ec) {
        d->disconnect();
        answer.failure = Failure::Write;
        return answer;
    }

    http::response_parser<http::string_body> parser;
    parser.body_limit(maxAnswer);
    d->stream.expires_after(d->readTimeout);
    http::async_read(d->stream, d->buffer, parser,
                     [&ec](beast::error_code done, std::size_t) { ec = done; });
    d->wait();
    if (ec) {
        d->disconnect();
        answer.failure = Failure::Read;
        return answer;
    }
    d->stream.expires_never();
    answer.status = parser.get().result_int();
    answer.body = std::move(parser.get().body());
    if (!parser.get().keep_alive())
        d->disconnect();
    return answer;
}
