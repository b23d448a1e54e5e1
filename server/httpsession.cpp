#include "httpsession.h"

#include "caleprodu_version.h"

#include "api/apianswer.h"
#include "logging.h"
#include "pgloop.h"
#include "rpc.h"
#include "workerpool.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <memory>
#include <optional>
#include <utility>
#include <variant>
#include <vector>

namespace caleserver {

namespace {

namespace asio = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t maxBody = 4 * 1024 * 1024;
constexpr std::uint32_t maxHeader = 16 * 1024;
// A request's header must arrive whole within headerTimeout (also the keep-alive idle time) and
// its body within bodyTimeout: a slow or silent client holds a socket, never a worker.
constexpr auto headerTimeout = std::chrono::seconds(10);
constexpr auto bodyTimeout = std::chrono::seconds(30);
constexpr auto writeTimeout = std::chrono::seconds(30);
// What is read and thrown away after refusing a body, so that the client sees the refusal
// instead of a reset connection.
constexpr std::size_t maxDrain = 8 * 1024 * 1024;
constexpr auto drainTimeout = std::chrono::seconds(2);
constexpr std::size_t readSize = 64 * 1024;
constexpr std::string_view rpcPath = "/QMR07700.rdmCaleProd";

// What one call produced, in the HTTP side's own types.
struct CallAnswer
{
    std::string body;
    std::string method;
    int code = 0;
};

// The calling thread's storage, opened on first use and again after a failure. Given `readOnly`,
// a write is not run but refused, to be run again by a worker.
StorageSource threadStorage(std::unique_ptr<Storage> &storage, const std::string &databaseUrl,
                            const StorageLimits &limits, bool readOnly)
{
    return [&storage, &databaseUrl, limits, readOnly](Storage::Mode mode,
                                                      std::string *error) -> Storage * {
        if (readOnly && mode == Storage::Mode::Write) {
            *error = "gravação feita por um worker";
            return nullptr;
        }
        if (!storage) {
            storage = Storage::create(databaseUrl, error, limits);
            if (!storage)
                return nullptr;
        }
        if (!storage->open(error)) {
            storage.reset();
            return nullptr;
        }
        return storage.get();
    };
}

// An event loop's own SQLite connection, which never waits for a lock.
std::unique_ptr<Storage> &loopStorage()
{
    thread_local std::unique_ptr<Storage> storage;
    return storage;
}

// Runs one JSON-RPC body on the calling thread's storage. Given `deferred`, the call may only
// read: one that would write or that met a storage failure (a busy file) is not answered but
// flagged, to be run again by a worker.
CallAnswer answerCall(std::string_view body, std::unique_ptr<Storage> &storage,
                      const std::string &databaseUrl, const StorageLimits &limits,
                      const Caller &caller, bool *deferred = nullptr)
{
    RpcAnswer answer =
        answerRpc(body, threadStorage(storage, databaseUrl, limits, deferred != nullptr), caller);
    if (deferred)
        *deferred = answer.code == ErrorCode::StorageFailure;
    return {std::move(answer.body), std::move(answer.method), answer.code};
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

// Constant time over the expected token, so the answer's timing does not reveal how much of a
// guess was right.
bool sameToken(std::string_view given, std::string_view expected)
{
    unsigned char difference = given.size() == expected.size() ? 0 : 1;
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const char g = given.empty() ? '\0' : given[i % given.size()];
        difference |= static_cast<unsigned char>(g ^ expected[i]);
    }
    return difference == 0;
}

// "Bearer <token>", the scheme in any letter case.
bool authorized(std::string_view header, std::string_view token)
{
    header = trimmed(header);
    const std::size_t space = header.find(' ');
    if (space == std::string_view::npos || !equalsIgnoringCase(header.substr(0, space), "bearer"))
        return false;
    return sameToken(trimmed(header.substr(space + 1)), token);
}

// A page of another site may make a browser post here; only the server's own origin may.
bool sameOrigin(std::string_view origin, std::string_view host)
{
    for (std::string_view scheme : {"http://", "https://"}) {
        if (origin.size() > scheme.size() &&
            equalsIgnoringCase(origin.substr(0, scheme.size()), scheme))
            return equalsIgnoringCase(origin.substr(scheme.size()), trimmed(host));
    }
    return false;
}

bool isJson(std::string_view contentType)
{
    return equalsIgnoringCase(trimmed(contentType.substr(0, contentType.find(';'))),
                              "application/json");
}

// A Host that only this machine answers to. A page of another site can point its own name at
// 127.0.0.1 and then post here as its "own" origin; without a token, only local names may.
bool isLocalHost(std::string_view host)
{
    host = trimmed(host);
    std::string_view name = host.substr(0, host.rfind(':'));
    if (host.starts_with('['))
        name = host.substr(1, host.find(']') - 1);
    if (equalsIgnoringCase(name, "localhost"))
        return true;
    beast::error_code ec;
    const asio::ip::address address = asio::ip::make_address(name, ec);
    return !ec && isLoopback(address);
}

// At most 80 bytes of request text for a log line, never cut inside a character.
std::string_view logExcerpt(std::string_view text)
{
    std::size_t size = std::min<std::size_t>(text.size(), 80);
    while (size > 0 && size < text.size() &&
           (static_cast<unsigned char>(text[size]) & 0xC0) == 0x80)
        --size;
    return text.substr(0, size);
}

// The parts of a request target the server reads: the path, and the authority of the absolute
// form ("http://host:port/path"), which names the server in place of the Host header.
struct Target
{
    std::string_view authority;
    std::string_view path;
};

Target splitTarget(std::string_view target)
{
    Target parts;
    for (std::string_view scheme : {"http://", "https://"}) {
        if (target.size() > scheme.size() &&
            equalsIgnoringCase(target.substr(0, scheme.size()), scheme)) {
            target.remove_prefix(scheme.size());
            const std::size_t end = std::min(target.find_first_of("/?"), target.size());
            parts.authority = target.substr(0, end);
            target.remove_prefix(end);
            break;
        }
    }
    parts.path = target.substr(0, target.find('?'));
    if (!parts.authority.empty() && parts.path.empty())
        parts.path = "/";
    return parts;
}

// HTTP/1.1 names the server in exactly one Host header; of two, a proxy in front and this server
// could each take another.
bool hostHeaderValid(const http::fields &fields, unsigned version)
{
    const auto [first, last] = fields.equal_range(http::field::host);
    const auto count = std::distance(first, last);
    return count == 1 || (count == 0 && version < 11);
}

// The transfer codings of every Transfer-Encoding header, in order, without their parameters.
std::vector<std::string_view> transferCodings(const http::fields &fields)
{
    std::vector<std::string_view> codings;
    const auto [first, last] = fields.equal_range(http::field::transfer_encoding);
    for (auto field = first; field != last; ++field) {
        std::string_view list = field->value();
        while (!list.empty()) {
            const std::size_t comma = std::min(list.find(','), list.size());
            const std::string_view item = list.substr(0, comma);
            const std::string_view coding = trimmed(item.substr(0, item.find(';')));
            if (!coding.empty())
                codings.push_back(coding);
            list.remove_prefix(std::min(comma + 1, list.size()));
        }
    }
    return codings;
}

// Only chunked alone frames a body this server reads. Another coding leaves the body's end to
// guesswork (501), chunked anywhere but last leaves it unknown (400): either way what follows
// could be read as another request, so it is refused before any path is served.
std::optional<http::status> transferRefusal(const http::fields &fields)
{
    if (fields.find(http::field::transfer_encoding) == fields.end())
        return std::nullopt;
    const std::vector<std::string_view> codings = transferCodings(fields);
    const auto isChunked = [](std::string_view coding) {
        return equalsIgnoringCase(coding, "chunked");
    };
    if (codings.empty() || std::any_of(codings.begin(), codings.end() - 1, isChunked))
        return http::status::bad_request;
    if (codings.size() == 1 && isChunked(codings.back()))
        return std::nullopt;
    return http::status::not_implemented;
}

// One client connection: reads requests one after the other on its event loop, answers SQLite
// reads there and hands every other call to the workers, writes the answers in the order the
// requests came, then reads the next.
class Session : public std::enable_shared_from_this<Session>
{
public:
    Session(tcp::socket socket, const SessionContext &context)
        : m_stream(std::move(socket))
        , m_context(context)
    {}

