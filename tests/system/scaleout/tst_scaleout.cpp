// Two server processes behind nginx over one PostgreSQL database, sixteen clients writing at once
// through it: what is stored is what the server's rules make of the calls, whatever order the
// servers committed them in.

#include "calendarmodel.h"
#include "scaleoutstack.h"

#include <testdatabase.h>

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <functional>
#include <numeric>
#include <thread>

using namespace scaleout;
using testsupport::RpcClient;

namespace {

constexpr int clients = 16;
constexpr int ownCalls = 200;    // per client, on keys of its own
constexpr int sharedCalls = 150; // per client, on keys every client writes
constexpr int refused = -32000;
constexpr int busy = -32001;

QString code(int number, int width)
{
    return QStringLiteral("%1").arg(number, width, 10, QLatin1Char('0'));
}

Periodicity randomPeriodicity(std::mt19937 &random, bool avoidHolidays)
{
    Periodicity periodicity;
    periodicity.monthDays = random() % 2;
    periodicity.avoidHolidays = avoidHolidays;
    const unsigned range = periodicity.monthDays ? 31 : 7;
    for (int n = periodicity.monthDays ? 8 : 4; n > 0; --n)
        periodicity.days.insert(1 + int(random() % range));
    return periodicity;
}

// Half of the periodicities avoid holidays; every branch has holidays of its own besides those of
// every branch.
Reference randomReference(std::mt19937 &random, const QStringList &branches,
                          const QStringList &rescinded, const QStringList &periodicities)
{
    Reference reference;
    for (const QString &branch : branches) {
        reference.branches[branch] = rescinded.contains(branch);
        for (int n = 0; n < 3; ++n)
            reference.holidays[branch].append(QDate(2030, 1, 1).addDays(random() % 365));
    }
    for (int i = 0; i < periodicities.size(); ++i)
        reference.periodicities[periodicities.at(i)] = randomPeriodicity(random, i % 2 == 0);
    for (const char *day : {"2030-01-01", "2030-03-04", "2030-04-19", "2030-04-21", "2030-05-01",
                            "2030-09-07", "2030-10-12", "2030-11-15", "2030-12-25", "2031-01-01"})
        reference.holidays[QString()].append(QDate::fromString(QLatin1String(day), Qt::ISODate));
    return reference;
}

// Some of the days a calculation would give, for every branch (rescinded ones too).
std::set<QString> randomRows(std::mt19937 &random, const Reference &reference)
{
    std::set<QString> rows;
    for (const QString &branch : reference.branches.keys())
        for (const QString &periodicity : reference.periodicities.keys())
            for (QDate day(2030, 1, 1); day.year() == 2030; day = day.addDays(1))
                if (reference.produces(branch, periodicity, day) && random() % 5 == 0)
                    rows.insert(rowKey(branch, periodicity, day));
    return rows;
}

QStringList rowsOf(const QStringList &rows, const QString &branch)
{
    return rows.filter(QRegularExpression(QLatin1Char('^') + branch + QLatin1Char('/')));
}

// The first few differences between what is stored and what was expected.
QString difference(const QStringList &stored, const std::set<QString> &expected)
{
    const std::set<QString> found(stored.begin(), stored.end());
    QStringList missing, extra;
    std::set_difference(expected.begin(), expected.end(), found.begin(), found.end(),
                        std::back_inserter(missing));
    std::set_difference(found.begin(), found.end(), expected.begin(), expected.end(),
                        std::back_inserter(extra));
    return QStringLiteral("%1 rows missing (%2), %3 not expected (%4), %5 stored twice")
        .arg(missing.size())
        .arg(missing.mid(0, 8).join(", "))
        .arg(extra.size())
        .arg(extra.mid(0, 8).join(", "))
        .arg(stored.size() - qsizetype(found.size()));
}

// What one client sent and what it got back.
struct Exchange
{
    Call call;
    RpcClient::Reply reply;
};

// Inserts rows a few hundred at a time: one statement per row would take longer than the run.
bool insertRows(testsupport::TestDatabase &db, const QString &table,
                const QList<QVariantList> &rows)
{
    for (qsizetype from = 0; from < rows.size(); from += 300) {
        const QList<QVariantList> chunk = rows.mid(from, 300);
        const QString row = '(' + QStringList(chunk.first().size(), "?").join(", ") + ')';
        QVariantList binds;
        for (const QVariantList &values : chunk)
            binds += values;
        if (!db.exec("INSERT INTO " + table + " VALUES " +
                         QStringList(chunk.size(), row).join(", "),
                     binds))
            return false;
    }
    return true;
}

} // namespace

