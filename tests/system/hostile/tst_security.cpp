// The token and the slow clients: a server that demands a token refuses every other way of
// asking and changes nothing, also when asked from another address (a network namespace the test
// creates); off loopback it does not start without one; clients that send a byte a second do not
// stop the others from being served.

#include "hostilesupport.h"

#include <rawconnection.h>
#include <serverfixture.h>

#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <thread>
#include <unistd.h>

using testsupport::RawConnection;

namespace {

const QByteArray token = "segredo-certo";
const QByteArray json = "Content-Type: application/json\r\n";
const QByteArray lookup = hostile::call("GetPesqCaleProdu", "\"0001\"");

// Two network namespaces joined by a veth pair, each end with a private address; both gone when
// this is destroyed, whatever happened in between.
class NamespacePair
{
public:
    const QString server = QStringLiteral("caleprodu-%1-srv").arg(getpid());
    const QString client = QStringLiteral("caleprodu-%1-cli").arg(getpid());
    const QString serverAddress = QStringLiteral("10.213.0.1");

    ~NamespacePair() { remove(); }

    // Also clears what a killed earlier run with the same process id left behind.
    void remove()
    {
        for (const QString &name : {server, client})
            ip({"netns", "del", name});
    }

    // Empty on success, else why the machine does not allow it.
    QString create()
    {
        remove();
        const QString veth = QStringLiteral("cp%1").arg(getpid());
        const QList<QStringList> steps{
            {"netns", "add", server},
            {"netns", "add", client},
            {"link", "add", veth + "s", "netns", server, "type", "veth", "peer", "name", veth + "c",
             "netns", client},
            {"-n", server, "addr", "add", serverAddress + "/30", "dev", veth + "s"},
            {"-n", client, "addr", "add", "10.213.0.2/30", "dev", veth + "c"},
            {"-n", server, "link", "set", veth + "s", "up"},
            {"-n", client, "link", "set", veth + "c", "up"},
        };
        for (const QStringList &step : steps) {
            const QString failure = ip(step);
            if (!failure.isEmpty())
                return failure;
        }
        return {};
    }

    // Runs ip quietly; empty on success, else the command and its complaint.
    static QString ip(const QStringList &arguments)
    {
        QProcess process;
        process.start(QStringLiteral("ip"), arguments);
        if (process.waitForFinished(10000) && process.exitCode() == 0)
            return {};
        return "ip " + arguments.join(' ') + ": " +
               QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    }

    // Runs a program inside one of the two namespaces.
    static QStringList inside(const QString &name, const QStringList &command)
    {
        return QStringList{"netns", "exec", name} + command;
    }
};

} // namespace

class tst_Security : public QObject
{
    Q_OBJECT

    testsupport::ServerFixture m_fixture{
        {.seedDemo = true, .token = QString::fromLatin1(token), .threads = 2}};

    bool onSqliteOnly() { return m_fixture.database().engine() == testsupport::Engine::Sqlite; }

    // The HTTP status and body of one request from the client namespace, through curl.
    static std::pair<int, QByteArray> fromOtherAddress(const NamespacePair &pair,
                                                       const QString &path,
                                                       const QByteArray &authorization,
                                                       const QByteArray &body = {})
    {
        QStringList curl{"curl", "-sS", "--max-time", "20", "-w", "\n%{http_code}"};
        if (!authorization.isEmpty())
            curl << "-H" << QString::fromLatin1(authorization);
        if (!body.isEmpty())
            curl << "-H"
                 << "Content-Type: application/json"
                 << "--data-binary" << QString::fromLatin1(body);
        curl << "http://" + pair.serverAddress + ":8211" + path;
        QProcess process;
        process.start(QStringLiteral("ip"), NamespacePair::inside(pair.client, curl));
        process.waitForFinished(30000);
        QByteArray output = process.readAllStandardOutput();
        const qsizetype lastLine = output.lastIndexOf('\n');
        const int status = output.mid(lastLine + 1).toInt();
        output.truncate(std::max<qsizetype>(lastLine, 0));
        return {status, output};
    }

private slots:
    void initTestCase_data() { testsupport::addEngineRows(); }
    void init() { CALEPRODU_USE_ENGINE(m_fixture); }
    void cleanupTestCase() { m_fixture.cleanup(); }