    void start() { readHeader(); }

private:
    void readHeader()
    {
        m_path.clear();
        m_head = false;
        m_extraFields.clear();
        m_parser.emplace();
        m_parser->header_limit(maxHeader);
        m_parser->body_limit(maxBody);
        m_stream.expires_after(headerTimeout);
        parseHeader();
    }

    // The parser is fed from the buffer here rather than by Beast's read operations, which wait
    // for more input whenever the parser does: blank lines before a request and chunk lines the
    // parser can never end must be seen while they wait.
    void parseHeader()
    {
        beast::error_code ec;
        if (!skipBlankLines())
            return readMore(&Session::headerRead);
        if (parseBuffered(false, ec) || ec)
            return onHeader(ec);
        readMore(&Session::headerRead);
    }

    void headerRead(beast::error_code ec)
    {
        if (ec)
            return onHeader(ec == asio::error::eof ? endOfInput() : ec);
        parseHeader();
    }

    void parseBody()
    {
        beast::error_code ec;
        if (parseBuffered(true, ec) || ec)
            return onBody(ec);
        if (m_parser->chunked() && !chunkLineMayEnd())
            return onBody(http::error::bad_chunk);
        readMore(&Session::bodyRead);
    }

    void bodyRead(beast::error_code ec)
    {
        if (ec)
            return onBody(ec == asio::error::eof ? endOfInput() : ec);
        parseBody();
    }

