#include "core/exceptions.h"
#include "data/operatorcontext.h"
#include "data/tclientdataset.h"
#include "net/tnetconnection.h"
#include "serverfixture.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

namespace {

class TokenContext : public OperatorContext
{
public:
    QString token;
    QString FiliProc() const override { return QStringLiteral("0001"); }
    QDate DataProc(const QString &) const override { return QDate(2026, 1, 1); }
    bool ModuFili() const override { return false; }
    QString WebURL() const override { return QStringLiteral("127.0.0.1"); }
    int WebPort() const override { return 0; }
    QString Token() const override { return token; }
};

} // namespace

class TstTNetConnection : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void connectingRaisesBeforeConnectOnly();
    void roundTripThroughChangeSet();
    void serverErrors_data();
    void serverErrors();
    void unreachableServer_data();
    void unreachableServer();
    void bearerToken_data();
    void bearerToken();
    void guiRunsButInputWaitsDuringCall();
    void operatorNameReachesTheJournal_data();
    void operatorNameReachesTheJournal();

private:
    // A connection to the fixture's server, set up the way the calendar screen does it.
    void setUp(TNetConnection &net, int port);

    testsupport::ServerFixture m_fixture;
};

void TstTNetConnection::setUp(TNetConnection &net, int port)
{
    net.SetServerName(QStringLiteral("QMR07700.rdmCaleProd"));
    net.BeforeConnect = [&net, port](QObject *) {
        net.SetHost(QStringLiteral("127.0.0.1"));
        net.SetPort(port);
    };
}

void TstTNetConnection::initTestCase()
{
    QString message;
    QCOMPARE(m_fixture.use(testsupport::Engine::Sqlite, &message),
             testsupport::ServerFixture::Status::Ready);
    testsupport::TestDatabase &db = m_fixture.database();
    QVERIFY(db.exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC) "
                                   "VALUES ('0001', 'Matriz', 'N')")));
    QVERIFY(db.exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC) "
                                   "VALUES ('0009', 'Rescindida', 'S')")));
    QVERIFY(db.exec(QStringLiteral("INSERT INTO PERIPRODUCAO (CDPERIPRODU, NMPERIPRODU, "
                                   "IDDIANUTILP, IDTIPODIAP) VALUES ('01', 'Semanal', 'N', 'S')")));
    QVERIFY(db.exec(QStringLiteral("INSERT INTO DIASPRODUCAO VALUES ('01', 2)")));
}

void TstTNetConnection::cleanupTestCase()
{
    m_fixture.cleanup();
}

void TstTNetConnection::connectingRaisesBeforeConnectOnly()
{
    TNetConnection net;
    int before = 0;
    net.BeforeConnect = [&](QObject *) {
        ++before;
        net.SetHost(QStringLiteral("127.0.0.1"));
        net.SetPort(1); // nothing listens there: connecting must not notice
    };
    net.Open();
    net.Open();
    QVERIFY(net.Connected());
    QCOMPARE(before, 1);
    net.Close();
    QVERIFY(!net.Connected());
}

void TstTNetConnection::roundTripThroughChangeSet()
{
    TNetConnection net;
    setUp(net, m_fixture.port());
    TClientDataSet cds;
    cds.AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    cds.AddField(QStringLiteral("CDPERIPRODU"), TFieldType::ftString, 2);
    cds.AddField(QStringLiteral("DTPRODUCAO"), TFieldType::ftDateTime);

    const QVariantList key{QStringLiteral("0001"), QStringLiteral("01"), QStringLiteral("2026")};
    cds.SetData(CheckResultServ(net.Call(QStringLiteral("GetCaleProdu"), key), true, 0));
    QVERIFY(cds.Active());
    QVERIFY(cds.IsEmpty());

    cds.Append();
    cds.FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(QStringLiteral("0001"));
    cds.FieldByName(QStringLiteral("CDPERIPRODU"))->SetAsString(QStringLiteral("01"));
    cds.FieldByName(QStringLiteral("DTPRODUCAO"))->SetAsDate(QDate(2026, 3, 2));
    cds.Post();
    CheckResultServ(net.Call(QStringLiteral("SetCaleProdu"), {cds.Delta()}), true, 0);
    cds.MergeChangeLog();

    cds.SetData(CheckResultServ(net.Call(QStringLiteral("GetCaleProdu"), key), true, 0));
    QCOMPARE(cds.DateSet(QStringLiteral("DTPRODUCAO")), QSet<QDate>{QDate(2026, 3, 2)});

    // A date argument travels as a date: the day just stored is found again.
    const QJsonObject aux =
        CheckResultServ(net.Call(QStringLiteral("GetCaleProduAux"),
                                 {QStringLiteral("0001"), QStringLiteral("01"), QDate(2026, 3, 2)}),
                        true, 0);
    TClientDataSet cdsAux;
    cdsAux.SetData(aux);
    QCOMPARE(cdsAux.FieldByName(QStringLiteral("TOTAL"))->AsInteger(), 1);
}

