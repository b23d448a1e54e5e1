// bench-bare PORT THREADS BODYFILE: the HTTP library alone, event loops as in caleprodu-server,
// answering every POST to the calendar's path with the fixed body; stops on SIGINT or SIGTERM.

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <pthread.h>
#include <sstream>
#include <thread>
#include <vector>

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;

class Session : public std::enable_shared_from_this<Session>
{
public:
    Session(tcp::socket socket, const std::string &body)
        : m_stream(std::move(socket))
        , m_body(body)
    {}

    void read()
    {
        m_request = {};
        http::async_read(m_stream, m_buffer, m_request,
                         [self = shared_from_this()](beast::error_code ec, std::size_t) {
                             if (!ec)
                                 self->answer();
                         });
    }

private:
    void answer()
    {
        const bool rpc =
            m_request.method() == http::verb::post && m_request.target() == "/QMR07700.rdmCaleProd";
        const bool health =
            m_request.method() == http::verb::get && m_request.target() == "/health";
        m_response = {};
        m_response.version(m_request.version());
        m_response.result(rpc || health ? http::status::ok : http::status::not_found);
        m_response.set(http::field::content_type, rpc ? "application/json" : "text/plain");
        m_response.body() = rpc ? m_body : health ? "ok\n" : "";
        m_response.keep_alive(m_request.keep_alive());
        m_response.prepare_payload();
        http::async_write(m_stream, m_response,
                          [self = shared_from_this()](beast::error_code ec, std::size_t) {
                              if (!ec && self->m_response.keep_alive())
                                  self->read();
                          });
    }

    beast::tcp_stream m_stream;
    const std::string &m_body;
    beast::flat_buffer m_buffer;
    http::request<http::string_body> m_request;
    http::response<http::string_body> m_response;
};

void accept(tcp::acceptor &acceptor, std::vector<std::unique_ptr<asio::io_context>> &loops,
            std::size_t next, const std::string &body)
{
    acceptor.async_accept(*loops[next % loops.size()],
                          [&, next](beast::error_code ec, tcp::socket socket) {
                              if (ec)
                                  return;
                              socket.set_option(tcp::no_delay(true), ec);
                              std::make_shared<Session>(std::move(socket), body)->read();
                              accept(acceptor, loops, next + 1, body);
                          });
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: bench-bare PORT THREADS BODYFILE\n");
        return 2;
    }
    // THREADS sizes the server's database workers, which this has none of: its loops are one
    // per core, as the server's are.
    const int port = std::atoi(argv[1]);
    std::ifstream file(argv[3], std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    const std::string body = text.str();

    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::unique_ptr<asio::io_context>> loops;
    for (unsigned i = 0; i < cores; ++i)
        loops.push_back(std::make_unique<asio::io_context>(1));
    tcp::acceptor acceptor(*loops.front());
    beast::error_code ec;
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"),
                                 static_cast<unsigned short>(port));
    acceptor.open(endpoint.protocol(), ec);
    if (!ec)
        acceptor.set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        acceptor.bind(endpoint, ec);
    if (!ec)
        acceptor.listen(asio::socket_base::max_listen_connections, ec);
    if (ec) {
        std::fprintf(stderr, "bench-bare: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    accept(acceptor, loops, 0, body);
    std::vector<std::thread> running;
    for (auto &loop : loops)
        running.emplace_back([&loop] {
            auto guard = asio::make_work_guard(*loop);
            loop->run();
        });
    int received = 0;
    sigwait(&stopSignals, &received);
    for (auto &loop : loops)
        loop->stop();
    for (std::thread &thread : running)
        thread.join();
    return 0;
}