    void readMore(void (Session::*next)(beast::error_code))
    {
        m_stream.async_read_some(
            m_buffer.prepare(readSize),
            [self = shared_from_this(), next](beast::error_code ec, std::size_t size) {
                self->m_buffer.commit(size);
                ((*self).*next)(ec);
            });
    }

    // Feeds the parser what the buffer holds: true once the header (or, `whole`, the whole
    // message) is in, or on a failure in `ec`.
    bool parseBuffered(bool whole, beast::error_code &ec)
    {
        const auto finished = [&] {
            return whole ? m_parser->is_done() : m_parser->is_header_done();
        };
        m_parser->eager(whole);
        while (!finished() && m_buffer.size() > 0) {
            const std::size_t used = m_parser->put(m_buffer.data(), ec);
            m_buffer.consume(used);
            if (ec == http::error::need_more) {
                ec = {};
                return false;
            }
            if (ec)
                return true;
            if (used == 0)
                return false;
        }
        return finished();
    }

    // The client ended its side: a clean end between requests, else a message cut short.
    beast::error_code endOfInput()
    {
        if (!m_parser->got_some())
            return http::error::end_of_stream;
        beast::error_code ec;
        m_parser->put_eof(ec);
        return ec ? ec : beast::error_code(http::error::partial_message);
    }

    std::string_view buffered() const
    {
        const auto data = m_buffer.data();
        return {static_cast<const char *>(data.data()), data.size()};
    }

    // Drops empty lines before a request line, as clients may send one after a body; false while
    // all the buffer holds may still become one.
    bool skipBlankLines()
    {
        if (m_parser->got_some())
            return true;
        for (;;) {
            const std::string_view text = buffered();
            if (text.starts_with("\r\n"))
                m_buffer.consume(2);
            else if (text.starts_with('\n'))
                m_buffer.consume(1);
            else
                return text != "\r";
        }
    }

    // What waits unparsed in a chunked body is a chunk's size line or the trailer, which the
    // parser ends only at a CRLF: a line ended by a bare LF, or one longer than a header may be,
    // would hold the connection until the timeout.
    bool chunkLineMayEnd() const
    {
        const std::string_view text = buffered();
        if (text.size() > maxHeader)
            return false;
        for (std::size_t at = text.find('\n'); at != std::string_view::npos;
             at = text.find('\n', at + 1))
            if (at == 0 || text[at - 1] != '\r')
                return false;
        return true;
    }

