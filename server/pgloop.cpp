#include "pgloop.h"

#include "logging.h"
#include "storage/pgpipe.h"
#include "storage/postgresstorage.h"

#include <boost/asio/detached.hpp>
#include <boost/asio/post.hpp>
#include <boost/context/protected_fixedsize_stack.hpp>

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace caleserver {

namespace {

namespace asio = boost::asio;
using Clock = std::chrono::steady_clock;

// Calls of one loop running at once, and waiting for a fiber: a cluster that stalls holds this
// many calls at the most, every later one is answered at once.
constexpr int maxCalls = 64;
constexpr std::size_t maxQueued = 1024;
// Reads of one loop share this many pipelined connections.
constexpr std::size_t readConnections = 2;
// Generous for a call's deepest stack; only the pages it touches are ever mapped.
constexpr std::size_t fiberStack = 512 * 1024;

thread_local PgLoop *currentLoop = nullptr;

// A storage source that gives no storage: the call fails with -32001 and this reason.
void refusingSource(const PgLoop::Job &job, std::string why)
{
    job([why](Storage::Mode, std::string *error) -> Storage * {
        *error = why;
        return nullptr;
    });
}

// The connection of a storage of a fiber: the loop's pipes, waited on by suspending the fiber.
class LoopPgChannel : public PgChannel
{
public:
    LoopPgChannel(PgLoop &loop, asio::yield_context yield, bool exclusive)
        : m_loop(loop)
        , m_yield(std::move(yield))
        , m_exclusive(exclusive)
    {}
    ~LoopPgChannel() override { disconnect(); }

    bool connect(std::string *error) override
    {
        // After a lost connection the others of the loop are suspect too (a restart ends them
        // all): the call is tried again on a new one.
        const bool fresh = std::exchange(m_lost, false);
        m_pipe = m_exclusive ? m_loop.takeWritePipe(m_yield, fresh, error) : m_loop.readPipe(fresh);
        if (!m_pipe)
            return false;
        PgPipe &pipe = *m_pipe;
        const std::string why = asio::async_initiate<asio::yield_context, void(std::string)>(
            [&pipe](auto handler) { pipe.connect(std::move(handler)); }, m_yield);
        if (why.empty())
            return true;
        *error = why;
        disconnect();
        return false;
    }

    void disconnect() override
    {
        if (!m_pipe)
            return;
        m_lost = m_pipe->broken();
        if (m_exclusive)
            m_loop.giveBackWritePipe(std::move(m_pipe));
        m_pipe.reset();
    }

    bool connected() const override { return m_pipe && !m_pipe->broken(); }

    PgReply run(const PgRequest &request) override
    {
        if (!connected())
            return {nullptr, "08006", "a conexão com o banco de dados foi encerrada"};
        PgPipe &pipe = *m_pipe;
        PgReply reply = asio::async_initiate<asio::yield_context, void(PgReply)>(
            [&pipe, &request](auto handler) { pipe.submit(request, std::move(handler)); }, m_yield);
        // The server ended the session, and libpq may not know it yet: the connection is not
        // used again, so that the call's next try gets a new one.
        if (!reply.ok() && pgSessionLost(reply.code))
            m_pipe->close();
        return reply;
    }

    void pause(std::chrono::milliseconds time) override
    {
        asio::steady_timer timer(m_yield.get_executor(), time);
        boost::system::error_code ignored;
        timer.async_wait(m_yield[ignored]);
    }

private:
    PgLoop &m_loop;
    asio::yield_context m_yield;
    const bool m_exclusive;
    std::shared_ptr<PgPipe> m_pipe;
    bool m_lost = false;
};

} // namespace

struct PgLoop::Fiber
{
    std::unique_ptr<Storage> read;
    std::unique_ptr<Storage> write;
};

PgLoop::PgLoop(asio::io_context &context, const PgAddress &address, StorageLimits limits,
               int writeConnections)
    : m_context(context)
    , m_address(address)
    , m_limits(limits)
    , m_writeConnections(std::max(1, writeConnections))
{}

PgLoop::~PgLoop() = default;

PgLoop *PgLoop::current()
{
    return currentLoop;
}

void PgLoop::makeCurrent()
{
    currentLoop = this;
}

void PgLoop::run(Job job)
{
    if (m_stopping) {
        refusingSource(job, "o servidor está sendo encerrado.");
        return;
    }
    if (m_queue.size() >= maxQueued) {
        refusingSource(job, "o servidor já atende o máximo de chamadas; tente novamente.");
        return;
    }
    m_queue.push_back(
        {std::move(job), Clock::now() + std::chrono::milliseconds(m_limits.statementTimeoutMs)});
    if (!m_idle.empty())
        wakeOne(m_idle);
    else if (m_fibers < maxCalls)
        startFiber();
}

void PgLoop::drain(std::function<void()> then)
{
    m_stopping = true;
    m_drained = std::move(then);
    while (!m_idle.empty())
        wakeOne(m_idle);
    if (m_fibers == 0)
        fiberEnded();
}

void PgLoop::startFiber()
{
    ++m_fibers;
    asio::spawn(
        m_context, std::allocator_arg, boost::context::protected_fixedsize_stack(fiberStack),
        [this](asio::yield_context yield) { fiberMain(yield); },
        [](std::exception_ptr failure) {
            if (!failure)
                return;
            try {
                std::rethrow_exception(failure);
            } catch (const std::exception &error) {
                logLine(std::string("falha interna numa chamada: ") + error.what());
            } catch (...) {
                logLine("falha interna numa chamada");
            }
        });
}

void PgLoop::fiberMain(asio::yield_context yield)
{
    {
        asio::steady_timer timer(m_context);
        Fiber fiber;
        fiber.read = std::make_unique<PostgresStorage>(
            m_address, m_limits, std::make_unique<LoopPgChannel>(*this, yield, false));
        fiber.write = std::make_unique<PostgresStorage>(
            m_address, m_limits, std::make_unique<LoopPgChannel>(*this, yield, true));
        const StorageSource source = [&fiber](Storage::Mode mode, std::string *error) -> Storage * {
            Storage &storage = mode == Storage::Mode::Write ? *fiber.write : *fiber.read;
            return storage.open(error) ? &storage : nullptr;
        };
        while (park(timer, yield)) {
            Queued queued = std::move(m_queue.front());
            m_queue.pop_front();
            if (Clock::now() > queued.until)
                refusingSource(queued.job, "o servidor está sobrecarregado; tente novamente.");
            else
                queued.job(source);
            // The write connection goes back for other fibers.
            fiber.write->close();
        }
    }
    fiberEnded();
}

bool PgLoop::park(asio::steady_timer &timer, asio::yield_context yield)
{
    while (m_queue.empty()) {
        if (m_stopping)
            return false;
        timer.expires_at(Clock::time_point::max());
        m_idle.push_back(&timer);
        boost::system::error_code ignored;
        timer.async_wait(yield[ignored]);
        std::erase(m_idle, &timer);
    }
    return true;
}

void PgLoop::wakeOne(std::vector<asio::steady_timer *> &sleepers)
{
    if (sleepers.empty())
        return;
    asio::steady_timer *timer = sleepers.back();
    sleepers.pop_back();
    timer->cancel();
}

void PgLoop::fiberEnded()
{
    if (m_fibers > 0)
        --m_fibers;
    if (!m_stopping || m_fibers > 0 || !m_drained)
        return;
    for (auto &pipe : m_readPipes)
        pipe->close();
    m_readPipes.clear();
    for (auto &pipe : m_freeWritePipes)
        pipe->close();
    m_freeWritePipes.clear();
    asio::post(m_context, std::exchange(m_drained, nullptr));
}

std::shared_ptr<PgPipe> PgLoop::readPipe(bool fresh)
{
    if (fresh)
        closeIdle(m_readPipes);
    std::erase_if(m_readPipes, [](const auto &pipe) { return pipe->broken(); });
    const auto least =
        std::min_element(m_readPipes.begin(), m_readPipes.end(),
                         [](const auto &a, const auto &b) { return a->waiting() < b->waiting(); });
    if (!fresh && least != m_readPipes.end() &&
        ((*least)->waiting() == 0 || m_readPipes.size() >= readConnections))
        return *least;
    m_readPipes.push_back(std::make_shared<PgPipe>(m_context.get_executor(), m_address, m_limits));
    return m_readPipes.back();
}

std::shared_ptr<PgPipe> PgLoop::takeWritePipe(asio::yield_context yield, bool fresh,
                                              std::string *error)
{
    if (fresh)
        closeIdle(m_freeWritePipes);
    const auto until = Clock::now() + std::chrono::milliseconds(m_limits.statementTimeoutMs);
    asio::steady_timer timer(m_context);
    for (;;) {
        std::erase_if(m_freeWritePipes, [](const auto &pipe) { return pipe->broken(); });
        if (!m_freeWritePipes.empty()) {
            std::shared_ptr<PgPipe> pipe = std::move(m_freeWritePipes.back());
            m_freeWritePipes.pop_back();
            ++m_writePipesOut;
            return pipe;
        }
        if (m_writePipesOut < m_writeConnections) {
            ++m_writePipesOut;
            return std::make_shared<PgPipe>(m_context.get_executor(), m_address, m_limits);
        }
        if (Clock::now() >= until) {
            *error = "todas as conexões de gravação estão ocupadas; tente novamente.";
            return nullptr;
        }
        timer.expires_at(until);
        m_writeWaiters.push_back(&timer);
        boost::system::error_code ignored;
        timer.async_wait(yield[ignored]);
        std::erase(m_writeWaiters, &timer);
    }
}

void PgLoop::closeIdle(std::vector<std::shared_ptr<PgPipe>> &pipes)
{
    for (auto &pipe : pipes)
        if (pipe->waiting() == 0)
            pipe->close();
    std::erase_if(pipes, [](const auto &pipe) { return pipe->broken(); });
}

void PgLoop::giveBackWritePipe(std::shared_ptr<PgPipe> pipe)
{
    --m_writePipesOut;
    if (!pipe->broken() && !m_stopping)
        m_freeWritePipes.push_back(std::move(pipe));
    else
        pipe->close();
    wakeOne(m_writeWaiters);
}

} // namespace caleserver