    void everyOtherCredentialIsRefused_data()
    {
        QTest::addColumn<QByteArray>("credential"); // header lines; %T% stands for the token
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("none") << QByteArray() << QByteArray();
        QTest::newRow("wrong") << QByteArray("Authorization: Bearer segredo-errado\r\n")
                               << QByteArray();
        QTest::newRow("empty") << QByteArray("Authorization: Bearer\r\n") << QByteArray();
        QTest::newRow("longer") << QByteArray("Authorization: Bearer %T%x\r\n") << QByteArray();
        QTest::newRow("other case")
            << QByteArray("Authorization: Bearer SEGREDO-CERTO\r\n") << QByteArray();
        QTest::newRow("twice in one")
            << QByteArray("Authorization: Bearer %T% %T%\r\n") << QByteArray();
        QTest::newRow("no space") << QByteArray("Authorization: Bearer%T%\r\n") << QByteArray();
        QTest::newRow("basic") << QByteArray("Authorization: Basic %T%\r\n") << QByteArray();
        QTest::newRow("another header")
            << QByteArray("X-Authorization: Bearer %T%\r\n") << QByteArray();
        QTest::newRow("right one second")
            << QByteArray("Authorization: Bearer x\r\nAuthorization: Bearer %T%\r\n")
            << QByteArray();
        QTest::newRow("in the query") << QByteArray() << QByteArray("?token=%T%");
        QTest::newRow("as a cookie") << QByteArray("Cookie: token=%T%\r\n") << QByteArray();
    }

    void everyOtherCredentialIsRefused()
    {
        QFETCH(QByteArray, credential);
        QFETCH(QByteArray, path);
        credential.replace("%T%", token);
        path.replace("%T%", token);
        const QStringList before = m_fixture.database().dump();
        for (const QByteArray &body : hostile::writingCalls()) {
            RawConnection connection(m_fixture.port());
            connection.send(testsupport::rawPost(m_fixture.port(), json + credential, body)
                                .replace("rdmCaleProd HTTP", "rdmCaleProd" + path + " HTTP"));
            QCOMPARE(connection.answer().first, 401);
        }
        // The calendar interface for other systems is behind the same token.
        RawConnection api(m_fixture.port());
        api.send("GET /api/v1/calendars" + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + credential +
                 "\r\n");
        QCOMPARE(api.answer().first, 401);
        QCOMPARE(m_fixture.database().dump(), before);
        // Load balancers still see it alive, and the right token still gets in.
        QCOMPARE(testsupport::RpcClient(m_fixture.port()).get("/health").httpStatus, 200);
        QCOMPARE(m_fixture.client().call("GetPesqCaleProdu", {"0001"}).column(),
                 QStringList{"0001"});
    }

