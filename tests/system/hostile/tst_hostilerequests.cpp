// Hostile requests over raw sockets, one table row each: every one gets its answer, the server
// keeps answering /health, and the database (seeded, so that there is something to damage) is
// exactly what it was.

#include "hostilesupport.h"

#include <rawconnection.h>
#include <serverfixture.h>

#include <QJsonDocument>
#include <QTest>

using hostile::Answer;

class tst_HostileRequests : public QObject
{
    Q_OBJECT

    testsupport::ServerFixture m_fixture{{.seedDemo = true, .token = {}, .threads = 2}};

    bool healthy() { return m_fixture.client().get(QStringLiteral("/health")).httpStatus == 200; }

private slots:
    void initTestCase_data() { testsupport::addEngineRows(); }
    void init() { CALEPRODU_USE_ENGINE(m_fixture); }
    void cleanupTestCase() { m_fixture.cleanup(); }

    void hostileRequest_data() { hostile::addHostileRows(); }

    void hostileRequest()
    {
        QFETCH(QByteArray, request);
        QFETCH(bool, halfClose);
        QFETCH(QList<Answer>, answers);
        const QByteArray port = QByteArray::number(m_fixture.port());
        request.replace("Host: 127.0.0.1:0\r\n", "Host: 127.0.0.1:" + port + "\r\n");
        request.replace("%PORT%", port);
        const QStringList before = m_fixture.database().dump();
        QVERIFY(before.size() > 500);

        testsupport::RawConnection connection(m_fixture.port());
        connection.send(request);
        if (halfClose)
            connection.closeSending();
        for (const Answer &expected : answers) {
            const auto [status, body] = connection.answer();
            QCOMPARE(status, expected.status);
            if (expected.code == hostile::noRpc)
                continue;
            const QJsonObject answer = QJsonDocument::fromJson(body).object();
            QCOMPARE(answer.value("jsonrpc").toString(), QStringLiteral("2.0"));
            QVERIFY2(answer.contains(expected.code == 0 ? "result" : "error"),
                     body.left(300).constData());
            QCOMPARE(answer.value("error").toObject().value("code").toInt(), expected.code);
        }

        // Whatever else the server read on this connection is done once it closes it.
        connection.closeSending();
        QVERIFY(connection.closedByServer(std::chrono::seconds(30)));
        QVERIFY(healthy());
        QCOMPARE(m_fixture.database().dump(), before);
    }
};

QTEST_GUILESS_MAIN(tst_HostileRequests)
#include "tst_hostilerequests.moc"
