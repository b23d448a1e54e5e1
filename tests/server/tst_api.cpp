// The read-only calendar interface (/api/v1) against the stored days, on SQLite and PostgreSQL.

#include <serverfixture.h>

#include <QDate>
#include <QJsonArray>
#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

using testsupport::RpcClient;

namespace {

const QStringList branches{"0001", "0002", "0003", "0004"};
const QDate firstStored(2027, 11, 1);
const QDate lastStored(2028, 3, 31);

QString apiPath(const QString &branch, const QString &peri, const QString &tail)
{
    return QStringLiteral("/api/v1/calendars/%1/%2%3").arg(branch, peri, tail);
}

// An iCalendar read without the library that wrote it: lines unfolded, then the events' dates
// (each ending the next day), texts and UIDs.
struct ParsedFeed
{
    bool wellFormed = true;
    QString name;
    QStringList days, summaries, uids;
};

ParsedFeed parseIcs(const QByteArray &text)
{
    ParsedFeed feed;
    QList<QByteArray> lines;
    for (const QByteArray &line : text.split('\n')) {
        feed.wellFormed &= line.isEmpty() || (line.endsWith('\r') && line.size() - 1 <= 75);
        if (line.startsWith(' ') && !lines.isEmpty())
            lines.last() += line.mid(1).chopped(1);
        else if (!line.isEmpty())
            lines.append(line.chopped(1));
    }
    QStringList open;
    for (const QByteArray &line : lines) {
        const QString name = QString::fromUtf8(line.left(line.indexOf(':')));
        const QString value = QString::fromUtf8(line.mid(line.indexOf(':') + 1))
                                  .replace(QStringLiteral("\\,"), QStringLiteral(","))
                                  .replace(QStringLiteral("\\;"), QStringLiteral(";"));
        const bool event = open.value(1) == QLatin1String("VEVENT");
        if (name == QLatin1String("BEGIN"))
            open.append(value);
        else if (name == QLatin1String("END"))
            feed.wellFormed &= !open.isEmpty() && open.takeLast() == value;
        else if (open == QStringList{"VCALENDAR"} && name == QLatin1String("NAME"))
            feed.name = value;
        else if (event && name == "DTSTART;VALUE=DATE")
            feed.days.append(QDate::fromString(value, "yyyyMMdd").toString(Qt::ISODate));
        else if (event && name == "DTEND;VALUE=DATE")
            feed.wellFormed &= !feed.days.isEmpty() &&
                               QDate::fromString(value, "yyyyMMdd") ==
                                   QDate::fromString(feed.days.last(), Qt::ISODate).addDays(1);
        else if (event && name == QLatin1String("SUMMARY"))
            feed.summaries.append(value);
        else if (event && name == QLatin1String("UID"))
            feed.uids.append(value);
    }
    feed.wellFormed &= open.isEmpty() && lines.value(0) == "BEGIN:VCALENDAR";
    return feed;
}

} // namespace

class tst_Api : public QObject
{
    Q_OBJECT

    testsupport::ServerFixture m_fixture;
    QMap<QString, QStringList> m_stored; // branch -> its days of periodicity 01

    RpcClient::Reply get(const QString &path, const QByteArray &ifNoneMatch = {})
    {
        QList<QPair<QByteArray, QByteArray>> headers;
        if (!ifNoneMatch.isEmpty())
            headers.append({"If-None-Match", ifNoneMatch});
        return m_fixture.client().request("GET", path, headers);
    }

    // The n-th stored day after `date` (n > 0), before it (n < 0) or from it (n = 0), computed
    // over the days themselves; "" when they run out.
    static QString shifted(const QStringList &days, const QString &date, int n)
    {
        if (n >= 0) {
            auto it = n == 0 ? std::lower_bound(days.begin(), days.end(), date)
                             : std::upper_bound(days.begin(), days.end(), date);
            const qsizetype index = (it - days.begin()) + std::max(n - 1, 0);
            return index < days.size() ? days.at(index) : QString();
        }
        const qsizetype index =
            (std::lower_bound(days.begin(), days.end(), date) - days.begin()) + n;
        return index >= 0 ? days.at(index) : QString();
    }

private slots:
    void initTestCase_data() { testsupport::addEngineRows(); }
    void cleanupTestCase() { m_fixture.cleanup(); }

