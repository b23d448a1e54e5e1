#include "core/exceptions.h"
#include "data/hostfunctions.h"
#include "data/tclientdataset.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTest>

namespace {

QJsonObject packet(const char *json)
{
    return QJsonDocument::fromJson(json).object();
}

const char *CalendarPacket = R"({"fields":[
    {"name":"CDFILIAL","type":"string","size":4},
    {"name":"CDPERIPRODU","type":"string","size":2},
    {"name":"DTPRODUCAO","type":"date"}],
  "rows":[["0001","01","2026-03-02"],["0001","01","2026-03-03"]]})";

// The calendar record set as the screen declares it.
void declareCalendar(TClientDataSet &cds)
{
    cds.AddField(QStringLiteral("CDFILIAL"), TFieldType::ftString, 4);
    cds.AddField(QStringLiteral("CDPERIPRODU"), TFieldType::ftString, 2);
    cds.AddField(QStringLiteral("DTPRODUCAO"), TFieldType::ftDateTime);
}

QString stateName(TDataSetState s)
{
    switch (s) {
    case TDataSetState::dsInactive:
        return QStringLiteral("inactive");
    case TDataSetState::dsBrowse:
        return QStringLiteral("browse");
    case TDataSetState::dsInsert:
        return QStringLiteral("insert");
    case TDataSetState::dsEdit:
        return QStringLiteral("edit");
    }
    return {};
}

// Records every event of a record set in the order it is raised.
struct EventLog
{
    QStringList entries;
    explicit EventLog(TClientDataSet &cds)
    {
        auto add = [this](const char *name) {
            return [this, name](QObject *) { entries << QString::fromLatin1(name); };
        };
        cds.BeforeInsert = add("BeforeInsert");
        cds.OnNewRecord = add("NewRecord");
        cds.AfterInsert = add("AfterInsert");
        cds.BeforePost = add("BeforePost");
        cds.AfterPost = add("AfterPost");
        cds.BeforeDelete = add("BeforeDelete");
        cds.AfterDelete = add("AfterDelete");
        cds.AfterOpen = add("AfterOpen");
        cds.AfterClose = add("AfterClose");
        cds.OnStateChange = [this, &cds](QObject *) {
            entries << QStringLiteral("State:") + stateName(cds.State());
        };
    }
};

QStringList ops(const QJsonObject &delta)
{
    QStringList result;
    for (const QJsonValue &change : delta.value(QStringLiteral("changes")).toArray()) {
        const QJsonObject c = change.toObject();
        const QString op = c.value(QStringLiteral("op")).toString();
        const QJsonArray row =
            c.value(op == QLatin1String("update") ? QStringLiteral("new") : QStringLiteral("row"))
                .toArray();
        result << op + QLatin1Char(':') + row.at(2).toString();
    }
    return result;
}

} // namespace

class TstTClientDataSet : public QObject
{
    Q_OBJECT
private slots:
    void eventOrder_data();
    void eventOrder();
    void refusedInsertAddsNothing_data();
    void refusedInsertAddsNothing();
    void changeLog_data();
    void changeLog();
    void mergeAndCancelUpdates();
    void setDataPacket_data();
    void setDataPacket();
    void malformedPacketKeepsContent_data();
    void malformedPacketKeepsContent();
    void nullReads_data();
    void nullReads();
    void postRepaintsAndReloadInsideAfterPost();
    void blankFieldsBecomeNull();
    void dataSourceState();
};

void TstTClientDataSet::eventOrder_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("append") << "append"
                            << QStringList{"BeforeInsert", "State:insert", "NewRecord",
                                           "AfterInsert"};
    QTest::newRow("append then post")
        << "append,post" << QStringList{"BeforeInsert", "State:insert", "NewRecord", "AfterInsert",
                                        "BeforePost",   "State:browse", "AfterPost"};
    QTest::newRow("append then cancel")
        << "append,cancel"
        << QStringList{"BeforeInsert", "State:insert", "NewRecord", "AfterInsert", "State:browse"};
    QTest::newRow("navigation posts the pending row")
        << "append,first" << QStringList{"BeforeInsert", "State:insert", "NewRecord", "AfterInsert",
                                         "BeforePost",   "State:browse", "AfterPost"};
    QTest::newRow("delete") << "delete" << QStringList{"BeforeDelete", "AfterDelete"};
    QTest::newRow("edit then post")
        << "edit,post" << QStringList{"State:edit", "BeforePost", "State:browse", "AfterPost"};
    QTest::newRow("post in browse does nothing") << "post" << QStringList{};
    QTest::newRow("close") << "close" << QStringList{"State:inactive", "AfterClose"};
}

