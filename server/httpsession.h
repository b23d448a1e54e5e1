#pragma once

#include "storage/storage.h"

#include <boost/asio/ip/address.hpp>
#include <boost/asio/ip/tcp.hpp>

#include <string>

namespace caleserver {

class WorkerPool;

// What every connection of one running server shares.
struct SessionContext
{
    std::string token;
    WorkerPool *workers = nullptr;
    std::string databaseUrl;
    StorageLimits limits;
    // SQLite reads are answered on the event loops.
    bool readsInline = false;
    // PostgreSQL calls, reads and writes, run on the event loops (PgLoop).
    bool pgOnLoops = false;
    // Days a change set stays in the journal.
    int journalDays = 400;
};

// Serves one client connection on the event loop of its socket until the client or a limit ends
// it: reads requests one after the other, refuses those that fail the checks of token, origin,
// path, content and size, answers SQLite reads and every PostgreSQL call on the loop and hands
// SQLite writes to the workers, and writes the answers in the order the requests came.
void startSession(boost::asio::ip::tcp::socket socket, const SessionContext &context);

// Whether an address is this machine's own, an IPv4 one written as IPv6 included.
bool isLoopback(const boost::asio::ip::address &address);

} // namespace caleserver