void TstTNetConnection::serverErrors_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QVariantList>("params");
    QTest::addColumn<int>("code");
    QTest::newRow("invalid params")
        << "GetCaleProdu"
        << QVariantList{QStringLiteral("00A1"), QStringLiteral("01"), QStringLiteral("2026")}
        << -32602;
    QTest::newRow("unknown method") << "NoSuchMethod" << QVariantList{} << -32601;
    QTest::newRow("months other than 1 or 12")
        << "CalculaProducao"
        << QVariantList{QStringLiteral("0001"), QStringLiteral("01"), QDate(2026, 1, 1), 5,
                        QDate(2026, 1, 1)}
        << -32602;
    QTest::newRow("a rule refuses") << "CalculaProducao"
                                    << QVariantList{QStringLiteral("0009"), QStringLiteral("01"),
                                                    QDate(2026, 1, 1), 1, QDate(2026, 1, 1)}
                                    << -32000;
}

void TstTNetConnection::serverErrors()
{
    QFETCH(QString, method);
    QFETCH(QVariantList, params);
    QFETCH(int, code);
    TNetConnection net;
    setUp(net, m_fixture.port());
    const TServerResult result = net.Call(method, params);
    QVERIFY(!result.ok);
    QCOMPARE(result.code, code);
    QVERIFY(!result.message.isEmpty());
    QVERIFY2(!result.message.startsWith(QStringLiteral("Servidor de aplicação indisponível")),
             qPrintable(result.message));
    try {
        CheckResultServ(result, true, 0);
        QFAIL("a failed result passed the check");
    } catch (const EServerError &e) {
        QCOMPARE(e.Message(), result.message);
        QCOMPARE(e.Code(), code);
    }
    QVERIFY(CheckResultServ(result, false, 0).isEmpty());

    net.SetThrowException(true);
    QVERIFY_THROWS_EXCEPTION(EServerError, net.Call(method, params));
}

void TstTNetConnection::unreachableServer_data()
{
    QTest::addColumn<QString>("serverName");
    QTest::addColumn<QString>("cause");
    QTest::newRow("closed port") << "QMR07700.rdmCaleProd"
                                 << "";
    QTest::newRow("non-200 answer") << "no/such/module"
                                    << "HTTP 404";
}

void TstTNetConnection::unreachableServer()
{
    QFETCH(QString, serverName);
    QFETCH(QString, cause);
    int port = m_fixture.port();
    if (cause.isEmpty()) {
        // A port that was just listening and is closed now.
        QString error;
        auto other = m_fixture.startAnother(&error);
        QVERIFY2(other, qPrintable(error));
        port = other->port();
        other->stop();
    }
    TNetConnection net;
    setUp(net, port);
    net.SetServerName(serverName);
    const TServerResult result =
        net.Call(QStringLiteral("GetPesqCaleProdu"), {QStringLiteral("0001")});
    QVERIFY(!result.ok);
    const QString prefix =
        QStringLiteral("Servidor de aplicação indisponível (127.0.0.1:%1): ").arg(port);
    QVERIFY2(result.message.startsWith(prefix), qPrintable(result.message));
    QVERIFY(result.message.size() > prefix.size());
    QVERIFY2(result.message.contains(cause), qPrintable(result.message));
    QVERIFY_THROWS_EXCEPTION(EServerError, CheckResultServ(result, true, 0));
}

