// The wire: malformed and hostile requests get the right error and change nothing; the token, the
// body limit and the listening rules hold.

#include <caleprodu_version.h>
#include <serverfixture.h>

#include <QJsonDocument>
#include <QTest>

using testsupport::RpcClient;

namespace {

QByteArray request(const QString &method, const QJsonArray &params)
{
    return QJsonDocument(
               QJsonObject{{"jsonrpc", "2.0"}, {"id", 1}, {"method", method}, {"params", params}})
        .toJson(QJsonDocument::Compact);
}

} // namespace

class tst_Protocol : public QObject
{
    Q_OBJECT

    testsupport::ServerFixture m_fixture{{.seedDemo = true, .token = {}, .threads = 2}};

private slots:
    void initTestCase_data() { testsupport::addEngineRows(); }
    void init() { CALEPRODU_USE_ENGINE(m_fixture); }
    void cleanupTestCase() { m_fixture.cleanup(); }

    void badInput_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<int>("code");
        QTest::newRow("malformed JSON") << QByteArray(R"({"jsonrpc":"2.0","id":1,)") << -32700;
        QTest::newRow("empty body") << QByteArray() << -32700;
        QTest::newRow("two values") << QByteArray("1],[2") << -32700;
        QTest::newRow("number body") << QByteArray("42") << -32600;
        QTest::newRow("string body") << QByteArray(R"("GetCaleProdu")") << -32600;
        QTest::newRow("batch") << QByteArray("[" +
                                             request("GetDelCaleProduAno",
                                                     {"0001", "01", "2000-01-01", "2026"}) +
                                             "]")
                               << -32600;
        QTest::newRow("empty batch") << QByteArray("[]") << -32600;
        QTest::newRow("notification")
            << QByteArray(
                   R"({"jsonrpc":"2.0","method":"GetDelCaleProduAno","params":["0001","01","2000-01-01","2026"]})")
            << -32600;
        QTest::newRow("no version")
            << QByteArray(R"({"id":1,"method":"GetCaleProdu","params":["1","1","2026"]})")
            << -32600;
        QTest::newRow("object id")
            << QByteArray(R"({"jsonrpc":"2.0","id":{},"method":"GetCaleProdu","params":[]})")
            << -32600;
        QTest::newRow("id beyond a double")
            << QByteArray(R"({"jsonrpc":"2.0","id":1e400,"method":"GetCaleProdu","params":[]})")
            << -32600;
        QTest::newRow("unknown method") << request("DropCaleProdu", {"0001"}) << -32601;
        QTest::newRow("named params")
            << QByteArray(
                   R"({"jsonrpc":"2.0","id":1,"method":"GetCaleProdu","params":{"b":"0001"}})")
            << -32602;
        QTest::newRow("too few params")
            << request("GetDelCaleProduAno", {"0001", "01", "2000-01-01"}) << -32602;
        QTest::newRow("too many params") << request("GetPesqCaleProdu", {"0001", "0002"}) << -32602;
        QTest::newRow("no params")
            << QByteArray(R"({"jsonrpc":"2.0","id":1,"method":"GetPesqCaleProdu"})") << -32602;
        QTest::newRow("string for an integer")
            << request("CalculaProducao", {"0001", "01", "2026-01-01", "12", "2000-01-01"})
            << -32602;
        QTest::newRow("fraction for an integer")
            << request("CalculaProducao", {"0001", "01", "2026-01-01", 1.5, "2000-01-01"})
            << -32602;
        QTest::newRow("number for a code")
            << request("GetDelCaleProduAno", {1, "01", "2000-01-01", "2026"}) << -32602;
        QTest::newRow("number for a year")
            << request("GetDelCaleProduAno", {"0001", "01", "2000-01-01", 2026}) << -32602;
        QTest::newRow("February 30th")
            << request("GetDelCaleProdu", {"0001", "01", "2026-02-30"}) << -32602;
        QTest::newRow("short date")
            << request("GetDelCaleProduMes", {"0001", "01", "26-1-1", "01/2026"}) << -32602;
        QTest::newRow("year 0000")
            << request("GetDelCaleProdu", {"0001", "01", "0000-01-01"}) << -32602;
        QTest::newRow("signed year")
            << request("GetCaleProduAux", {"0001", "01", "+026-01-01"}) << -32602;
        QTest::newRow("date with time")
            << request("GetDelCaleProdu", {"0001", "01", "2026-03-02T00:00:00"}) << -32602;
        QTest::newRow("year abc") << request("GetDelCaleProduAno",
                                             {"0001", "01", "2000-01-01", "abc"})
                                  << -32602;
        QTest::newRow("empty year") << request("GetCaleProdu", {"0001", "01", ""}) << -32602;
        QTest::newRow("month 13") << request("GetDelCaleProduMes",
                                             {"0001", "01", "2000-01-01", "13/2026"})
                                  << -32602;
        QTest::newRow("month without year")
            << request("GetDelCaleProduMes", {"0001", "01", "2000-01-01", "03"}) << -32602;
        QTest::newRow("letters in a branch")
            << request("GetDelCaleProduAno", {"00A1", "01", "2000-01-01", "2026"}) << -32602;
        QTest::newRow("branch too long")
            << request("GetDelCaleProduAno", {"00001", "01", "2000-01-01", "2026"}) << -32602;
        QTest::newRow("periodicity too long")
            << request("GetDelCaleProduAno", {"0001", "001", "2000-01-01", "2026"}) << -32602;
        QTest::newRow("blank in a code")
            << request("GetDelCaleProduAno", {"0001", " 1", "2000-01-01", "2026"}) << -32602;
        QTest::newRow("SQL in the destination list")
            << request("GetInsDel",
                       {"0001", "01", "0002') OR 1=1 --", " ", "2000-01-01", "2030-12-01"})
            << -32602;
        QTest::newRow("blank element in the list")
            << request("GetInsDel", {"0001", "01", "0002,,0004", " ", "2000-01-01", "2030-12-01"})
            << -32602;
        QTest::newRow("bad all-switch")
            << request("GetInsDel", {"0001", "01", "0002", "X", "2000-01-01", "2030-12-01"})
            << -32602;
        QTest::newRow("change set not an object") << request("SetCaleProdu", {"0001"}) << -32602;
        QTest::newRow("change set without changes")
            << request("SetCaleProdu",
                       {QJsonObject{{"fields", QJsonArray()}, {"rows", QJsonArray()}}})
            << -32602;
        QTest::newRow("change set with an unknown op")
            << request("SetCaleProdu",
                       {QJsonObject{
                           {"fields", RpcClient::changeSet({}).value("fields")},
                           {"rows", QJsonArray()},
                           {"changes", QJsonArray{QJsonObject{
                                           {"op", "drop"},
                                           {"row", QJsonArray{"0001", "01", "2026-03-02"}}}}}}})
            << -32602;
        QTest::newRow("delete then a bad row")
            << request("SetCaleProdu",
                       {RpcClient::changeSet({{"delete", "0001", "01", "2026-03-02"},
                                              {"insert", "0001", "01", "2026-13-01"}})})
            << -32602;
    }

    void badInput()
    {
        QFETCH(QByteArray, body);
        QFETCH(int, code);
        const QStringList before = m_fixture.database().calendar();
        QVERIFY(!before.isEmpty());
        const RpcClient::Reply reply = m_fixture.client().post(body);
        QCOMPARE(reply.httpStatus, 200);
        QCOMPARE(reply.errorCode(), code);
        QVERIFY2(reply.errorMessage().size() > 10, qPrintable(reply.describe()));
        QCOMPARE(reply.json.value("jsonrpc").toString(), QStringLiteral("2.0"));
        QVERIFY(reply.json.contains("id"));
        QCOMPARE(m_fixture.database().calendar(), before);
    }

    void answersEchoTheId()
    {
        const RpcClient::Reply reply = m_fixture.client().post(
            R"({"jsonrpc":"2.0","id":"abc-7","method":"GetPesqCaleProdu","params":["0001"]})");
        QCOMPARE(reply.json.value("id").toString(), QStringLiteral("abc-7"));
        QCOMPARE(reply.column(), QStringList{"0001"});
    }

    void bodyOverTheLimit()
    {
        QByteArray body = request("GetPesqCaleProdu", {QString(4 * 1024 * 1024, 'x')});
        const RpcClient::Reply reply = m_fixture.client().post(body);
        QCOMPARE(reply.httpStatus, 413);
        // The server keeps serving.
        QCOMPARE(m_fixture.client().call("GetPesqCaleProdu", {"0001"}).column(),
                 QStringList{"0001"});
    }

    void token_data()
    {
        QTest::addColumn<QString>("sent");
        QTest::addColumn<int>("status");
        QTest::newRow("missing") << QString() << 401;
        QTest::newRow("wrong") << QStringLiteral("segredo-errado") << 401;
        QTest::newRow("prefix of the right one") << QStringLiteral("segredo") << 401;
        QTest::newRow("right") << QStringLiteral("segredo-certo") << 200;
    }

    void token()
    {
        QFETCH(QString, sent);
        QFETCH(int, status);
        QString error;
        const std::unique_ptr<caleserver::Server> guarded =
            m_fixture.startAnother(&error, QStringLiteral("segredo-certo"));
        QVERIFY2(guarded, qPrintable(error));
        const QStringList before = m_fixture.database().calendar();
        const RpcClient client(guarded->port(), sent);
        const RpcClient::Reply reply =
            client.call("GetDelCaleProduAno", {"0001", "01", "2000-01-01", "2035"});
        QCOMPARE(reply.httpStatus, status);
        if (status == 200) {
            QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        } else {
            QCOMPARE(m_fixture.database().calendar(), before);
        }
        QCOMPARE(client.get("/health").httpStatus, 200);
    }

    // An id comes back as its text was sent, whatever a double would make of it.
    void idEchoedAsSent_data()
    {
        QTest::addColumn<QByteArray>("id");
        for (const char *id : {"18446744073709551617", "-9223372036854775809", "1e302", "1e-400",
                               "-0", "7", "\"x\""})
            QTest::newRow(id) << QByteArray(id);
    }

    void idEchoedAsSent()
    {
        QFETCH(QByteArray, id);
        const RpcClient::Reply reply = m_fixture.client().post(
            R"({"jsonrpc":"2.0","id":)" + id + R"(,"method":"GetPesqCaleProdu","params":["1"]})");
        QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
        QVERIFY2(reply.body.startsWith("{\"id\":" + id + ","), reply.body.constData());
    }

    void healthAndUnknownPaths()
    {
        const RpcClient client = m_fixture.client();
        const RpcClient::Reply health = client.get("/health");
        QCOMPARE(health.httpStatus, 200);
        // Monitors read which version runs from it.
        QCOMPARE(health.body, QByteArray("ok caleprodu-server " CALEPRODU_VERSION "\n"));
        QCOMPARE(client.get("/QMR07700.rdmCaleProd").httpStatus, 404);
    }

    void refusesToStart_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("token");
        QTest::addColumn<bool>("emptyDatabase");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("open address without token") << "0.0.0.0" << QString() << false << "--token";
        QTest::newRow("database without schema") << "127.0.0.1" << QString() << true << "--init-db";
    }

    void refusesToStart()
    {
        QFETCH(QString, host);
        QFETCH(QString, token);
        QFETCH(bool, emptyDatabase);
        QFETCH(QString, mentions);
        caleserver::ServerOptions options;
        QString url = m_fixture.url();
        if (emptyDatabase)
            url = QStringLiteral("sqlite:") + QDir::tempPath() +
                  QStringLiteral("/caleprodu-empty-%1.db").arg(QCoreApplication::applicationPid());
        options.databaseUrl = url.toStdString();
        options.listenHost = host.toStdString();
        options.token = token.toStdString();
        options.port = 0;
        caleserver::Server server(options);
        std::string error;
        QVERIFY(!server.start(&error));
        QVERIFY2(QString::fromStdString(error).contains(mentions), error.c_str());
        // A server never makes the file it serves: an empty one would take writes.
        QVERIFY(!emptyDatabase || !QFile::exists(url.mid(7)));
        if (emptyDatabase)
            QFile::remove(url.mid(7));
    }

    void openAddressWithToken()
    {
        caleserver::ServerOptions options;
        options.databaseUrl = m_fixture.url().toStdString();
        options.listenHost = "0.0.0.0";
        options.token = "t0k3n";
        options.port = 0;
        options.threads = 1;
        caleserver::Server server(options);
        std::string error;
        QVERIFY2(server.start(&error), error.c_str());
        QCOMPARE(RpcClient(server.port(), "t0k3n").call("GetPesqCaleProdu", {"0001"}).column(),
                 QStringList{"0001"});
    }
};

QTEST_GUILESS_MAIN(tst_Protocol)
#include "tst_protocol.moc"