    void onHeader(beast::error_code ec)
    {
        if (ec == http::error::header_limit)
            return refuse(http::status::request_header_fields_too_large,
                          "Cabeçalhos grandes demais.\n");
        if (ec == http::error::body_limit)
            return refuse(http::status::payload_too_large, "Corpo maior que 4 MiB.\n");
        if (ec == http::error::end_of_stream || ec == beast::error::timeout ||
            ec == asio::error::operation_aborted || ec == asio::error::connection_reset ||
            ec == asio::error::eof)
            return close();
        if (ec)
            return refuse(http::status::bad_request, "Requisição HTTP malformada.\n");

        const auto &request = m_parser->get();
        const Target target = splitTarget(request.target());
        m_path = std::string(target.path);
        m_keepAlive = request.keep_alive();
        m_version = request.version();
        m_head = request.method() == http::verb::head;

        // How the request is framed is judged before any path is served: a request hidden in
        // the body of another must never be read as one.
        if (!hostHeaderValid(request, m_version))
            return refuse(http::status::bad_request, "Informe um, e só um, cabeçalho Host.\n");
        if (const auto refusal = transferRefusal(request))
            return refuse(*refusal,
                          "Codificação de transferência não aceita: use chunked ou "
                          "Content-Length.\n",
                          true);
        if (m_path == "/health" && (request.method() == http::verb::get || m_head)) {
            // Answered here, never queued behind the workers: load balancers judge the process
            // by it, whatever the database is doing.
            if (!m_parser->is_done())
                m_keepAlive = false;
            return respond(http::status::ok, "ok caleprodu-server " CALEPRODU_VERSION "\n",
                           "text/plain", !m_parser->is_done());
        }
        if (!m_context.token.empty() &&
            !authorized(request[http::field::authorization], m_context.token))
            return refuse(http::status::unauthorized,
                          "Autenticação exigida: envie Authorization: Bearer <token>.\n");
        const std::string_view host = target.authority.empty()
                                          ? std::string_view(request[http::field::host])
                                          : target.authority;
        const auto origin = request.find(http::field::origin);
        if (origin != request.end() &&
            (!sameOrigin(origin->value(), host) || (m_context.token.empty() && !isLocalHost(host))))
            return refuse(http::status::forbidden, "Origem não permitida.\n");
        if (api::isApiPath(m_path))
            return answerApiRequest();
        if (request.method() != http::verb::post || m_path != rpcPath)
            return refuse(http::status::not_found, "Não encontrado.\n");
        const auto encoding = request.find(http::field::content_encoding);
        if (encoding != request.end() &&
            !equalsIgnoringCase(trimmed(encoding->value()), "identity"))
            return refuse(http::status::unsupported_media_type,
                          "Corpo codificado não é aceito: envie JSON sem compressão.\n");
        if (!isJson(request[http::field::content_type]))
            return refuse(http::status::unsupported_media_type,
                          "Tipo de conteúdo não aceito: envie application/json.\n");
        if (!readOperator(request))
            return refuse(http::status::bad_request,
                          "Cabeçalho X-Operador inválido: envie um nome de até 64 bytes, sem "
                          "caracteres de controle.\n");

        // An HTTP/1.0 client knows no interim answer and takes it for the whole one.
        if (m_version >= 11 &&
            equalsIgnoringCase(trimmed(request[http::field::expect]), "100-continue"))
            return sendContinue();
        readBody();
    }

    // The operator whose writes the journal records: the X-Operador header, else
    // "desconhecido"; a header given twice, too long or with control characters is refused.
    bool readOperator(const http::request_header<> &request)
    {
        m_caller = Caller{};
        m_caller.journalDays = m_context.journalDays;
        const auto range = request.equal_range("X-Operador");
        if (range.first == range.second)
            return true;
        if (std::next(range.first) != range.second)
            return false;
        const std::string_view name = trimmed(range.first->value());
        if (!validOperatorName(name))
            return false;
        m_caller.operatorName = std::string(name);
        return true;
    }

    void sendContinue()
    {
        static constexpr std::string_view text = "HTTP/1.1 100 Continue\r\n\r\n";
        m_stream.expires_after(writeTimeout);
        asio::async_write(m_stream, asio::buffer(text.data(), text.size()),
                          [self = shared_from_this()](beast::error_code ec, std::size_t) {
                              if (ec)
                                  return self->close();
                              self->readBody();
                          });
    }

    void readBody()
    {
        m_stream.expires_after(bodyTimeout);
        parseBody();
    }