void TstTNetConnection::bearerToken_data()
{
    QTest::addColumn<QString>("ownToken");
    QTest::addColumn<QString>("contextToken");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("no token") << ""
                              << "" << false;
    QTest::newRow("wrong token") << "wrong"
                                 << "" << false;
    QTest::newRow("own token") << "s3cret"
                               << "" << true;
    QTest::newRow("operator context's token") << ""
                                              << "s3cret" << true;
}

void TstTNetConnection::bearerToken()
{
    QFETCH(QString, ownToken);
    QFETCH(QString, contextToken);
    QFETCH(bool, accepted);
    QString error;
    auto guarded = m_fixture.startAnother(&error, QStringLiteral("s3cret"));
    QVERIFY2(guarded, qPrintable(error));
    TokenContext context;
    context.token = contextToken;
    SetOperatorContext(&context);
    TNetConnection net;
    setUp(net, guarded->port());
    net.SetToken(ownToken);
    const TServerResult result =
        net.Call(QStringLiteral("GetPesqCaleProdu"), {QStringLiteral("0001")});
    SetOperatorContext(nullptr);
    QVERIFY2(result.ok == accepted, qPrintable(result.message));
    if (!accepted)
        QVERIFY2(result.message.contains(QStringLiteral("401")), qPrintable(result.message));
}

void TstTNetConnection::operatorNameReachesTheJournal_data()
{
    QTest::addColumn<QString>("configured"); // the shell's --operator
    QTest::addColumn<QString>("recorded");
    QTest::newRow("none: the system login") << "" << SystemLogin();
    QTest::newRow("named") << "Ana Souza"
                           << "Ana Souza";
    QTest::newRow("control characters dropped") << "an\x01"
                                                   "a\t"
                                                << "ana";
    QTest::newRow("cut to 64 bytes, whole characters")
        << QStringLiteral("ç").repeated(40) << QStringLiteral("ç").repeated(32);
}

void TstTNetConnection::operatorNameReachesTheJournal()
{
    QFETCH(QString, configured);
    QFETCH(QString, recorded);
    testsupport::TestDatabase &db = m_fixture.database();
    QVERIFY(db.exec(QStringLiteral("DELETE FROM ALTERACAOMES")));
    QVERIFY(db.exec(QStringLiteral("DELETE FROM ALTERACAO")));
    QVERIFY(db.exec(QStringLiteral("DELETE FROM CALEPRODUCAO")));
    QVERIFY(
        db.exec(QStringLiteral("INSERT INTO CALEPRODUCAO VALUES ('0001', '01', '2026-03-02')")));
    DefaultOperatorContext context;
    context.SetOperatorName(configured);
    SetOperatorContext(&context);
    TNetConnection net;
    setUp(net, m_fixture.port());
    const TServerResult result =
        net.Call(QStringLiteral("GetDelCaleProdu"),
                 {QStringLiteral("0001"), QStringLiteral("01"), QDate(2026, 3, 2)});
    SetOperatorContext(nullptr);
    QVERIFY2(result.ok, qPrintable(result.message));
    QCOMPARE(db.value(QStringLiteral("SELECT NMOPERADOR FROM ALTERACAO")).toString(), recorded);
}

void TstTNetConnection::guiRunsButInputWaitsDuringCall()
{
    TNetConnection net;
    setUp(net, m_fixture.port());
    QPushButton button(QStringLiteral("Excluir"));
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QSignalSpy clicks(&button, &QPushButton::clicked);

    bool inCall = false;
    bool timerRanInCall = false;
    bool nestedOk = false;
    QTimer::singleShot(0, this, [&] {
        timerRanInCall = inCall;
        QTest::mouseClick(&button, Qt::LeftButton);
        // A handler that runs meanwhile may call the server too.
        nestedOk = net.Call(QStringLiteral("GetPesqCaleProdu"), {QStringLiteral("0001")}).ok;
    });
    inCall = true;
    const TServerResult result =
        net.Call(QStringLiteral("GetCaleProdu"),
                 {QStringLiteral("0001"), QStringLiteral("01"), QStringLiteral("2026")});
    inCall = false;
    QVERIFY2(result.ok, qPrintable(result.message));
    QVERIFY(timerRanInCall);
    QVERIFY(nestedOk);
    QCOMPARE(clicks.count(), 0);

    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicks.count(), 1);
}

QTEST_MAIN(TstTNetConnection)
#include "tst_tnetconnection.moc"
