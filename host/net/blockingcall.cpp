#include "net/blockingcall.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// Drops the operator's input while a call is in flight, including input that reaches widgets
// without passing through the window system queue.
class InputBlocker : public QObject
{
public:
    InputBlocker() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::NonClientAreaMouseButtonPress:
        case QEvent::NonClientAreaMouseButtonRelease:
        case QEvent::NonClientAreaMouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::TabletPress:
        case QEvent::TabletRelease:
            return true;
        default:
            return false;
        }
    }
};

// The thread that carries the calls' HTTP exchanges, kept for the process: starting a thread for
// each call cost about a third of a short call's round trip.
class CallThread
{
public:
    static CallThread &instance()
    {
        static CallThread thread;
        return thread;
    }

    ~CallThread()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_wake.notify_one();
        m_thread.join();
    }

    // Runs exchange and then done on the kept thread; false, running nothing, while it carries
    // another call. It is free again before done runs, so done may hand the result over.
    bool tryRun(std::function<void()> exchange, std::function<void()> done)
    {
        std::lock_guard lock(m_mutex);
        if (m_busy)
            return false;
        m_busy = true;
        m_exchange = std::move(exchange);
        m_done = std::move(done);
        m_wake.notify_one();
        return true;
    }

private:
    CallThread()
        : m_thread([this] { serve(); })
    {}

    void serve()
    {
        for (;;) {
            std::function<void()> exchange, done;
            {
                std::unique_lock lock(m_mutex);
                m_wake.wait(lock, [this] { return m_stopping || m_exchange; });
                if (!m_exchange)
                    return;
                exchange = std::exchange(m_exchange, nullptr);
                done = std::exchange(m_done, nullptr);
            }
            exchange();
            {
                std::lock_guard lock(m_mutex);
                m_busy = false;
            }
            done();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::function<void()> m_exchange, m_done;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread; // last: started once the members it uses exist
};

} // namespace

namespace host {

void RunBlockingCall(const std::function<void()> &work)
{
    QCoreApplication *app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread()) {
        work();
        return;
    }
    QEventLoop loop;
    const auto wakeCaller = [&loop] {
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    };
    // A call made while another waits (from a timer, say) gets a thread of its own.
    std::thread ownThread;
    if (!CallThread::instance().tryRun(work, wakeCaller))
        ownThread = std::thread([&] {
            work();
            wakeCaller();
        });
    {
        InputBlocker blocker;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    if (ownThread.joinable())
        ownThread.join();
}

} // namespace host