    void onBody(beast::error_code ec)
    {
        if (ec == http::error::body_limit)
            return refuse(http::status::payload_too_large, "Corpo maior que 4 MiB.\n");
        if (ec == beast::error::timeout || ec == asio::error::operation_aborted ||
            ec == asio::error::connection_reset)
            return close();
        if (ec)
            return refuse(http::status::bad_request, "Corpo HTTP malformado ou incompleto.\n");
        m_stream.expires_never();
        m_started = Clock::now();
        std::string body = std::move(m_parser->get().body());
        if (m_context.pgOnLoops)
            return answerOnLoop(std::move(body));
        if (m_context.readsInline && answeredInline(body))
            return;
        const SessionContext &context = m_context;
        context.workers->submit([self = shared_from_this(), body = std::move(body), &context,
                                 caller = m_caller](std::unique_ptr<Storage> &storage) mutable {
            CallAnswer answer =
                answerCall(body, storage, context.databaseUrl, context.limits, caller);
            auto executor = self->m_stream.get_executor();
            asio::post(executor, [self = std::move(self), answer = std::move(answer)]() mutable {
                self->answered(std::move(answer));
            });
        });
    }

    // A PostgreSQL call waits for the database on a fiber of this loop, which meanwhile answers
    // everything else: no hand-off to another thread and back.
    void answerOnLoop(std::string body)
    {
        PgLoop::current()->run(
            [self = shared_from_this(), body = std::move(body)](const StorageSource &source) {
                RpcAnswer answer = answerRpc(body, source, self->m_caller);
                self->answered({std::move(answer.body), std::move(answer.method), answer.code});
            });
    }

    // In WAL mode a SQLite read never waits for a writer, and the trip to a worker and back cost
    // a third of a lookup, so reads are answered here, on the loop's own connection. Writes, and
    // a read that found the file busy, go to the workers, where waiting holds no loop.
    bool answeredInline(const std::string &body)
    {
        bool deferred = false;
        CallAnswer answer = answerCall(body, loopStorage(), m_context.databaseUrl, neverWait(),
                                       m_caller, &deferred);
        if (deferred)
            return false;
        answered(std::move(answer));
        return true;
    }

    StorageLimits neverWait() const
    {
        StorageLimits limits = m_context.limits;
        limits.sqliteBusyMs = 0;
        return limits;
    }

    // " 1.2 ms ": the call's time for its log line (to_chars: snprintf cost a twentieth of a
    // lookup).
    std::string elapsedText() const
    {
        const double ms =
            std::chrono::duration<double, std::milli>(Clock::now() - m_started).count();
        char text[32] = " ";
        const auto end =
            std::to_chars(text + 1, text + sizeof text - 4, ms, std::chars_format::fixed, 1);
        return std::string(text, end.ptr) + " ms ";
    }

    void answered(CallAnswer answer)
    {
        logLine(answer.method + elapsedText() +
                (answer.code == 0 ? std::string("ok") : "erro " + std::to_string(answer.code)));
        respond(http::status::ok, std::move(answer.body), "application/json", false);
    }

    // ---- /api/v1: the read-only calendar interface (server/api/) -------------------------------

    // Answered like a JSON-RPC read: on the loop, a busy SQLite file on a worker.
    void answerApiRequest()
    {
        m_started = Clock::now();
        const auto &request = m_parser->get();
        auto read =
            api::readApiRequest(request.method_string(), request.target(), !m_parser->is_done(),
                                request[http::field::if_none_match], Date::today());
        if (auto *refusal = std::get_if<api::ApiAnswer>(&read))
            return apiAnswered(std::move(*refusal));
        api::ApiQuery query = std::get<api::ApiQuery>(std::move(read));
        if (m_context.pgOnLoops) {
            PgLoop::current()->run(
                [self = shared_from_this(), query = std::move(query)](const StorageSource &source) {
                    self->apiAnswered(api::answerApi(query, source));
                });
            return;
        }
        if (m_context.readsInline) {
            api::ApiAnswer answer = api::answerApi(
                query, threadStorage(loopStorage(), m_context.databaseUrl, neverWait(), true));
            if (!answer.storageFailed())
                return apiAnswered(std::move(answer));
        }
        const SessionContext &context = m_context;
        context.workers->submit([self = shared_from_this(), query = std::move(query),
                                 &context](std::unique_ptr<Storage> &storage) mutable {
            api::ApiAnswer answer = api::answerApi(
                query, threadStorage(storage, context.databaseUrl, context.limits, true));
            auto executor = self->m_stream.get_executor();
            asio::post(executor, [self = std::move(self), answer = std::move(answer)]() mutable {
                self->apiAnswered(std::move(answer));
            });
        });
    }

