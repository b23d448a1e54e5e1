// The HTTP layer under hostile traffic, over raw sockets: what is refused before any body is
// read, what is bounded, and that slow, idle or locked-out clients never stop the others.

#include <rawconnection.h>
#include <serverfixture.h>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <QTest>

#include <atomic>
#include <thread>
#include <unistd.h>

using testsupport::chunked;
using testsupport::RawConnection;
using testsupport::RpcClient;

namespace {

const QByteArray lookup = R"({"jsonrpc":"2.0","id":1,"method":"GetPesqCaleProdu","params":["1"]})";

} // namespace

class tst_Network : public QObject
{
    Q_OBJECT

    testsupport::ServerFixture m_fixture{{.seedDemo = true, .token = {}, .threads = 2}};
    std::unique_ptr<caleserver::Server> m_guarded; // demands "segredo"

private slots:
    void initTestCase()
    {
        QString message;
        QCOMPARE(m_fixture.use(testsupport::Engine::Sqlite, &message),
                 testsupport::ServerFixture::Status::Ready);
        m_guarded = m_fixture.startAnother(&message, QStringLiteral("segredo"));
        QVERIFY2(m_guarded, qPrintable(message));
    }

    void cleanupTestCase()
    {
        m_guarded.reset();
        m_fixture.cleanup();
    }

    void request_data()
    {
        QTest::addColumn<bool>("guarded");
        // %PORT% in a request stands for the port of the server it goes to.
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<int>("status");
        const QByteArray json = "Content-Type: application/json\r\n";
        const auto row = [](const char *name, bool guarded, const QByteArray &request, int status) {
            QTest::newRow(name) << guarded << request << status;
        };
        const auto plain = [&](const QByteArray &headers) {
            return testsupport::rawPost(0, headers, lookup);
        };
        row("JSON", false, plain(json), 200);
        row("JSON with a charset", false,
            plain("Content-Type: Application/JSON; charset=utf-8\r\n"), 200);
        row("form post", false, plain("Content-Type: application/x-www-form-urlencoded\r\n"), 415);
        row("plain text", false, plain("Content-Type: text/plain\r\n"), 415);
        row("no content type", false, plain(""), 415);
        row("gzip body", false, plain(json + "Content-Encoding: gzip\r\n"), 415);
        row("deflate body", false, plain(json + "Content-Encoding: deflate\r\n"), 415);
        row("origin of another site", false, plain(json + "Origin: http://outro.example\r\n"), 403);
        row("opaque origin", false, plain(json + "Origin: null\r\n"), 403);
        row("own origin", false, plain(json + "Origin: http://127.0.0.1:%PORT%\r\n"), 200);
        row("bearer in lower case", true, plain(json + "Authorization: bearer segredo\r\n"), 200);
        row("bearer in upper case", true, plain(json + "Authorization: BEARER segredo\r\n"), 200);
        row("another scheme", true, plain(json + "Authorization: Basic segredo\r\n"), 401);
        row("token with a bad last letter", true, plain(json + "Authorization: Bearer segredO\r\n"),
            401);
        row("header flood", false,
            plain(json + "X-Enchimento: " + QByteArray(64 * 1024, 'a') + "\r\n"), 431);
        row("declared body over the limit", false,
            "POST /QMR07700.rdmCaleProd HTTP/1.1\r\nHost: x\r\n" + json +
                "Content-Length: 5000000\r\n\r\n",
            413);
        const QByteArray chunkedHead = "POST /QMR07700.rdmCaleProd HTTP/1.1\r\nHost: x\r\n" + json +
                                       "Transfer-Encoding: chunked\r\n\r\n";
        row("chunked body", false, chunkedHead + chunked(lookup, 7), 200);
        row("chunked body over the limit", false,
            chunkedHead + chunked("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"" +
                                      QByteArray(5 * 1024 * 1024, 'x') + "\"}",
                                  64 * 1024),
            413);
    }

    void request()
    {
        QFETCH(bool, guarded);
        QFETCH(QByteArray, request);
        QFETCH(int, status);
        const int port = guarded ? m_guarded->port() : m_fixture.port();
        request.replace("127.0.0.1:0", "127.0.0.1:" + QByteArray::number(port));
        request.replace("%PORT%", QByteArray::number(port));
        RawConnection connection(port);
        connection.send(request);
        const auto [answered, body] = connection.answer();
        QCOMPARE(answered, status);
        if (status == 200)
            QVERIFY2(body.contains("\"rows\":[[\"0001\"]]"), body.constData());
        // The server keeps serving everyone else.
        QCOMPARE(m_fixture.client().call("GetPesqCaleProdu", {"0001"}).column(),
                 QStringList{"0001"});
    }

    void pipelinedRequestsAnsweredInOrder()
    {
        QByteArray requests;
        for (int id = 1; id <= 5; ++id)
            requests += testsupport::rawPost(
                m_fixture.port(), "Content-Type: application/json\r\n",
                QByteArray(lookup).replace("\"id\":1", "\"id\":" + QByteArray::number(id)));
        RawConnection connection(m_fixture.port());
        connection.send(requests);
        for (int id = 1; id <= 5; ++id) {
            const auto [status, body] = connection.answer();
            QCOMPARE(status, 200);
            QVERIFY2(body.startsWith("{\"id\":" + QByteArray::number(id) + ","), body.constData());
        }
    }