    void slowClientsDoNotStopOthers()
    {
        if (!onSqliteOnly())
            QSKIP("the HTTP layer is the same whichever engine is behind it");
        // Half dribble their header, half their body, a byte a second each.
        const QByteArray request = testsupport::rawPost(
            m_fixture.port(), json + "Authorization: Bearer " + token + "\r\n", lookup);
        const qsizetype headerEnd = request.indexOf("\r\n\r\n") + 4;
        constexpr int clients = 50;
        constexpr int seconds = 4;
        std::vector<std::unique_ptr<RawConnection>> slow;
        std::vector<qsizetype> sent;
        for (int i = 0; i < clients; ++i) {
            slow.push_back(std::make_unique<RawConnection>(m_fixture.port()));
            sent.push_back(i % 2 ? headerEnd : 0);
            slow.back()->send(request.left(sent.back()));
        }
        std::atomic<bool> dribbling{true};
        std::thread dribbler([&] {
            for (int second = 0; second < seconds; ++second) {
                for (int i = 0; i < clients; ++i)
                    slow[i]->send(request.mid(sent[i]++, 1));
                std::this_thread::sleep_for(std::chrono::seconds(1));
            }
            dribbling = false;
        });
        int served = 0;
        bool allServed = true;
        while (dribbling) {
            allServed = allServed &&
                        m_fixture.client().call("GetPesqCaleProdu", {"0001"}).column() ==
                            QStringList{"0001"} &&
                        testsupport::RpcClient(m_fixture.port()).get("/health").httpStatus == 200;
            ++served;
        }
        dribbler.join();
        QVERIFY(allServed);
        QVERIFY(served > 0);
        // The slow ones were kept waiting, not dropped: their request, once whole, is answered.
        for (int i = 0; i < clients; ++i) {
            slow[i]->send(request.mid(sent[i]));
            const auto [status, body] = slow[i]->answer();
            QCOMPARE(status, 200);
            QVERIFY2(body.contains("\"rows\":[[\"0001\"]]"), body.constData());
        }
    }

    void tokenFromAnotherAddress()
    {
        if (!onSqliteOnly())
            QSKIP("runs once, over SQLite: a namespace of its own cannot reach the test "
                  "PostgreSQL cluster on the host's loopback");
        if (geteuid() != 0)
            QSKIP("creating network namespaces needs root");
        if (QStandardPaths::findExecutable("ip").isEmpty() ||
            QStandardPaths::findExecutable("curl").isEmpty())
            QSKIP("ip (iproute2) and curl are needed: run scripts/install-deps");
        NamespacePair pair;
        const QString why = pair.create();
        if (!why.isEmpty())
            QSKIP(qPrintable("this machine does not allow network namespaces here: " + why));

        const QStringList command{CALEPRODU_SERVER_BINARY,
                                  "--database",
                                  m_fixture.url(),
                                  "--listen",
                                  pair.serverAddress + ":8211",
                                  "--threads",
                                  "2"};
        // Without a token it does not even start on an address that other machines reach.
        QProcess open;
        open.start("ip", NamespacePair::inside(pair.server, command));
        QVERIFY(open.waitForFinished(30000));
        QCOMPARE(open.exitCode(), 1);
        QVERIFY(open.readAllStandardError().contains("--token"));

        QProcess server;
        server.start("ip",
                     NamespacePair::inside(pair.server, command + QStringList{"--token", token}));
        // Up when /health answers from the other side (bounded: the log is buffered).
        int health = 0;
        for (int attempt = 0; attempt < 300 && health != 200; ++attempt) {
            health = fromOtherAddress(pair, "/health", {}).first;
            if (health != 200)
                QTest::qWait(100);
        }
        QCOMPARE(health, 200);

        const QStringList before = m_fixture.database().dump();
        const QByteArray wrong = "Authorization: Bearer segredo-errado";
        const QByteArray right = "Authorization: Bearer " + token;
        for (const QByteArray &body : hostile::writingCalls()) {
            QCOMPARE(fromOtherAddress(pair, "/QMR07700.rdmCaleProd", {}, body).first, 401);
            QCOMPARE(fromOtherAddress(pair, "/QMR07700.rdmCaleProd", wrong, body).first, 401);
        }
        const auto [status, answer] =
            fromOtherAddress(pair, "/QMR07700.rdmCaleProd", right, lookup);
        QCOMPARE(status, 200);
        QVERIFY2(answer.contains("\"rows\":[[\"0001\"]]"), answer.constData());
        QCOMPARE(m_fixture.database().dump(), before);
        server.terminate();
        QVERIFY(server.waitForFinished(30000));
    }
};

QTEST_GUILESS_MAIN(tst_Security)
#include "tst_security.moc"