    void apiAnswered(api::ApiAnswer answer)
    {
        logLine(std::string(m_parser->get().method_string()) + ' ' +
                std::string(logExcerpt(m_path)) + elapsedText() + std::to_string(answer.status));
        if (!answer.etag.empty()) {
            m_extraFields.emplace_back(http::field::etag, answer.etag);
            // Stored, but asked again every time: the tag makes the asking cheap.
            m_extraFields.emplace_back(http::field::cache_control, "no-cache");
        }
        if (answer.status == 405)
            m_extraFields.emplace_back(http::field::allow, "GET, HEAD");
        const bool unreadBody = !m_parser->is_done();
        if (unreadBody)
            m_keepAlive = false;
        respond(static_cast<http::status>(answer.status), std::move(answer.body),
                answer.contentType, unreadBody);
    }

    // ---------------------------------------------------------------------------------------------

    // Answers without reading the body (when there is one, or may be: `bodyUnknown`) and ends
    // the connection.
    void refuse(http::status status, std::string text, bool bodyUnknown = false)
    {
        if (status != http::status::not_found)
            logLine(std::string(logExcerpt(m_path.empty() ? "-" : m_path)) + " recusada: HTTP " +
                    std::to_string(static_cast<int>(status)));
        m_keepAlive = false;
        const bool unread = bodyUnknown || !m_parser || !m_parser->is_done();
        respond(status, std::move(text), "text/plain; charset=utf-8", unread);
    }

    void respond(http::status status, std::string body, std::string_view type, bool unreadBody)
    {
        m_response = {};
        m_response.version(m_version);
        m_response.result(status);
        if (!type.empty())
            m_response.set(http::field::content_type, type);
        for (const auto &[field, value] : m_extraFields)
            m_response.set(field, value);
        if (status == http::status::unauthorized)
            m_response.set(http::field::www_authenticate, "Bearer");
        m_response.body() = std::move(body);
        m_response.keep_alive(m_keepAlive && !unreadBody);
        m_response.prepare_payload();
        if (status == http::status::not_modified)
            m_response.erase(http::field::content_length); // a 304's length would be the 200's
        if (m_head)
            m_response.body().clear(); // the length stays announced, the body is not sent
        m_stream.expires_after(writeTimeout);
        http::async_write(
            m_stream, m_response,
            [self = shared_from_this(), unreadBody](beast::error_code ec, std::size_t) {
                if (ec)
                    return self->close();
                if (unreadBody)
                    return self->drain();
                if (!self->m_response.keep_alive())
                    return self->close();
                self->readHeader();
            });
    }

    // Stops sending and reads (then drops) what the client still sends for a moment, so that
    // closing with unread data does not reset the connection before the answer is read.
    void drain()
    {
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_send, ignored);
        m_stream.expires_after(drainTimeout);
        m_drained = 0;
        drainSome();
    }

    void drainSome()
    {
        m_buffer.clear();
        m_stream.async_read_some(m_buffer.prepare(64 * 1024),
                                 [self = shared_from_this()](beast::error_code ec, std::size_t n) {
                                     self->m_drained += n;
                                     if (ec || self->m_drained > maxDrain)
                                         return self->close();
                                     self->drainSome();
                                 });
    }

    void close()
    {
        beast::error_code ignored;
        m_stream.socket().shutdown(tcp::socket::shutdown_both, ignored);
        m_stream.close();
    }

    beast::tcp_stream m_stream;
    const SessionContext &m_context;
    beast::flat_buffer m_buffer;
    std::optional<http::request_parser<http::string_body>> m_parser;
    http::response<http::string_body> m_response;
    std::string m_path;
    Caller m_caller;
    unsigned m_version = 11;
    bool m_keepAlive = true;
    bool m_head = false;
    std::vector<std::pair<http::field, std::string>> m_extraFields;
    Clock::time_point m_started;
    std::size_t m_drained = 0;
};

} // namespace

void startSession(tcp::socket socket, const SessionContext &context)
{
    std::make_shared<Session>(std::move(socket), context)->start();
}

bool isLoopback(const asio::ip::address &address)
{
    if (address.is_v6() && address.to_v6().is_v4_mapped())
        return asio::ip::make_address_v4(asio::ip::v4_mapped, address.to_v6()).is_loopback();
    return address.is_loopback();
}

} // namespace caleserver
