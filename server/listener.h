#pragma once

#include "httpsession.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace caleserver {

// Accepts connections on one address, on the first event loop, and starts a session for each on
// the loops in turn.
class Listener
{
public:
    using Loops = std::vector<std::unique_ptr<boost::asio::io_context>>;

    // `loops` and `context` outlive the listener; `loops` is filled before listen().
    Listener(const Loops &loops, const SessionContext &context);

    // Binds, listens and waits for the first connection once the loops run; an empty text on
    // success, else the reason. With `requireLoopback`, refuses an address not of this machine.
    std::string listen(const std::string &host, int port, bool requireLoopback);
    // The bound port (valid after a successful listen()).
    int port() const { return m_port; }
    // Stops accepting; runs on the first loop.
    void close();

private:
    void accept();

    const Loops &m_loops;
    const SessionContext &m_context;
    std::optional<boost::asio::ip::tcp::acceptor> m_acceptor;
    std::optional<boost::asio::steady_timer> m_retry;
    std::size_t m_next = 0;
    int m_port = 0;
};

} // namespace caleserver
