#pragma once

#include "storage/pgchannel.h"

#include <boost/asio/any_completion_handler.hpp>
#include <boost/asio/any_io_executor.hpp>
#include <boost/asio/posix/stream_descriptor.hpp>
#include <boost/asio/steady_timer.hpp>

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace caleserver {

// One PostgreSQL connection driven by an event loop, which it never blocks: it connects, sends
// and reads only when the socket is ready. Statements sent in the same turn of the loop go out
// together in pipeline mode and their results come back in one read; each statement is prepared
// once per connection. A statement's call waits no longer than the statement limit and a grace
// period: at the limit the statement is cancelled, past the grace the connection is given up and
// every statement still waiting on it fails with "timeout".
class PgPipe : public std::enable_shared_from_this<PgPipe>
{
public:
    using Handler = boost::asio::any_completion_handler<void(PgReply)>;
    // Given "" once connected, else why not.
    using ConnectHandler = boost::asio::any_completion_handler<void(std::string)>;

    PgPipe(boost::asio::any_io_executor executor, const PgAddress &address,
           const StorageLimits &limits);
    ~PgPipe();
    PgPipe(const PgPipe &) = delete;
    PgPipe &operator=(const PgPipe &) = delete;

    void connect(ConnectHandler done);
    // Runs one statement once connected. The request's text and values stay valid until `done`
    // runs; `done` always runs once, through the executor.
    void submit(const PgRequest &request, Handler done);
    // Lost, refused or given up: of no further use.
    bool broken() const { return m_state == State::Broken; }
    // Statements submitted and not yet answered.
    std::size_t waiting() const { return m_waiting; }
    // Gives the connection up; every waiting statement fails.
    void close();

private:
    enum class State { Idle, Connecting, Connected, Broken };
    using Clock = std::chrono::steady_clock;
    struct Call
    {
        PgRequest request;
        Handler done;
        Clock::time_point cancelAt; // the statement limit
        Clock::time_point giveUpAt; // the limit and the grace
        // Why its statement could not be prepared, when the prepare sent with it failed.
        std::optional<PgReply> prepareFailure;
    };
    // What the connection owes, in the order it was sent.
    struct Expected
    {
        enum class Kind { Prepare, Query, Sync } kind;
        std::unique_ptr<Call> call; // for a query
        std::string text;           // for a prepare: the statement it named
        PGresult *last = nullptr;   // the latest result of a prepare or query
    };

    void startConnect();
    void pollConnect(int status);
    void connected(const std::string &failure);
    // "não foi possível conectar a …: why"
    std::string refusal(const std::string &why) const;
    void watch(bool write, void (PgPipe::*then)());
    void onConnectReady();
    void scheduleSend();
    void sendUnsent();
    bool sendCall(std::unique_ptr<Call> call);
    void flush();
    void afterSending();
    void startReading();
    void onReadable();
    void onWritable();
    void readResults();
    void complete(Expected &expected);
    void armTimer();
    void onTimer();
    void cancelRunning();
    void fail(const std::string &code, const std::string &text);
    void deliver(Handler done, PgReply reply);

    boost::asio::any_io_executor m_executor;
    const PgAddress &m_address;
    const StorageLimits m_limits;
    boost::asio::posix::stream_descriptor m_socket;
    boost::asio::steady_timer m_timer;
    State m_state = State::Idle;
    PGconn *m_conn = nullptr;
    Clock::time_point m_connectLimit;
    std::vector<ConnectHandler> m_connectWaiters;
    std::deque<std::unique_ptr<Call>> m_unsent;
    std::deque<Expected> m_expected;
    std::unordered_map<std::string, std::string> m_prepared; // text -> name
    std::size_t m_waiting = 0;
    int m_statements = 0;
    bool m_sendScheduled = false;
    bool m_reading = false;
    bool m_flushing = false;
    bool m_cancelled = false;
    // Bumped whenever the socket is watched afresh: waits of an earlier socket are ignored.
    int m_generation = 0;
    // Bumped when the connection is given up: its timer and queued sends are ignored.
    int m_life = 0;
};

} // namespace caleserver