    void init()
    {
        CALEPRODU_USE_ENGINE(m_fixture);
        testsupport::TestDatabase &db = m_fixture.database();
        QString error;
        QVERIFY2(db.clear(&error), qPrintable(error));
        for (const QString &branch : branches)
            QVERIFY(db.exec("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES (?, ?)",
                            {branch, "Filial " + branch + ", Sul; Norte"}));
        QVERIFY(db.exec("INSERT INTO PERIPRODUCAO VALUES ('01', 'Semanal', 'N', 'S')"));
        QVERIFY(db.exec("INSERT INTO PERIPRODUCAO VALUES ('02', 'Mensal', 'N', 'M')"));
        // Every branch but 0004 gets a random share of the days around a year end and a leap
        // day; 2028-02-29 is always one.
        QRandomGenerator random(2028);
        m_stored.clear();
        for (const QString &branch : branches.first(3)) {
            QStringList &days = m_stored[branch];
            const int share = random.bounded(20, 90);
            QVariantList binds;
            for (QDate day = firstStored; day <= lastStored; day = day.addDays(1)) {
                if (day != QDate(2028, 2, 29) && int(random.bounded(100)) >= share)
                    continue;
                days.append(day.toString(Qt::ISODate));
                binds << branch << days.last();
            }
            const QStringList rows(days.size(), QStringLiteral("(?, '01', ?)"));
            QVERIFY2(db.exec("INSERT INTO CALEPRODUCAO VALUES " + rows.join(','), binds, &error),
                     qPrintable(error));
        }
    }