class tst_ScaleOut : public QObject
{
    Q_OBJECT

    std::unique_ptr<testsupport::TestDatabase> m_database;
    std::unique_ptr<ScaleOutStack> m_stack;
    quint32 m_seed = 14;

    // Empties the database and writes the reference data and the calendar rows into it.
    bool fill(const Reference &reference, const std::set<QString> &rows);
    // Runs `calls` random calls on each client's scope; `checkpoint(i)` runs once i thirds of all
    // are done (i = 1, 2).
    std::vector<std::vector<Exchange>> run(const QList<Scope> &scopes, const Reference &reference,
                                           int calls,
                                           const std::function<void(int)> &checkpoint = {});

private slots:
    void initTestCase();
    void cleanupTestCase();
    void ownKeysEndAsTheModel();
    void sharedKeysKeepTheInvariants();
};

void tst_ScaleOut::initTestCase()
{
    if (qEnvironmentVariableIsSet("CALEPRODU_SCALEOUT_SEED"))
        m_seed = qEnvironmentVariable("CALEPRODU_SCALEOUT_SEED").toUInt();
    qInfo("seed %u (CALEPRODU_SCALEOUT_SEED repeats a run)", m_seed);
    if (ScaleOutStack::nginx().isEmpty())
        QSKIP("nginx is not installed (scripts/install-deps installs it)");
    CALEPRODU_CREATE_DATABASE(m_database, testsupport::Engine::Postgres);
    QString message;
    m_stack = std::make_unique<ScaleOutStack>(m_database->url());
    QVERIFY2(m_stack->start(&message), qPrintable(message));
}

void tst_ScaleOut::cleanupTestCase()
{
    m_stack.reset();
    m_database.reset();
}

bool tst_ScaleOut::fill(const Reference &reference, const std::set<QString> &rows)
{
    QList<QVariantList> branches, periodicities, days, holidays, calendar;
    for (auto branch = reference.branches.begin(); branch != reference.branches.end(); ++branch)
        branches.append({branch.key(), "Filial " + branch.key(), branch.value() ? "S" : "N"});
    for (auto kind = reference.periodicities.begin(); kind != reference.periodicities.end();
         ++kind) {
        periodicities.append({kind.key(), "Periodicidade " + kind.key(),
                              kind->avoidHolidays ? "S" : "N", kind->monthDays ? "M" : "S"});
        for (int day : kind->days)
            days.append({kind.key(), day});
    }
    for (auto list = reference.holidays.begin(); list != reference.holidays.end(); ++list)
        for (QDate day : QSet<QDate>(list->begin(), list->end()))
            holidays.append({list.key().isEmpty() ? QVariant(QMetaType::fromType<QString>())
                                                  : QVariant(list.key()),
                             day, "Feriado"});
    for (const QString &row : rows) {
        const QStringList parts = row.split(QLatin1Char('/'));
        calendar.append({parts.at(0), parts.at(1), QDate::fromString(parts.at(2), Qt::ISODate)});
    }
    testsupport::TestDatabase &db = *m_database;
    return db.clear() && insertRows(db, "FILIAL (CDFILIAL, NMFILIAL, IDCNTRRESC)", branches) &&
           insertRows(db, "PERIPRODUCAO (CDPERIPRODU, NMPERIPRODU, IDDIANUTILP, IDTIPODIAP)",
                      periodicities) &&
           insertRows(db, "DIASPRODUCAO (CDPERIPRODU, NRDIAPRODU)", days) &&
           insertRows(db, "FERIADO (CDFILIAL, DTFERICOMP, NMFERIADO)", holidays) &&
           insertRows(db, "CALEPRODUCAO (CDFILIAL, CDPERIPRODU, DTPRODUCAO)", calendar);
}

