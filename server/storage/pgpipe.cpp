#include "storage/pgpipe.h"

#include <libpq-fe.h>

#include <boost/asio/post.hpp>

#include <atomic>
#include <thread>

namespace caleserver {

namespace {

namespace asio = boost::asio;

// Cancel requests go out on threads of their own, since libpq sends them blocking; a frozen
// server may hold them, so only this many wait at once.
constexpr int maxCancelsInFlight = 4;
std::atomic<int> cancelsInFlight{0};

} // namespace

PgPipe::PgPipe(asio::any_io_executor executor, const PgAddress &address,
               const StorageLimits &limits)
    : m_executor(std::move(executor))
    , m_address(address)
    , m_limits(limits)
    , m_socket(m_executor)
    , m_timer(m_executor)
{}

PgPipe::~PgPipe()
{
    if (m_socket.is_open())
        m_socket.release();
    for (Expected &expected : m_expected)
        if (expected.last)
            PQclear(expected.last);
    if (m_conn)
        PQfinish(m_conn);
}

void PgPipe::connect(ConnectHandler done)
{
    if (m_state == State::Connected || m_state == State::Broken) {
        const std::string why = broken() ? "a conexão com o banco de dados foi encerrada" : "";
        asio::post(m_executor, [done = std::move(done), why]() mutable { std::move(done)(why); });
        return;
    }
    m_connectWaiters.push_back(std::move(done));
    if (m_state == State::Idle)
        startConnect();
}

void PgPipe::startConnect()
{
    m_state = State::Connecting;
    const PgConnectParams params(m_address, m_limits);
    m_conn = PQconnectStartParams(params.keys(), params.values(), 0);
    if (!m_conn || PQstatus(m_conn) == CONNECTION_BAD)
        return connected(
            params.refusal(m_conn ? pgOneLine(PQerrorMessage(m_conn)) : "sem memória"));
    // libpq keeps its connect_timeout only when it waits by itself.
    m_connectLimit = Clock::now() + std::chrono::seconds(pgConnectTimeoutSeconds(m_limits));
    armTimer();
    pollConnect(PGRES_POLLING_WRITING);
}

void PgPipe::pollConnect(int status)
{
    if (status == PGRES_POLLING_OK)
        return connected({});
    const int socket = PQsocket(m_conn);
    if (status == PGRES_POLLING_FAILED || socket < 0)
        return connected(refusal(pgOneLine(PQerrorMessage(m_conn))));
    // libpq may have moved to another socket (another address of the host), possibly under the
    // same number: the socket is watched afresh at every step.
    ++m_generation;
    if (m_socket.is_open())
        m_socket.release();
    boost::system::error_code ec;
    m_socket.assign(socket, ec);
    if (ec)
        return connected(refusal(ec.message()));
    watch(status == PGRES_POLLING_WRITING, &PgPipe::onConnectReady);
    armTimer();
}

void PgPipe::onConnectReady()
{
    pollConnect(PQconnectPoll(m_conn));
}

void PgPipe::connected(const std::string &failure)
{
    if (failure.empty() && (PQsetnonblocking(m_conn, 1) != 0 || !PQenterPipelineMode(m_conn)))
        return connected(refusal(pgOneLine(PQerrorMessage(m_conn))));
    if (!failure.empty())
        return fail("08006", failure);
    m_state = State::Connected;
    m_timer.cancel();
    startReading();
    for (ConnectHandler &done : m_connectWaiters)
        asio::post(m_executor,
                   [done = std::move(done)]() mutable { std::move(done)(std::string()); });
    m_connectWaiters.clear();
    scheduleSend();
}

std::string PgPipe::refusal(const std::string &why) const
{
    return PgConnectParams(m_address, m_limits).refusal(why);
}

void PgPipe::submit(const PgRequest &request, Handler done)
{
    if (broken())
        return deliver(std::move(done),
                       {nullptr, "08006", "a conexão com o banco de dados foi encerrada"});
    const auto now = Clock::now();
    auto call = std::make_unique<Call>(Call{request, std::move(done), {}, {}, std::nullopt});
    call->cancelAt = now + std::chrono::milliseconds(m_limits.statementTimeoutMs);
    call->giveUpAt = call->cancelAt + std::chrono::milliseconds(pgClientGraceMs);
    m_unsent.push_back(std::move(call));
    ++m_waiting;
    scheduleSend();
}

void PgPipe::scheduleSend()
{
    // Everything submitted in this turn of the loop goes out in one batch.
    if (m_sendScheduled || m_state != State::Connected || m_unsent.empty())
        return;
    m_sendScheduled = true;
    asio::post(m_executor, [self = shared_from_this(), life = m_life] {
        self->m_sendScheduled = false;
        if (life == self->m_life)
            self->sendUnsent();
    });
}

void PgPipe::sendUnsent()
{
    if (m_state != State::Connected || m_unsent.empty())
        return;
    while (!m_unsent.empty()) {
        std::unique_ptr<Call> call = std::move(m_unsent.front());
        m_unsent.pop_front();
        if (!sendCall(std::move(call)))
            return fail("08006", pgOneLine(PQerrorMessage(m_conn)));
    }
    if (!PQpipelineSync(m_conn))
        return fail("08006", pgOneLine(PQerrorMessage(m_conn)));
    m_expected.push_back({Expected::Kind::Sync, nullptr, {}});
    flush();
    afterSending();
}

void PgPipe::afterSending()
{
    // Sending may have read what the server had sent meanwhile into libpq's buffer, where the
    // socket no longer announces it: it is taken from there before the socket is waited on.
    if (m_state != State::Connected)
        return;
    readResults();
    if (m_state == State::Connected && PQstatus(m_conn) == CONNECTION_BAD)
        return fail("08006", pgOneLine(PQerrorMessage(m_conn)));
    startReading();
    armTimer();
}

bool PgPipe::sendCall(std::unique_ptr<Call> call)
{
    const PgRequest &request = call->request;
    const int count = int(request.values.size());
    bool sent = false;
    if (request.keep) {
        auto found = m_prepared.find(*request.text);
        if (found == m_prepared.end()) {
            std::string name = "k";
            name += std::to_string(++m_statements);
            if (!PQsendPrepare(m_conn, name.c_str(), request.text->c_str(), 0, nullptr)) {
                m_unsent.push_front(std::move(call));
                return false;
            }
            m_expected.push_back({Expected::Kind::Prepare, nullptr, *request.text});
            found = m_prepared.emplace(*request.text, std::move(name)).first;
        }
        sent = PQsendQueryPrepared(m_conn, found->second.c_str(), count, request.values.data(),
                                   nullptr, nullptr, 0);
    } else {
        sent = PQsendQueryParams(m_conn, request.text->c_str(), count, nullptr,
                                 request.values.data(), nullptr, nullptr, 0);
    }
    if (!sent) {
        m_unsent.push_front(std::move(call));
        return false;
    }
    m_expected.push_back({Expected::Kind::Query, std::move(call), {}});
    return true;
}

void PgPipe::flush()
{
    if (m_flushing || m_state != State::Connected)
        return;
    const int left = PQflush(m_conn);
    if (left < 0)
        return fail("08006", pgOneLine(PQerrorMessage(m_conn)));
    if (left > 0) {
        m_flushing = true;
        watch(true, &PgPipe::onWritable);
    }
}

void PgPipe::onWritable()
{
    m_flushing = false;
    flush();
    afterSending();
}

void PgPipe::startReading()
{
    // Watched even while idle: a server that ends the session (a restart, a terminated
    // back-end) is noticed at once, not by the next call, which would fail for it.
    if (m_reading || m_state != State::Connected)
        return;
    m_reading = true;
    watch(false, &PgPipe::onReadable);
}

void PgPipe::onReadable()
{
    m_reading = false;
    if (!PQconsumeInput(m_conn))
        return fail("08006", pgOneLine(PQerrorMessage(m_conn)));
    readResults();
    if (m_state != State::Connected)
        return;
    if (PQstatus(m_conn) == CONNECTION_BAD)
        return fail("08006", pgOneLine(PQerrorMessage(m_conn)));
    startReading();
    armTimer();
}

void PgPipe::readResults()
{
    while (!m_expected.empty() && m_state == State::Connected && !PQisBusy(m_conn)) {
        Expected &head = m_expected.front();
        PGresult *result = PQgetResult(m_conn);
        if (head.kind == Expected::Kind::Sync) {
            if (!result)
                return; // the sync's result has not come yet
            PQclear(result);
            m_expected.pop_front();
            continue;
        }
        if (result) {
            if (head.last)
                PQclear(head.last);
            head.last = result;
            continue;
        }
        complete(head);
        m_expected.pop_front();
        m_cancelled = false;
    }
}

void PgPipe::complete(Expected &expected)
{
    PGresult *last = std::exchange(expected.last, nullptr);
    if (expected.kind == Expected::Kind::Prepare) {
        if (last && PQresultStatus(last) == PGRES_COMMAND_OK) {
            PQclear(last);
            return;
        }
        // The query right behind it is aborted for it: it gets this failure instead.
        m_prepared.erase(expected.text);
        PgReply failure = pgReplyFrom(m_conn, last);
        if (m_expected.size() > 1 && m_expected[1].call)
            m_expected[1].call->prepareFailure = std::move(failure);
        return;
    }
    std::unique_ptr<Call> call = std::move(expected.call);
    if (last && PQresultStatus(last) == PGRES_PIPELINE_ABORTED) {
        PQclear(last);
        if (call->prepareFailure) {
            // Aborted by the failure of its own statement's prepare.
            --m_waiting;
            return deliver(std::move(call->done), std::move(*call->prepareFailure));
        }
        // Another statement of its batch failed: this one is sent again, unchanged.
        m_unsent.push_back(std::move(call));
        scheduleSend();
        return;
    }
    --m_waiting;
    deliver(std::move(call->done), pgReplyFrom(m_conn, last));
}

void PgPipe::armTimer()
{
    Clock::time_point target;
    if (m_state == State::Connecting) {
        target = m_connectLimit;
    } else if (m_state == State::Connected) {
        const Call *head = nullptr;
        for (const Expected &expected : m_expected)
            if (expected.call) {
                head = expected.call.get();
                break;
            }
        if (!head) {
            m_timer.cancel();
            return;
        }
        target = m_cancelled ? head->giveUpAt : head->cancelAt;
    } else {
        return;
    }
    if (m_timer.expiry() == target)
        return;
    m_timer.expires_at(target);
    m_timer.async_wait([self = shared_from_this(), life = m_life](boost::system::error_code ec) {
        if (!ec && life == self->m_life)
            self->onTimer();
    });
}

void PgPipe::onTimer()
{
    if (m_state == State::Connecting)
        return connected(refusal("tempo esgotado após " +
                                 std::to_string(pgConnectTimeoutSeconds(m_limits)) + " s"));
    if (!m_cancelled) {
        // The server should have cancelled the statement at its limit by itself.
        m_cancelled = true;
        cancelRunning();
        return armTimer();
    }
    // The server does not answer at all: the connection is given up, not waited on.
    const int limitMs = m_limits.statementTimeoutMs + pgClientGraceMs;
    fail("timeout",
         "o banco de dados não respondeu em " + std::to_string((limitMs + 999) / 1000) + " s.");
}

void PgPipe::cancelRunning()
{
    if (cancelsInFlight.fetch_add(1) >= maxCancelsInFlight) {
        --cancelsInFlight;
        return;
    }
    PGcancel *cancel = PQgetCancel(m_conn);
    if (!cancel) {
        --cancelsInFlight;
        return;
    }
    std::thread([cancel] {
        char error[256];
        PQcancel(cancel, error, sizeof error);
        PQfreeCancel(cancel);
        --cancelsInFlight;
    }).detach();
}

void PgPipe::close()
{
    if (!broken())
        fail("08006", "a conexão com o banco de dados foi encerrada");
}

void PgPipe::fail(const std::string &code, const std::string &text)
{
    ++m_generation;
    ++m_life;
    m_state = State::Broken;
    m_timer.cancel();
    if (m_socket.is_open())
        m_socket.release();
    if (m_conn) {
        PQfinish(m_conn);
        m_conn = nullptr;
    }
    for (ConnectHandler &done : m_connectWaiters)
        asio::post(m_executor, [done = std::move(done), text]() mutable { std::move(done)(text); });
    m_connectWaiters.clear();
    std::deque<Expected> expected = std::move(m_expected);
    std::deque<std::unique_ptr<Call>> unsent = std::move(m_unsent);
    m_waiting = 0;
    for (Expected &each : expected) {
        if (each.last)
            PQclear(each.last);
        if (each.call)
            deliver(std::move(each.call->done), {nullptr, code, text});
    }
    for (std::unique_ptr<Call> &call : unsent)
        deliver(std::move(call->done), {nullptr, code, text});
}

void PgPipe::watch(bool write, void (PgPipe::*then)())
{
    using Wait = asio::posix::descriptor_base::wait_type;
    m_socket.async_wait(
        write ? Wait::wait_write : Wait::wait_read,
        [self = shared_from_this(), generation = m_generation, then](boost::system::error_code ec) {
            if (!ec && generation == self->m_generation)
                ((*self).*then)();
        });
}

void PgPipe::deliver(Handler done, PgReply reply)
{
    asio::post(m_executor, [done = std::move(done), reply = std::move(reply)]() mutable {
        std::move(done)(std::move(reply));
    });
}

} // namespace caleserver