    void oracle_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<quint32>("seed");
        QTest::newRow("across the year end") << QDate(2027, 12, 20) << QDate(2028, 1, 10) << 1u;
        QTest::newRow("around the leap day") << QDate(2028, 2, 20) << QDate(2028, 3, 5) << 2u;
        QTest::newRow("past the last stored day") << QDate(2028, 3, 15) << QDate(2028, 5, 1) << 3u;
        QTest::newRow("before the first stored day")
            << QDate(2027, 10, 1) << QDate(2027, 11, 20) << 4u;
    }

    // add and count against a computation over the stored days, for random branches, dates
    // and N in -20 ... 20.
    void oracle()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(quint32, seed);
        QRandomGenerator random(seed);
        const auto randomDay = [&]() {
            return from.addDays(random.bounded(int(from.daysTo(to)) + 1)).toString(Qt::ISODate);
        };
        for (int i = 0; i < 40; ++i) {
            const QString branch = branches.at(random.bounded(3));
            const QStringList &days = m_stored.value(branch);
            const QString date = randomDay();
            const int n = random.bounded(41) - 20;
            const QString expected = shifted(days, date, n);
            const auto reply = get(apiPath(branch.right(1), "1",
                                           QStringLiteral("/add?date=%1&n=%2").arg(date).arg(n)));
            const QString context =
                QStringLiteral("%1 %2 %3: %4").arg(branch, date).arg(n).arg(reply.describe());
            QCOMPARE_EQ(reply.httpStatus, expected.isEmpty() ? 404 : 200);
            QVERIFY2(reply.json.value("date").toString() == expected, qPrintable(context));

            QString first = randomDay(), last = randomDay();
            if (last < first)
                std::swap(first, last);
            const auto count = get(apiPath(branch, "01", "/count?from=" + first + "&to=" + last));
            const qsizetype within =
                std::count_if(days.begin(), days.end(),
                              [&](const QString &day) { return day >= first && day <= last; });
            QVERIFY2(count.json.value("count").toInteger(-1) == within,
                     qPrintable(count.describe()));
        }
    }

    void feeds_data()
    {
        QTest::addColumn<QString>("tail");
        QTest::addColumn<QByteArray>("type");
        QTest::newRow("days") << "/days" << QByteArray("application/json");
        QTest::newRow("iCalendar") << ".ics" << QByteArray("text/calendar; charset=utf-8");
        QTest::newRow("CSV") << ".csv" << QByteArray("text/csv; charset=utf-8; header=present");
    }

    // Each form gives back exactly the stored days of the period, the feed with both names.
    void feeds()
    {
        QFETCH(QString, tail);
        QFETCH(QByteArray, type);
        const QString from = "2027-12-15", to = "2028-03-01";
        const auto reply = get(apiPath("2", "01", tail + "?from=" + from + "&to=" + to));
        QCOMPARE(reply.httpStatus, 200);
        QCOMPARE(reply.header("Content-Type"), type);
        QStringList expected;
        for (const QString &day : m_stored.value("0002"))
            if (day >= from && day <= to)
                expected.append(day);
        QStringList days;
        if (tail == "/days") {
            QCOMPARE(reply.json.value("branch").toString(), QStringLiteral("0002"));
            QCOMPARE(reply.json.value("from").toString(), from);
            for (const QJsonValue &day : reply.json.value("days").toArray())
                days.append(day.toString());
        } else if (tail == ".csv") {
            days = QString::fromUtf8(reply.body).split("\r\n", Qt::SkipEmptyParts);
            QCOMPARE(days.takeFirst(), QStringLiteral("data"));
        } else {
            const ParsedFeed feed = parseIcs(reply.body);
            QVERIFY2(feed.wellFormed, reply.body.constData());
            QVERIFY(feed.name.contains("Filial 0002, Sul; Norte") && feed.name.contains("Semanal"));
            QCOMPARE(feed.summaries.size(), expected.size());
            QVERIFY(feed.summaries.first().contains("Filial 0002, Sul; Norte"));
            QCOMPARE(QSet<QString>(feed.uids.begin(), feed.uids.end()).size(), expected.size());
            QCOMPARE(feed.uids.first(),
                     QString(expected.first()).remove('-') + "-0002-01@caleprodu");
            QCOMPARE(get(apiPath("2", "01", tail + "?from=" + from + "&to=" + to)).body,
                     reply.body);
            days = feed.days;
        }
        QCOMPARE(days, expected);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("request"); // "[METHOD ]path"
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        const QString days = apiPath("1", "01", "/days"), add = apiPath("1", "01", "/add?date=");
        const auto row = [](const char *name, const QString &request, int status, const char *m) {
            QTest::newRow(name) << request << status << QString::fromUtf8(m);
        };
        row("unknown branch", apiPath("9", "01", "/count"), 404, "filial 0009 não está cadastrada");
        row("unknown periodicity", apiPath("1", "7", ".ics"), 404,
            "periodicidade 07 não está cadastrada");
        row("code that is none", apiPath("12345", "01", "/days"), 404, "Código de filial inválido");
        row("unknown resource", apiPath("1", "01", "/week"), 404, "não encontrado");
        row("day that does not exist", days + "?from=2027-02-29", 400, "Data inválida em from");
        row("date in another shape", days + "?to=31/12/2027", 400, "Data inválida em to");
        row("period backwards", days + "?from=2028-01-02&to=2028-01-01", 400, "depois de terminar");
        row("over ten years", days + "?from=2020-01-01&to=2030-01-01", 400, "passa de 10 anos");
        row("n missing", add + "2028-01-01", 400, "n=N");
        row("n not an integer", add + "2028-01-01&n=1.5", 400, "Número de dias inválido");
        row("n too large", add + "2028-01-01&n=3661", 400, "Número de dias inválido");
        row("add past the stored days", add + "2028-03-30&n=20", 404, "terminam antes");
        row("add before the stored days", add + "2027-11-02&n=-20", 404, "começam depois");
        row("a write method", "DELETE " + days, 405, "GET e HEAD");
        row("long query", days + "?x=" + QString(3000, 'a'), 414, "longo demais");
        row("broken escape", days + "?from=2028%2", 400, "escape %");
    }

    void refusals()
    {
        QFETCH(QString, request);
        QFETCH(int, status);
        QFETCH(QString, message);
        const bool other = !request.startsWith('/');
        const auto reply = m_fixture.client().request(other ? request.section(' ', 0, 0).toLatin1()
                                                            : QByteArray("GET"),
                                                      other ? request.section(' ', 1) : request);
        QCOMPARE(reply.httpStatus, status);
        QCOMPARE(reply.header("Content-Type"), QByteArray("application/json"));
        QVERIFY2(reply.json.value("error").toString().contains(message),
                 qPrintable(reply.describe()));
        QCOMPARE(m_fixture.client().get("/health").httpStatus, 200);
    }

    void etag_data()
    {
        QTest::addColumn<QString>("path");
        const QString month = "?from=2028-01-01&to=2028-01-31";
        // The tag is the body's, for every route; the feed's answers are also cached.
        QTest::newRow("days") << apiPath("3", "1", "/days" + month);
        QTest::newRow("feed") << apiPath("3", "1", ".ics" + month);
        QTest::newRow("calendars") << QStringLiteral("/api/v1/calendars");
    }

    // 304 while the calendar stays as it is; a new tag, and the answer, once a day changes.
    void etag()
    {
        QFETCH(QString, path);
        const auto first = get(path);
        const QByteArray tag = first.header("ETag");
        QVERIFY2(first.httpStatus == 200 && tag.startsWith('"'), qPrintable(first.describe()));
        const auto same = get(path, "\"other\", W/" + tag);
        QCOMPARE(same.httpStatus, 304);
        QVERIFY(same.body.isEmpty());
        QCOMPARE(same.header("ETag"), tag);

        testsupport::TestDatabase &db = m_fixture.database();
        const bool stored = m_stored.value("0003").contains("2028-01-06");
        QVERIFY(db.exec(stored ? "DELETE FROM CALEPRODUCAO WHERE CDFILIAL = '0003' AND "
                                 "DTPRODUCAO = '2028-01-06'"
                               : "INSERT INTO CALEPRODUCAO VALUES ('0003', '01', '2028-01-06')"));
        const auto changed = get(path, tag);
        QCOMPARE(changed.httpStatus, 200);
        QVERIFY(changed.header("ETag") != tag);
        QVERIFY(changed.body != first.body);
    }

    void codes_data()
    {
        QTest::addColumn<QString>("codes"); // branch/periodicity
        QTest::newRow("as stored") << QStringLiteral("0002/01");
        QTest::newRow("without leading zeros") << QStringLiteral("2/1");
        QTest::newRow("escaped") << QStringLiteral("%30%32/%31");
    }

    // Codes are completed as the methods complete them; the period defaults to this year.
    void codes()
    {
        QFETCH(QString, codes);
        const auto reply = get(apiPath(codes.section('/', 0, 0), codes.section('/', 1), "/days"));
        QCOMPARE(reply.httpStatus, 200);
        QCOMPARE(reply.json.value("branch").toString(), QStringLiteral("0002"));
        QCOMPARE(reply.json.value("periodicity").toString(), QStringLiteral("01"));
        const int year = QDate::currentDate().year();
        QCOMPARE(reply.json.value("from").toString(), QDate(year, 1, 1).toString(Qt::ISODate));
        QCOMPARE(reply.json.value("to").toString(), QDate(year, 12, 31).toString(Qt::ISODate));
    }

    void calendars_data()
    {
        QTest::addColumn<QString>("emptied");
        QTest::newRow("as stored") << QString();
        QTest::newRow("one calendar emptied") << "0002";
    }

    // Every branch x periodicity with days, with names, bounds and count.
    void calendars()
    {
        QFETCH(QString, emptied);
        if (!emptied.isEmpty())
            QVERIFY(m_fixture.database().exec("DELETE FROM CALEPRODUCAO WHERE CDFILIAL = ?",
                                              {emptied}));
        const QJsonArray list = get("/api/v1/calendars").json.value("calendars").toArray();
        QStringList expected, got;
        for (const QString &branch : m_stored.keys())
            if (branch != emptied) {
                const QStringList &days = m_stored.value(branch);
                expected.append(QStringLiteral("%1 Filial %1, Sul; Norte 01 Semanal %2 %3 %4")
                                    .arg(branch, days.first(), days.last())
                                    .arg(days.size()));
            }
        for (const QJsonValue &value : list) {
            const QJsonObject c = value.toObject();
            got.append(QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
                           .arg(c["branch"].toString(), c["branchName"].toString(),
                                c["periodicity"].toString(), c["periodicityName"].toString(),
                                c["first"].toString(), c["last"].toString())
                           .arg(c["count"].toInt()));
        }
        QCOMPARE(got, expected);
    }
};

QTEST_GUILESS_MAIN(tst_Api)
#include "tst_api.moc"