std::vector<std::vector<Exchange>> tst_ScaleOut::run(const QList<Scope> &scopes,
                                                     const Reference &reference, int calls,
                                                     const std::function<void(int)> &checkpoint)
{
    std::vector<std::vector<Exchange>> exchanges(clients);
    std::vector<int> connections(clients);
    std::atomic<int> done{0};
    QElapsedTimer timer;
    timer.start();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c)
        threads.emplace_back([&, c] {
            std::seed_seq sequence{m_seed, quint32(c), quint32(calls)};
            std::mt19937 random(sequence);
            KeepAliveClient client(m_stack->port());
            for (int i = 0; i < calls; ++i, ++done) {
                const Call call = randomCall(random, scopes.at(c % scopes.size()), reference);
                exchanges[c].push_back({call, client.call(call.method, call.params)});
            }
            connections[c] = client.connections();
        });
    for (int third = 1; checkpoint && third <= 2; ++third) {
        while (done < clients * calls * third / 3)
            QThread::msleep(2);
        checkpoint(third);
    }
    for (std::thread &thread : threads)
        thread.join();
    const QList<int> served = m_stack->callsPerServer();
    qInfo("%d calls in %lld ms; the servers answered %d and %d calls in all; the clients opened "
          "%d connections",
          clients * calls, timer.elapsed(), served.value(0), served.value(1),
          std::accumulate(connections.begin(), connections.end(), 0));
    return exchanges;
}

void tst_ScaleOut::ownKeysEndAsTheModel()
{
    // Each client has four branches (one with its contract rescinded) and two periodicities of its
    // own, and copies only among its branches: no call depends on another client's.
    std::mt19937 random(m_seed);
    QStringList branches, rescinded, periodicities;
    QList<Scope> scopes;
    for (int c = 0; c < clients; ++c) {
        Scope scope;
        for (int k = 0; k < 3; ++k)
            scope.branches.append(code(1000 + 10 * c + k, 4));
        for (int k = 0; k < 2; ++k)
            scope.periodicities.append(code(10 + 2 * c + k, 2));
        scope.odd = QStringList{code(1000 + 10 * c + 3, 4), QStringLiteral("9999")};
        rescinded.append(scope.odd.first());
        branches += scope.branches;
        branches.append(rescinded.last());
        periodicities += scope.periodicities;
        scopes.append(scope);
    }
    const Reference reference = randomReference(random, branches, rescinded, periodicities);
    const std::set<QString> initial = randomRows(random, reference);
    QVERIFY(fill(reference, initial));

    const auto exchanges = run(scopes, reference, ownCalls);

    // Replays each client's calls on a model of its own keys, in the order it sent them.
    std::set<QString> expected;
    QStringList failures;
    int refusals = 0;
    for (int c = 0; c < clients; ++c) {
        CalendarModel model(reference, initial);
        for (const Exchange &exchange : exchanges[c]) {
            const bool allowed = model.apply(exchange.call);
            const RpcClient::Reply &reply = exchange.reply;
            refusals += !allowed;
            if (reply.httpStatus != 200 || reply.isError() != !allowed ||
                (!allowed && reply.errorCode() != refused))
                failures.append(
                    QStringLiteral("%1 should %2: %3")
                        .arg(exchange.call.describe(),
                             allowed ? QStringLiteral("succeed") : QStringLiteral("be refused"),
                             reply.describe()));
        }
        for (const QString &branch : scopes.at(c).branches + scopes.at(c).odd.mid(0, 1))
            for (const QString &row : model.rows())
                if (row.startsWith(branch + QLatin1Char('/')))
                    expected.insert(row);
    }
    qInfo("%d calls refused by the rules, as the model predicted", refusals);
    QVERIFY2(refusals > 0, "the mix should exercise the refusals");
    QVERIFY2(failures.isEmpty(), qPrintable(QString::number(failures.size()) +
                                            " calls answered otherwise than the rules say, e.g. " +
                                            failures.mid(0, 3).join("\n")));
    const QStringList stored = m_database->calendar();
    if (stored != QStringList(expected.begin(), expected.end()))
        QFAIL(qPrintable(difference(stored, expected)));
    const QList<int> served = m_stack->callsPerServer();
    QVERIFY2(served.value(0) > 0 && served.value(1) > 0, "nginx should use both servers");
}