void TstTClientDataSet::eventOrder()
{
    QFETCH(QString, action);
    QFETCH(QStringList, expected);
    TClientDataSet cds;
    declareCalendar(cds);
    cds.SetData(packet(CalendarPacket));
    EventLog log(cds);
    for (const QString &step : action.split(QLatin1Char(','))) {
        if (step == QLatin1String("append"))
            cds.Append();
        else if (step == QLatin1String("post"))
            cds.Post();
        else if (step == QLatin1String("cancel"))
            cds.Cancel();
        else if (step == QLatin1String("first"))
            cds.First();
        else if (step == QLatin1String("delete"))
            cds.Delete();
        else if (step == QLatin1String("edit"))
            cds.Edit();
        else if (step == QLatin1String("close"))
            cds.Close();
    }
    QCOMPARE(log.entries, expected);
}

void TstTClientDataSet::refusedInsertAddsNothing_data()
{
    QTest::addColumn<QString>("failingEvent");
    QTest::addColumn<QString>("stateAfter");
    QTest::newRow("before insert aborts") << "BeforeInsert"
                                          << "browse";
    QTest::newRow("new record fails") << "NewRecord"
                                      << "browse";
    QTest::newRow("before post refuses") << "BeforePost"
                                         << "insert";
}

void TstTClientDataSet::refusedInsertAddsNothing()
{
    QFETCH(QString, failingEvent);
    QFETCH(QString, stateAfter);
    TClientDataSet cds;
    declareCalendar(cds);
    cds.SetData(packet(CalendarPacket));
    const auto fail = [](QObject *) { throw EAbort(); };
    if (failingEvent == QLatin1String("BeforeInsert"))
        cds.BeforeInsert = fail;
    else if (failingEvent == QLatin1String("NewRecord"))
        cds.OnNewRecord = fail;
    else
        cds.BeforePost = fail;
    QVERIFY_THROWS_EXCEPTION(EAbort, {
        cds.Append();
        cds.Post();
    });
    QCOMPARE(stateName(cds.State()), stateAfter);
    QCOMPARE(cds.RecordCount(), 2);
    QCOMPARE(cds.ChangeCount(), 0);
}

void TstTClientDataSet::changeLog_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("expectedOps");
    QTest::newRow("nothing") << "" << QStringList{};
    QTest::newRow("insert") << "insert 2026-03-04" << QStringList{"insert:2026-03-04"};
    QTest::newRow("insert then delete it") << "insert 2026-03-04,delete" << QStringList{};
    QTest::newRow("delete loaded row") << "delete" << QStringList{"delete:2026-03-02"};
    QTest::newRow("edit loaded row") << "edit 2026-03-09" << QStringList{"update:2026-03-09"};
    QTest::newRow("edit back to the original")
        << "edit 2026-03-09,edit 2026-03-02" << QStringList{};
    QTest::newRow("delete and add again: delete goes first")
        << "delete,insert 2026-03-02" << QStringList{"delete:2026-03-02", "insert:2026-03-02"};
}

void TstTClientDataSet::changeLog()
{
    QFETCH(QString, script);
    QFETCH(QStringList, expectedOps);
    TClientDataSet cds;
    declareCalendar(cds);
    cds.OnNewRecord = [&](QObject *) {
        cds.FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(QStringLiteral("0001"));
        cds.FieldByName(QStringLiteral("CDPERIPRODU"))->SetAsString(QStringLiteral("01"));
    };
    cds.SetData(packet(CalendarPacket));
    for (const QString &step : script.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList parts = step.split(QLatin1Char(' '));
        if (parts[0] == QLatin1String("insert")) {
            cds.Append();
            cds.FieldByName(QStringLiteral("DTPRODUCAO"))
                ->SetAsDate(QDate::fromString(parts[1], Qt::ISODate));
            cds.Post();
        } else if (parts[0] == QLatin1String("edit")) {
            cds.First();
            cds.Edit();
            cds.FieldByName(QStringLiteral("dtproducao"))
                ->SetAsDate(QDate::fromString(parts[1], Qt::ISODate));
            cds.Post();
        } else if (parts[0] == QLatin1String("delete")) {
            cds.Delete();
        }
    }
    const QJsonObject delta = cds.Delta();
    QCOMPARE(ops(delta), expectedOps);
    QCOMPARE(cds.ChangeCount(), expectedOps.size());
    QCOMPARE(delta.value(QStringLiteral("rows")).toArray().size(), 0);
    QVERIFY(delta.value(QStringLiteral("rows")).isArray());
    QCOMPARE(delta.value(QStringLiteral("fields")).toArray().size(), 3);
}

