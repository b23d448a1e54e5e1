#pragma once

#include "rpcclient.h"
#include "testdatabase.h"

#include <server.h>

#include <QTest>

#include <map>
#include <memory>

namespace testsupport {

// One test database and one running server (127.0.0.1, a free port) per engine, created on the
// first use of that engine and kept until cleanup() or destruction, which stop and join the
// servers before dropping the databases.
//
//     class tst_x : public QObject {
//         Q_OBJECT
//         testsupport::ServerFixture m_fixture{{.seedDemo = true}};
//     private slots:
//         void initTestCase_data() { testsupport::addEngineRows(); }
//         void init() { CALEPRODU_USE_ENGINE(m_fixture); }
//         void cleanupTestCase() { m_fixture.cleanup(); }
//         void loads() {
//             auto reply = m_fixture.client().call("GetCaleProdu", {"0001", "01", "2026"});
//             QVERIFY2(!reply.isError(), qPrintable(reply.describe()));
//         }
//     };
class ServerFixture
{
public:
    struct Options
    {
        bool seedDemo = false; // fill the demo data after creating the schema
        QString token;         // the server demands this bearer token when set
        int threads = 4;
        int statementTimeoutMs = 30000; // longest wait of one PostgreSQL statement
    };
    enum class Status { Ready, Skipped, Failed };

    ServerFixture();
    explicit ServerFixture(Options options);
    ~ServerFixture();

    // Makes `engine` the current one, creating its database and server on first use.
    Status use(Engine engine, QString *message);

    TestDatabase &database();
    caleserver::Server &server();
    int port();
    QString url() { return database().url(); }
    // A client of the current server, carrying the fixture's token.
    RpcClient client();
    // Starts one more server over the current database (several servers, one database).
    std::unique_ptr<caleserver::Server> startAnother(QString *error, QString token = {});

    // Stops every server and drops every database.
    void cleanup();

private:
    struct Environment
    {
        std::unique_ptr<TestDatabase> database;
        std::unique_ptr<caleserver::Server> server;
    };
    Options m_options;
    std::map<Engine, Environment> m_environments;
    Engine m_current = Engine::Sqlite;
};

} // namespace testsupport

// For init(): takes the "engine" global data row, prepares that engine in `fixture`, and skips
// (PostgreSQL without CALEPRODU_TEST_PG_URL) or fails the test function when it cannot.
#define CALEPRODU_USE_ENGINE(fixture)                                                              \
    do {                                                                                           \
        QFETCH_GLOBAL(testsupport::Engine, engine);                                                \
        QString useMessage_;                                                                       \
        switch ((fixture).use(engine, &useMessage_)) {                                             \
        case testsupport::ServerFixture::Status::Skipped:                                          \
            QSKIP(qPrintable(useMessage_));                                                        \
        case testsupport::ServerFixture::Status::Failed:                                           \
            QFAIL(qPrintable(useMessage_));                                                        \
        case testsupport::ServerFixture::Status::Ready:                                            \
            break;                                                                                 \
        }                                                                                          \
    } while (false)
