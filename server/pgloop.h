#pragma once

#include "methods.h"
#include "storage/pgchannel.h"

#include <boost/asio/io_context.hpp>
#include <boost/asio/spawn.hpp>
#include <boost/asio/steady_timer.hpp>

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace caleserver {

class PgPipe;

// The PostgreSQL side of one event loop: its calls run there, on fibers that wait for the
// database without holding the loop, so the loop goes on answering /health and every other
// connection while the cluster is slow or frozen. Reads share the loop's pipelined connections;
// a write transaction has a connection to itself for its whole length. At most `maxCalls` calls
// run at once and `maxQueued` wait for a fiber, no longer than a statement's limit; any beyond
// get -32001 at once.
class PgLoop
{
public:
    // A call's work, given where its storage comes from.
    using Job = std::function<void(const StorageSource &source)>;

    // `writeConnections`: connections of this loop that write transactions take in turn.
    PgLoop(boost::asio::io_context &context, const PgAddress &address, StorageLimits limits,
           int writeConnections);
    ~PgLoop();
    PgLoop(const PgLoop &) = delete;
    PgLoop &operator=(const PgLoop &) = delete;

    // The loop that runs on the calling thread; nullptr where none does.
    static PgLoop *current();
    // Makes this the calling thread's loop (on the loop's own thread, before it runs).
    void makeCurrent();

    // Runs `job` on a fiber of this loop, from the loop's own thread.
    void run(Job job);
    // Calls `then` on the loop once no call runs any more; later calls are refused.
    void drain(std::function<void()> then);

    // For the loop's storages. Given `fresh`, the idle connections are given up and a new one
    // is made.
    std::shared_ptr<PgPipe> readPipe(bool fresh);
    // A write connection to itself, waiting for one while all are taken; nullptr (with the
    // reason) when none came in time.
    std::shared_ptr<PgPipe> takeWritePipe(boost::asio::yield_context yield, bool fresh,
                                          std::string *error);
    void giveBackWritePipe(std::shared_ptr<PgPipe> pipe);
    const StorageLimits &limits() const { return m_limits; }

private:
    struct Queued
    {
        Job job;
        std::chrono::steady_clock::time_point until;
    };
    struct Fiber;

    void startFiber();
    void fiberMain(boost::asio::yield_context yield);
    // Waits for work; false once the loop stops and no work is left.
    bool park(boost::asio::steady_timer &timer, boost::asio::yield_context yield);
    void wakeOne(std::vector<boost::asio::steady_timer *> &sleepers);
    void fiberEnded();
    static void closeIdle(std::vector<std::shared_ptr<PgPipe>> &pipes);

    boost::asio::io_context &m_context;
    const PgAddress m_address;
    const StorageLimits m_limits;
    const int m_writeConnections;
    std::deque<Queued> m_queue;
    std::vector<boost::asio::steady_timer *> m_idle;         // fibers waiting for work
    std::vector<boost::asio::steady_timer *> m_writeWaiters; // fibers waiting for a write pipe
    std::vector<std::shared_ptr<PgPipe>> m_readPipes;
    std::vector<std::shared_ptr<PgPipe>> m_freeWritePipes;
    int m_writePipesOut = 0;
    int m_fibers = 0;
    bool m_stopping = false;
    std::function<void()> m_drained;
};

} // namespace caleserver