void TstTClientDataSet::mergeAndCancelUpdates()
{
    TClientDataSet cds;
    declareCalendar(cds);
    cds.SetData(packet(CalendarPacket));
    cds.Append();
    cds.FieldByName(QStringLiteral("DTPRODUCAO"))->SetAsDate(QDate(2026, 3, 4));
    cds.Post();
    cds.MergeChangeLog();
    QCOMPARE(cds.ChangeCount(), 0);
    QCOMPARE(cds.RecordCount(), 3);

    cds.Delete();
    cds.Append(); // left pending: cancelling the updates discards it too
    cds.CancelUpdates();
    QCOMPARE(cds.State(), TDataSetState::dsBrowse);
    QCOMPARE(cds.ChangeCount(), 0);
    QCOMPARE(cds.DateSet(QStringLiteral("DTPRODUCAO")),
             (QSet<QDate>{QDate(2026, 3, 2), QDate(2026, 3, 3), QDate(2026, 3, 4)}));
}

void TstTClientDataSet::setDataPacket_data()
{
    QTest::addColumn<bool>("declared");
    QTest::addColumn<QString>("json");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expectedText");
    QTest::addColumn<QDate>("expectedDate");
    const QString reordered = QStringLiteral(
        R"({"fields":[{"name":"DTPRODUCAO","type":"date"},{"name":"cdfilial","type":"string","size":4}],
            "rows":[["2026-03-02","0007"]]})");
    QTest::newRow("declared fields, packet in another order") << true << reordered << "CDFILIAL"
                                                              << "0007" << QDate();
    QTest::newRow("declared date-time read from a date") << true << reordered << "DTPRODUCAO"
                                                         << "02/03/2026" << QDate(2026, 3, 2);
    QTest::newRow("declared field absent from packet reads null")
        << true << reordered << "CDPERIPRODU"
        << "" << QDate();
    QTest::newRow("fields taken from packet, lookup ignores case")
        << false << reordered << "CdFilial"
        << "0007" << QDate();
    QTest::newRow("float payload")
        << false << QStringLiteral(R"({"fields":[{"name":"TOTAL","type":"float"}],"rows":[[1]]})")
        << "TOTAL"
        << "1" << QDate();
    QTest::newRow("null value")
        << false
        << QStringLiteral(R"({"fields":[{"name":"DTFERICOMP","type":"date"}],"rows":[[null]]})")
        << "DTFERICOMP"
        << "" << QDate();
}

void TstTClientDataSet::setDataPacket()
{
    QFETCH(bool, declared);
    QFETCH(QString, json);
    QFETCH(QString, field);
    QFETCH(QString, expectedText);
    QFETCH(QDate, expectedDate);
    TClientDataSet cds;
    TField *declaredDate = nullptr;
    if (declared) {
        declareCalendar(cds);
        declaredDate = cds.FieldByName(QStringLiteral("DTPRODUCAO"));
    }
    cds.SetData(packet(json.toUtf8().constData()));
    QVERIFY(cds.Active());
    QCOMPARE(cds.FieldByName(field)->AsString(), expectedText);
    if (expectedDate.isValid())
        QCOMPARE(cds.FieldByName(field)->AsDate(), expectedDate);
    if (declaredDate) {
        // The screen's field objects survive loading, with their declared type.
        QCOMPARE(cds.FieldByName(QStringLiteral("DTPRODUCAO")), declaredDate);
        QCOMPARE(declaredDate->DataType(), TFieldType::ftDateTime);
        QCOMPARE(cds.Data().value(QStringLiteral("rows")).toArray().at(0).toArray().at(2),
                 QJsonValue(QStringLiteral("2026-03-02")));
    }
}

void TstTClientDataSet::malformedPacketKeepsContent_data()
{
    QTest::addColumn<QString>("json");
    QTest::newRow("row too short")
        << R"({"fields":[{"name":"A","type":"string"},{"name":"B","type":"string"}],"rows":[["x"]]})";
    QTest::newRow("bad date")
        << R"({"fields":[{"name":"D","type":"date"}],"rows":[["2026-02-30"]]})";
    QTest::newRow("unknown type") << R"({"fields":[{"name":"A","type":"blob"}],"rows":[]})";
    QTest::newRow("rows not a list") << R"({"fields":[],"rows":{}})";
    QTest::newRow("declared date gets text")
        << R"({"fields":[{"name":"DTPRODUCAO","type":"string"}],"rows":[["amanhã"]]})";
}

void TstTClientDataSet::malformedPacketKeepsContent()
{
    QFETCH(QString, json);
    TClientDataSet cds;
    declareCalendar(cds);
    cds.SetData(packet(CalendarPacket));
    QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.SetData(packet(json.toUtf8().constData())));
    QCOMPARE(cds.RecordCount(), 2);
    QCOMPARE(cds.FieldByName(QStringLiteral("CDFILIAL"))->AsString(), QStringLiteral("0001"));
    QCOMPARE(cds.Fields().size(), size_t(3));
}

