#include "tnetconnection.h"

#include "exceptions.h"
#include "httpclient.h"
#include "operatorcontext.h"

#include <QCoreApplication>
#include <QDate>
#include <QDateTime>
#include <QEvent>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPointer>
#include <QThread>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <utility>

namespace {

constexpr int ConnectTimeoutSeconds = 5;
constexpr int ReadTimeoutSeconds = 120;

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

QJsonValue toJsonParam(const QVariant &value)
{
    switch (value.typeId()) {
    case QMetaType::UnknownType:
    case QMetaType::Nullptr:
        return QJsonValue::Null;
    case QMetaType::QString:
        return value.toString();
    case QMetaType::QDate:
        return value.toDate().isValid() ? QJsonValue(value.toDate().toString(Qt::ISODate))
                                        : QJsonValue::Null;
    case QMetaType::QDateTime:
        // Remote dates carry no time of day.
        return value.toDateTime().isValid()
                   ? QJsonValue(value.toDateTime().date().toString(Qt::ISODate))
                   : QJsonValue::Null;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        return value.toLongLong();
    case QMetaType::QJsonObject:
        return value.toJsonObject();
    default:
        return QJsonValue::fromVariant(value);
    }
}

QString transportCause(HttpClient::Failure failure)
{
    switch (failure) {
    case HttpClient::Failure::Connect:
        return QStringLiteral("conexão recusada ou impossível");
    case HttpClient::Failure::ConnectTimeout:
        return QStringLiteral("tempo de conexão esgotado (%1 s)").arg(ConnectTimeoutSeconds);
    case HttpClient::Failure::Read:
        return QStringLiteral("resposta não recebida (falha ou tempo de leitura esgotado)");
    case HttpClient::Failure::Write:
        return QStringLiteral("falha ao enviar o pedido");
    case HttpClient::Failure::None:
        break;
    }
    return QStringLiteral("falha de comunicação");
}

} // namespace

struct TNetConnection::Private
{
    std::unique_ptr<HttpClient> idle; // kept between calls for keep-alive
    QString clientHost;
    int clientPort = 0;
    QString token;
};

TNetConnection::TNetConnection(QObject *owner)
    : QObject(owner)
    , d(std::make_unique<Private>())
{}

TNetConnection::~TNetConnection() = default;

void TNetConnection::SetHost(const QString &host)
{
    m_host = host;
}

void TNetConnection::SetPort(int port)
{
    m_port = port;
}

void TNetConnection::SetConnected(bool connected)
{
    if (connected)
        Open();
    else
        Close();
}

void TNetConnection::Open()
{
    if (m_connected)
        return;
    raise(BeforeConnect, this);
    d->token = m_token.isEmpty() ? WebToken() : m_token;
    m_connected = true;
    raise(AfterConnect, this);
}

void TNetConnection::Close()
{
    if (!m_connected)
        return;
    raise(BeforeDisconnect, this);
    m_connected = false;
    d->idle.reset();
    raise(AfterDisconnect, this);
}

TNetConnection *TNetConnection::AppServer()
{
    Open();
    return this;
}

TServerResult TNetConnection::Call(const QString &method, const QVariantList &params)
{
    Open();
    emit called(method, params);
    QJsonArray jsonParams;
    for (const QVariant &p : params)
        jsonParams.append(toJsonParam(p));
    const QJsonObject request{{QStringLiteral("jsonrpc"), QStringLiteral("2.0")},
                              {QStringLiteral("id"), m_nextId++},
                              {QStringLiteral("method"), method},
                              {QStringLiteral("params"), jsonParams}};
    const QByteArray body = QJsonDocument(request).toJson(QJsonDocument::Compact);
    const std::string path = (QLatin1Char('/') + m_serverName).toStdString();
    const QString host = m_host;
    const int port = m_port;
    const bool throwException = m_throwException;
    // A handler run while waiting may destroy this connection (its screen closed by a timer).
    const QPointer<TNetConnection> self(this);
    const std::string token = d->token.toStdString();

    // A call made while another is waiting (from a timer, say) gets a client of its own.
    std::unique_ptr<HttpClient> client;
    if (d->idle && d->clientHost == host && d->clientPort == port)
        client = std::move(d->idle);
    if (!client)
        client = std::make_unique<HttpClient>(host.toStdString(), port, ConnectTimeoutSeconds,
                                              ReadTimeoutSeconds);

    HttpClient::Answer answer;
    const auto post = [&] { answer = client->postJson(path, token, body.toStdString()); };

    QCoreApplication *app = QCoreApplication::instance();
    if (app && QThread::currentThread() == app->thread()) {
        QEventLoop loop;
        const auto wakeCaller = [&loop] {
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        };
        // A call made while another waits (from a timer, say) gets a thread of its own.
        std::thread ownThread;
        if (!CallThread::instance().tryRun(post, wakeCaller))
            ownThread = std::thread([&] {
                post();
                wakeCaller();
            });
        {
            InputBlocker blocker;
            loop.exec(QEventLoop::ExcludeUserInputEvents);
        }
        if (ownThread.joinable())
            ownThread.join();
    } else {
        post();
    }

    const auto unavailable = [&](const QString &cause) {
        TServerResult r;
        r.message = QStringLiteral("Servidor de aplicação indisponível (%1:%2): %3")
                        .arg(host)
                        .arg(port)
                        .arg(cause);
        return r;
    };
    TServerResult result;
    if (answer.failure != HttpClient::Failure::None) {
        result = unavailable(transportCause(answer.failure));
    } else if (answer.status != 200) {
        result = unavailable(answer.status == 401
                                 ? QStringLiteral("acesso não autorizado (HTTP 401)")
                                 : QStringLiteral("resposta HTTP %1").arg(answer.status));
    } else {
        QJsonParseError parseError;
        const QJsonDocument doc =
            QJsonDocument::fromJson(QByteArray::fromStdString(answer.body), &parseError);
        const QJsonObject reply = doc.object();
        if (parseError.error != QJsonParseError::NoError || !doc.isObject()) {
            result = unavailable(QStringLiteral("resposta ilegível"));
        } else if (reply.value(QStringLiteral("error")).isObject()) {
            const QJsonObject err = reply.value(QStringLiteral("error")).toObject();
            result.message = err.value(QStringLiteral("message")).toString();
            result.code = err.value(QStringLiteral("code")).toInt();
            if (result.message.isEmpty())
                result.message =
                    QStringLiteral("Erro no servidor de aplicação (%1).").arg(result.code);
        } else if (reply.contains(QStringLiteral("result"))) {
            result.ok = true;
            result.payload = reply.value(QStringLiteral("result"));
        } else {
            result = unavailable(QStringLiteral("resposta ilegível"));
        }
    }

    // Keep the client for the next call only if it still matches this connection.
    if (self && m_connected && m_host == host && m_port == port && !d->idle &&
        answer.failure == HttpClient::Failure::None) {
        d->idle = std::move(client);
        d->clientHost = host;
        d->clientPort = port;
    }

    if (!result.ok && throwException)
        throw EServerError(result.message, result.code);
    return result;
}

QJsonObject CheckResultServ(const TServerResult &result, bool raiseOnError, int helpContext)
{
    Q_UNUSED(helpContext);
    if (!result.ok) {
        if (raiseOnError)
            throw EServerError(result.message, result.code);
        return {};
    }
    return result.payload.toObject();
}
