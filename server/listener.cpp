#include "listener.h"

#include <boost/asio.hpp>

#include <chrono>

namespace caleserver {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;

Listener::Listener(const Loops &loops, const SessionContext &context)
    : m_loops(loops)
    , m_context(context)
{}

std::string Listener::listen(const std::string &host, int port, bool requireLoopback)
{
    asio::io_context &loop = *m_loops.front();
    tcp::resolver resolver(loop);
    boost::system::error_code ec;
    const auto results =
        resolver.resolve(host, std::to_string(port), tcp::resolver::numeric_service, ec);
    const std::string where = host + ":" + std::to_string(port);
    if (ec || results.empty())
        return "Não foi possível escutar em " + where + ": endereço inválido (" + ec.message() +
               ").";
    const tcp::endpoint endpoint = results.begin()->endpoint();
    // Judged on the address that will be bound, not on how its name is spelt.
    if (requireLoopback && !isLoopback(endpoint.address()))
        return "Recusado escutar em " + host +
               " sem token: use --token para exigir autenticação fora da máquina local.";

    m_acceptor.emplace(loop);
    m_acceptor->open(endpoint.protocol(), ec);
    // Address reuse lets a restart bind while old connections linger; unlike port reuse it
    // does not let a second server share a port that is listening.
    if (!ec)
        m_acceptor->set_option(asio::socket_base::reuse_address(true), ec);
    if (!ec)
        m_acceptor->bind(endpoint, ec);
    if (ec == asio::error::address_in_use)
        return "Não foi possível escutar em " + where +
               ": a porta já está em uso por outro programa.";
    if (!ec)
        m_acceptor->listen(asio::socket_base::max_listen_connections, ec);
    if (ec)
        return "Não foi possível escutar em " + where + ": " + ec.message() + ".";
    m_port = m_acceptor->local_endpoint().port();
    accept();
    return {};
}

void Listener::close()
{
    boost::system::error_code ignored;
    m_acceptor->close(ignored);
}

void Listener::accept()
{
    asio::io_context &target = *m_loops[m_next++ % m_loops.size()];
    m_acceptor->async_accept(target, [this](boost::system::error_code ec, tcp::socket socket) {
        if (ec == asio::error::operation_aborted || !m_acceptor->is_open())
            return;
        if (!ec) {
            boost::system::error_code ignored;
            socket.set_option(tcp::no_delay(true), ignored);
            startSession(std::move(socket), m_context);
            return accept();
        }
        // Out of descriptors, say: try again shortly instead of spinning.
        m_retry.emplace(m_acceptor->get_executor(), std::chrono::milliseconds(50));
        m_retry->async_wait([this](boost::system::error_code waited) {
            if (!waited)
                accept();
        });
    });
}

} // namespace caleserver