void TstTClientDataSet::nullReads_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("never opened") << "closed";
    QTest::newRow("closed after load") << "loaded-closed";
    QTest::newRow("open and empty") << "empty";
    QTest::newRow("ignored payload") << "ignored";
}

void TstTClientDataSet::nullReads()
{
    QFETCH(QString, how);
    TClientDataSet cds;
    declareCalendar(cds);
    if (how == QLatin1String("loaded-closed")) {
        cds.SetData(packet(CalendarPacket));
        cds.Close();
    } else if (how == QLatin1String("empty")) {
        cds.CreateDataSet();
    } else if (how == QLatin1String("ignored")) {
        cds.SetData(packet(R"({"fields":[],"rows":[]})"));
    }
    QVERIFY(cds.IsEmpty());
    QVERIFY(cds.Eof());
    TField *date = cds.FieldByName(QStringLiteral("DTPRODUCAO"));
    QVERIFY(date->IsNull());
    QCOMPARE(date->AsString(), QString());
    QCOMPARE(date->AsInteger(), 0);
    QVERIFY(!date->AsDate().isValid());
    QVERIFY(cds.DateSet(QStringLiteral("DTPRODUCAO")).isEmpty());
    if (!cds.Active())
        QVERIFY_THROWS_EXCEPTION(EDatabaseError, cds.Append());
}

void TstTClientDataSet::postRepaintsAndReloadInsideAfterPost()
{
    TClientDataSet cds;
    declareCalendar(cds);
    cds.SetData(packet(CalendarPacket));
    QSignalSpy changed(&cds, &TDataSet::dataChanged);
    QJsonObject sent;
    // As the screen does: send the change set, merge, and reload from within the after-post event.
    cds.AfterPost = [&](QObject *) {
        if (cds.ChangeCount() <= 0)
            return;
        sent = cds.Delta();
        cds.MergeChangeLog();
        cds.SetData(packet(R"({"fields":[{"name":"CDFILIAL","type":"string","size":4},
            {"name":"CDPERIPRODU","type":"string","size":2},{"name":"DTPRODUCAO","type":"date"}],
            "rows":[["0001","01","2026-03-02"],["0001","01","2026-03-03"],["0001","01","2026-03-04"]]})"));
    };
    cds.Append();
    cds.FieldByName(QStringLiteral("DTPRODUCAO"))->SetAsDate(QDate(2026, 3, 4));
    cds.Post();
    QVERIFY(changed.count() >= 1);
    QCOMPARE(ops(sent), QStringList{"insert:2026-03-04"});
    QCOMPARE(cds.RecordCount(), 3);
    QCOMPARE(cds.ChangeCount(), 0);
    QVERIFY(cds.DateSet(QStringLiteral("DTPRODUCAO")).contains(QDate(2026, 3, 4)));
}

void TstTClientDataSet::blankFieldsBecomeNull()
{
    TClientDataSet cds;
    declareCalendar(cds);
    cds.CreateDataSet();
    cds.BeforePost = [&](QObject *) { Seta_Campo_Null(&cds); };
    cds.Append();
    cds.FieldByName(QStringLiteral("CDFILIAL"))->SetAsString(QStringLiteral("0001"));
    cds.FieldByName(QStringLiteral("CDPERIPRODU"))->SetAsString(QStringLiteral("  "));
    cds.Post();
    QVERIFY(!cds.FieldByName(QStringLiteral("CDFILIAL"))->IsNull());
    QVERIFY(cds.FieldByName(QStringLiteral("CDPERIPRODU"))->IsNull());
    const QJsonArray row =
        cds.Delta()[QStringLiteral("changes")][0][QStringLiteral("row")].toArray();
    QVERIFY(row.at(1).isNull());
}

void TstTClientDataSet::dataSourceState()
{
    TClientDataSet cds;
    declareCalendar(cds);
    TDataSource dts;
    QStringList seen;
    dts.OnStateChange = [&](QObject *) { seen << stateName(dts.State()); };
    dts.SetDataSet(&cds);
    cds.CreateDataSet();
    dts.SetEnabled(false);
    cds.Append(); // not reported while disabled
    QCOMPARE(dts.State(), TDataSetState::dsInactive);
    dts.SetEnabled(true);
    cds.Cancel();
    cds.Close();
    QCOMPARE(seen, (QStringList{"browse", "inactive", "insert", "browse", "inactive"}));
}

QTEST_MAIN(TstTClientDataSet)
#include "tst_tclientdataset.moc"