    void idleAndSlowClientsHoldNoWorker()
    {
        // More silent and slow connections than workers; the others are still served, and the
        // server ends the silent and slow ones itself.
        std::vector<std::unique_ptr<RawConnection>> stalled;
        for (int i = 0; i < 6; ++i) {
            stalled.push_back(std::make_unique<RawConnection>(m_fixture.port()));
            if (i % 2)
                stalled.back()->send("POST /QMR07700.rdmCaleProd HTTP/1.1\r\nHo");
        }
        stalled.push_back(std::make_unique<RawConnection>(m_fixture.port()));
        stalled.back()->send(
            testsupport::rawPost(m_fixture.port(), "Content-Type: application/json\r\n", lookup)
                .chopped(10));
        QCOMPARE(m_fixture.client().call("GetPesqCaleProdu", {"0001"}).column(),
                 QStringList{"0001"});
        for (auto &connection : stalled)
            QVERIFY(connection->closedByServer(std::chrono::seconds(60)));
    }

    void healthWhileTheDatabaseIsLocked()
    {
        // Another program holds the SQLite file's write lock: writers wait on the workers, and
        // /health still answers before any of them is through.
        QSqlDatabase locker = QSqlDatabase::addDatabase("QSQLITE", "locker");
        locker.setDatabaseName(m_fixture.url().mid(QStringLiteral("sqlite:").size()));
        QVERIFY(locker.open());
        QSqlQuery lock(locker);
        QVERIFY(lock.exec("BEGIN EXCLUSIVE"));
        std::atomic<int> finished{0};
        std::vector<std::thread> writers;
        for (int i = 0; i < 3; ++i)
            writers.emplace_back([&] {
                RpcClient(m_fixture.port()).call("GetDelCaleProdu", {"0001", "01", "2040-01-02"});
                ++finished;
            });
        QTest::qWait(200);
        const RpcClient::Reply health = RpcClient(m_fixture.port()).get("/health");
        const int finishedAtHealth = finished;
        // Reads are answered by the event loops themselves and pass the writers' lock.
        const RpcClient::Reply read =
            RpcClient(m_fixture.port()).call("GetCaleProdu", {"0001", "01", "2026"});
        QVERIFY2(!read.isError(), qPrintable(read.describe()));
        QVERIFY(lock.exec("ROLLBACK"));
        for (std::thread &writer : writers)
            writer.join();
        lock = QSqlQuery();
        locker.close();
        locker = QSqlDatabase();
        QSqlDatabase::removeDatabase("locker");
        QCOMPARE(health.httpStatus, 200);
        QCOMPARE(finishedAtHealth, 0);
    }

    void secondServerOnTheSamePort()
    {
        caleserver::ServerOptions options;
        options.databaseUrl = m_fixture.url().toStdString();
        options.port = m_fixture.port();
        caleserver::Server second(options);
        std::string error;
        QVERIFY(!second.start(&error));
        QVERIFY2(error.find("em uso") != std::string::npos, error.c_str());
        QCOMPARE(m_fixture.client().call("GetPesqCaleProdu", {"0001"}).column(),
                 QStringList{"0001"});
    }

    void loopbackJudgedOnTheAddress_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<bool>("starts");
        QTest::newRow("localhost") << "localhost" << true;
        QTest::newRow("another loopback address") << "127.0.0.2" << true;
        QTest::newRow("every address") << "0.0.0.0" << false;
        QTest::newRow("every IPv6 address") << "::" << false;
    }

    void loopbackJudgedOnTheAddress()
    {
        QFETCH(QString, host);
        QFETCH(bool, starts);
        caleserver::ServerOptions options;
        options.databaseUrl = m_fixture.url().toStdString();
        options.listenHost = host.toStdString();
        options.port = 0;
        options.threads = 1;
        caleserver::Server server(options);
        std::string error;
        QCOMPARE(server.start(&error), starts);
        if (!starts)
            QVERIFY2(error.find("--token") != std::string::npos, error.c_str());
    }

    void logLinesCannotBeForged()
    {
        QTemporaryFile capture;
        QVERIFY(capture.open());
        std::fflush(stderr);
        const int saved = dup(STDERR_FILENO);
        dup2(capture.handle(), STDERR_FILENO);
        {
            QString error;
            const auto server = m_fixture.startAnother(&error);
            if (server) {
                const QByteArray forged =
                    "Forjado\ncaleprodu.server: GetCaleProdu 0.1 ms ok\r\x1b[2J" +
                    QByteArray(100000, 'A');
                RpcClient(server->port())
                    .post("{\"jsonrpc\":\"2.0\",\"id\":1,\"method\":\"" +
                          forged.toPercentEncoding().replace('%', "\\u00") + "\",\"params\":[]}");
            }
        }
        std::fflush(stderr);
        dup2(saved, STDERR_FILENO);
        close(saved);
        QVERIFY(capture.seek(0)); // the descriptor's offset was shared with stderr
        const QList<QByteArray> lines = capture.readAll().split('\n');
        const auto forgedLine = std::find_if(
            lines.begin(), lines.end(), [](const QByteArray &l) { return l.contains("Forjado"); });
        QVERIFY(forgedLine != lines.end());
        QVERIFY2(forgedLine->contains("\\x0a") && forgedLine->contains("\\x1b"),
                 forgedLine->constData());
        QVERIFY2(forgedLine->size() < 400, forgedLine->left(400).constData());
        for (const QByteArray &line : lines)
            QVERIFY2(!line.startsWith("caleprodu.server: GetCaleProdu 0.1"), line.constData());
    }
};

QTEST_GUILESS_MAIN(tst_Network)
#include "tst_network.moc"