void tst_ScaleOut::sharedKeysKeepTheInvariants()
{
    // Every client writes the same six branches and three periodicities, copies to every branch
    // too; 2005's contract is rescinded from the start, 2003's and 2004's during the run.
    std::mt19937 random(m_seed + 1);
    Scope scope;
    scope.copyToAll = true;
    for (int k = 0; k < 5; ++k)
        scope.branches.append(code(2000 + k, 4));
    scope.odd = QStringList{"2005", "9999"};
    scope.periodicities = QStringList{"50", "51", "52"};
    const Reference before = randomReference(random, scope.branches + QStringList{"2005"}, {"2005"},
                                             scope.periodicities);
    Reference after = before;
    after.branches["2003"] = after.branches["2004"] = true;
    const std::set<QString> initial = randomRows(random, before);
    QVERIFY(fill(before, initial));

    // Once a rescission commits, no call may add a day to the branch: what it has then is all it
    // may keep.
    QMap<QString, QStringList> rescindedDuringRun;
    const auto exchanges = run({scope}, before, sharedCalls, [&](int third) {
        const QString branch = code(2002 + third, 4);
        m_database->exec("UPDATE FILIAL SET IDCNTRRESC = 'S' WHERE CDFILIAL = ?", {branch});
        rescindedDuringRun[branch] = rowsOf(m_database->calendar(), branch);
    });
    QCOMPARE(rescindedDuringRun.size(), 2);

    // A refusal depends only on the reference data, never on the calendar: whether a call is
    // allowed is known before and after the rescissions; calls on 2003 or 2004 may go either way.
    QStringList failures;
    QList<Call> succeeded;
    int counts[3] = {0, 0, 0};
    for (const auto &list : exchanges)
        for (const Exchange &exchange : list) {
            const RpcClient::Reply &reply = exchange.reply;
            const bool allowedBefore = CalendarModel(before, {}).apply(exchange.call);
            const bool allowedAfter = CalendarModel(after, {}).apply(exchange.call);
            const bool ok = reply.httpStatus == 200 && !reply.isError();
            const bool wasRefused = reply.httpStatus == 200 && reply.errorCode() == refused;
            const bool wasBusy = reply.httpStatus == 200 && reply.errorCode() == busy;
            ++counts[ok ? 0 : wasRefused ? 1 : 2];
            if (ok)
                succeeded.append(exchange.call);
            if ((!ok && !wasRefused && !wasBusy) || (ok && !allowedBefore && !allowedAfter) ||
                (wasRefused && allowedBefore && allowedAfter))
                failures.append(exchange.call.describe() + ": " + reply.describe());
        }
    qInfo("%d calls succeeded, %d were refused by the rules, %d found the database busy", counts[0],
          counts[1], counts[2]);
    QVERIFY2(failures.isEmpty(),
             qPrintable(QString::number(failures.size()) +
                        " calls answered otherwise than the rules allow, e.g. " +
                        failures.mid(0, 3).join("\n")));

    // Every row any order of the successful calls could have written, with those at the start.
    CalendarModel possible(before, initial, CalendarModel::Mode::Additive);
    for (size_t size = 0; size != possible.rows().size();) {
        size = possible.rows().size();
        for (const Call &call : succeeded)
            possible.apply(call);
    }
    const QStringList stored = m_database->calendar();
    QVERIFY2(QSet<QString>(stored.begin(), stored.end()).size() == stored.size(),
             "a calendar row is stored twice");
    for (const QString &row : stored) {
        QVERIFY2(possible.rows().contains(row), qPrintable(row + " was written by no client"));
        const QStringList key = row.split(QLatin1Char('/'));
        QVERIFY2(!(before.periodicities[key[1]].avoidHolidays &&
                   before.isHoliday(key[0], QDate::fromString(key[2], Qt::ISODate))),
                 qPrintable(row + " is a holiday of a periodicity that avoids them"));
    }
    for (const QString &row : rowsOf(stored, "2005"))
        QVERIFY2(initial.contains(row), qPrintable("rescinded 2005 gained " + row));
    for (auto branch = rescindedDuringRun.begin(); branch != rescindedDuringRun.end(); ++branch)
        for (const QString &row : rowsOf(stored, branch.key()))
            QVERIFY2(branch->contains(row),
                     qPrintable(branch.key() + " gained " + row + " after its rescission"));
}

QTEST_GUILESS_MAIN(tst_ScaleOut)
#include "tst_scaleout.moc"
