#include "controls/tdbcalendar.h"
#include "core/exceptions.h"
#include "data/tclientdataset.h"
#include "data/tdataset.h"

#include <QApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

namespace {

const QColor kGreen(0, 128, 0);

// A data set filled directly with rows, standing in for a loaded record set.
class MemoryDataSet : public TDataSet
{
public:
    MemoryDataSet() { AddField(QStringLiteral("DTPRODUCAO"), TFieldType::ftDateTime); }
    void OpenWith(const QList<QDate> &dates)
    {
        m_rows.clear();
        for (const QDate &date : dates)
            m_rows.append(QVariantList{date});
        SetState(TDataSetState::dsBrowse);
        emit dataChanged();
    }
};

// A silver calendar on a date bound to an open data set, marking in green.
struct BoundCalendar
{
    BoundCalendar(const QDate &date, const QList<QDate> &rows)
    {
        source.SetDataSet(&dataSet);
        dataSet.OpenWith(rows);
        calendar.SetDate(date);
        calendar.SetColor(clSilver);
        calendar.SetDataSource(&source);
        calendar.SetDataField(QStringLiteral("dtproducao"));
        calendar.SetHollidayColor(clGreen);
    }
    QColor paintedAt(int day)
    {
        return calendar.grab().toImage().pixelColor(calendar.dayRect(day).topLeft() + QPoint(2, 2));
    }

    MemoryDataSet dataSet;
    TDataSource source;
    TDBCalendar calendar;
};

// A field that holds the focus first and the calendar below it, in an active window.
struct FocusWindow
{
    FocusWindow()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(field);
        layout->addWidget(calendar);
        calendar->SetDate(QDate(2026, 4, 10)); // April 2026: Wednesday 1st to Thursday 30th
        window.show();
    }

    QWidget window;
    QLineEdit *field = new QLineEdit(&window);
    TDBCalendar *calendar = new TDBCalendar(&window);
};

} // namespace

class TstTDBCalendar : public QObject
{
    Q_OBJECT

private slots:
    void dateElements_data();
    void dateElements();
    void weekStartsOnSunday_data();
    void weekStartsOnSunday();
    void arrowKeys_data();
    void arrowKeys();
    void click_data();
    void click();
    void clickIgnoredWhenFocusIsRefused();
    void detachedChangeEventIsNotRaised();
    void colourReadsBackAndPaints_data();
    void colourReadsBackAndPaints();
    void marksFollowBoundColumn();
    void noMarks_data();
    void noMarks();
    void currentDayHighlight();
    void unsavedDayIsPaintedApart_data();
    void unsavedDayIsPaintedApart();
};

void TstTDBCalendar::dateElements_data()
{
    QTest::addColumn<QDate>("start");
    QTest::addColumn<int>("element");
    QTest::addColumn<int>("value");
    QTest::addColumn<QDate>("expected");
    QTest::addColumn<bool>("rejected");

    const QDate feb10(2026, 2, 10);
    QTest::newRow("29 Feb 2024 to 2025")
        << QDate(2024, 2, 29) << 1 << 2025 << QDate(2025, 2, 28) << false;
    QTest::newRow("31 Jan to Feb leap")
        << QDate(2024, 1, 31) << 2 << 2 << QDate(2024, 2, 29) << false;
    QTest::newRow("31 Mar to Apr") << QDate(2026, 3, 31) << 2 << 4 << QDate(2026, 4, 30) << false;
    QTest::newRow("day kept") << QDate(2026, 3, 15) << 2 << 7 << QDate(2026, 7, 15) << false;
    QTest::newRow("same value") << feb10 << 3 << 10 << feb10 << false;
    QTest::newRow("year 9999") << QDate(2026, 12, 31) << 1 << 9999 << QDate(9999, 12, 31) << false;
    QTest::newRow("day beyond end") << feb10 << 3 << 29 << feb10 << true;
    QTest::newRow("month 13") << feb10 << 2 << 13 << feb10 << true;
    QTest::newRow("year 0") << feb10 << 1 << 0 << feb10 << true;
    QTest::newRow("year 10000") << feb10 << 1 << 10000 << feb10 << true;
}

void TstTDBCalendar::dateElements()
{
    QFETCH(QDate, start);
    QFETCH(int, element);
    QFETCH(int, value);
    QFETCH(QDate, expected);
    QFETCH(bool, rejected);

    TDBCalendar calendar;
    calendar.SetDate(start);
    int changes = 0;
    calendar.OnChange = [&](QObject *sender) {
        QCOMPARE(sender, &calendar);
        ++changes;
    };
    bool threw = false;
    try {
        calendar.SetDateElement(element, value);
    } catch (const Exception &) {
        threw = true;
    }
    QCOMPARE(threw, rejected);
    QCOMPARE(calendar.GetDateElement(1), expected.year());
    QCOMPARE(calendar.GetDateElement(2), expected.month());
    QCOMPARE(calendar.GetDateElement(3), expected.day());
    QCOMPARE(changes, expected != start ? 1 : 0);
}

void TstTDBCalendar::weekStartsOnSunday_data()
{
    QTest::addColumn<QDate>("month");
    QTest::addColumn<int>("firstColumn");

    QTest::newRow("Mar 2026 starts Sunday") << QDate(2026, 3, 1) << 0;
    QTest::newRow("Jan 2026 starts Thursday") << QDate(2026, 1, 1) << 4;
    QTest::newRow("Aug 2026 starts Saturday") << QDate(2026, 8, 1) << 6;
}

void TstTDBCalendar::weekStartsOnSunday()
{
    QFETCH(QDate, month);
    QFETCH(int, firstColumn);

    TDBCalendar calendar;
    calendar.SetDate(month);
    QCOMPARE(calendar.dayRect(1).center().x() / (calendar.width() / 7), firstColumn);
    QCOMPARE(calendar.dayRect(1 + (7 - firstColumn) % 7).left(), 0);
    QVERIFY(calendar.dayRect(month.daysInMonth() + 1).isEmpty());
}

void TstTDBCalendar::arrowKeys_data()
{
    QTest::addColumn<int>("startDay");
    QTest::addColumn<QList<int>>("keys");
    QTest::addColumn<int>("expectedDay");
    QTest::addColumn<int>("expectedChanges");

    QTest::newRow("left stops at first day") << 1 << QList<int>{Qt::Key_Left} << 1 << 0;
    QTest::newRow("right stops at last day") << 30 << QList<int>{Qt::Key_Right} << 30 << 0;
    QTest::newRow("up clamps to first day") << 5 << QList<int>{Qt::Key_Up} << 1 << 1;
    QTest::newRow("down clamps to last day") << 28 << QList<int>{Qt::Key_Down} << 30 << 1;
    QTest::newRow("down a week") << 10 << QList<int>{Qt::Key_Down} << 17 << 1;
    QTest::newRow("each step raises")
        << 10 << QList<int>{Qt::Key_Right, Qt::Key_Right, Qt::Key_Left} << 11 << 3;
}

void TstTDBCalendar::arrowKeys()
{
    QFETCH(int, startDay);
    QFETCH(QList<int>, keys);
    QFETCH(int, expectedDay);
    QFETCH(int, expectedChanges);

    TDBCalendar calendar;
    calendar.SetDate(QDate(2026, 4, startDay));
    calendar.show();
    QVERIFY(QTest::qWaitForWindowActive(&calendar));
    int changes = 0;
    calendar.OnChange = [&](QObject *) { ++changes; };
    for (int key : keys)
        QTest::keyClick(&calendar, Qt::Key(key));
    QCOMPARE(calendar.Date(), QDate(2026, 4, expectedDay));
    QCOMPARE(changes, expectedChanges);
}

void TstTDBCalendar::click_data()
{
    QTest::addColumn<int>("target"); // a day; -1 left of the 1st, -2 right of the 30th, 0 header
    QTest::addColumn<int>("expectedDay");

    QTest::newRow("first day") << 1 << 1;
    QTest::newRow("last day") << 30 << 30;
    QTest::newRow("current day") << 10 << 10;
    QTest::newRow("blank before first") << -1 << 10;
    QTest::newRow("blank after last") << -2 << 10;
    QTest::newRow("weekday header") << 0 << 10;
}

void TstTDBCalendar::click()
{
    QFETCH(int, target);
    QFETCH(int, expectedDay);

    FocusWindow w;
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.field->setFocus();
    int changes = 0;
    w.calendar->OnChange = [&](QObject *) { ++changes; };

    const QRect first = w.calendar->dayRect(1), last = w.calendar->dayRect(30);
    QPoint point = QPoint(first.center().x(), 2);
    if (target > 0)
        point = w.calendar->dayRect(target).center();
    else if (target == -1)
        point = first.center() - QPoint(first.width(), 0);
    else if (target == -2)
        point = last.center() + QPoint(last.width(), 0);
    QTest::mouseClick(w.calendar, Qt::LeftButton, {}, point);

    QVERIFY(w.calendar->hasFocus());
    QCOMPARE(w.calendar->Date().day(), expectedDay);
    QCOMPARE(changes, expectedDay != 10 ? 1 : 0);
}

void TstTDBCalendar::clickIgnoredWhenFocusIsRefused()
{
    FocusWindow w;
    QVERIFY(QTest::qWaitForWindowActive(&w.window));
    w.field->setFocus();
    // The field takes the focus back, as a refusing exit handler does.
    connect(qApp, &QApplication::focusChanged, w.field, [field = w.field](QWidget *old) {
        if (old == field)
            field->setFocus();
    });
    int changes = 0;
    w.calendar->OnChange = [&](QObject *) { ++changes; };

    QTest::mouseClick(w.calendar, Qt::LeftButton, {}, w.calendar->dayRect(20).center());

    QVERIFY(w.field->hasFocus());
    QCOMPARE(w.calendar->Date(), QDate(2026, 4, 10));
    QCOMPARE(changes, 0);
}

void TstTDBCalendar::detachedChangeEventIsNotRaised()
{
    TDBCalendar calendar;
    calendar.SetDate(QDate(2026, 1, 1));
    int changes = 0;
    const TNotifyEvent handler = [&](QObject *) { ++changes; };
    calendar.OnChange = nullptr;
    calendar.SetDateElement(2, 5);
    calendar.SetDateElement(1, 2027);
    calendar.OnChange = handler;
    QCOMPARE(changes, 0);
    calendar.SetDateElement(3, 2);
    QCOMPARE(changes, 1);

    // A handler that aborts during an operator's click must not escape into the event loop.
    calendar.OnChange = [](QObject *) { throw EAbort(); };
    calendar.show();
    QVERIFY(QTest::qWaitForWindowActive(&calendar));
    QTest::mouseClick(&calendar, Qt::LeftButton, {}, calendar.dayRect(20).center());
    QCOMPARE(calendar.Date(), QDate(2027, 5, 20));
}

void TstTDBCalendar::colourReadsBackAndPaints_data()
{
    QTest::addColumn<int>("colour");
    QTest::addColumn<QColor>("painted");

    QTest::newRow("clWindow") << clWindow << QApplication::palette().color(QPalette::Base);
    QTest::newRow("clSilver") << clSilver << QColor(0xC0, 0xC0, 0xC0);
    QTest::newRow("blue-green-red order") << 0x0000FF << QColor(Qt::red);
}

void TstTDBCalendar::colourReadsBackAndPaints()
{
    QFETCH(int, colour);
    QFETCH(QColor, painted);

    TDBCalendar calendar;
    calendar.SetDate(QDate(2026, 2, 1)); // four full weeks: the last rows stay empty
    calendar.SetColor(colour);
    QCOMPARE(calendar.Color(), colour);
    QCOMPARE(calendar.grab().toImage().pixelColor(2, calendar.height() - 2), painted);
}

void TstTDBCalendar::marksFollowBoundColumn()
{
    BoundCalendar bound(QDate(2026, 3, 1), {QDate(2026, 3, 2), QDate(2026, 3, 15),
                                            QDate(2026, 4, 1), QDate(2025, 3, 5), QDate()});
    QCOMPARE(bound.calendar.MarkedDays(), (QList<int>{2, 15}));
    QCOMPARE(bound.paintedAt(2), kGreen);
    QCOMPARE(bound.paintedAt(3), ColorToQColor(clSilver));

    bound.calendar.SetDateElement(2, 4);
    QCOMPARE(bound.calendar.MarkedDays(), QList<int>{1});

    bound.dataSet.OpenWith({QDate(2026, 4, 30)});
    QCOMPARE(bound.calendar.MarkedDays(), QList<int>{30});
    QCOMPARE(bound.paintedAt(30), kGreen);
    QCOMPARE(bound.paintedAt(1), ColorToQColor(clSilver));
}

void TstTDBCalendar::noMarks_data()
{
    QTest::addColumn<QString>("condition");

    for (const char *condition :
         {"clNone", "empty field", "unknown field", "closed set", "disabled source", "no source"})
        QTest::newRow(condition) << QString::fromLatin1(condition);
}

void TstTDBCalendar::noMarks()
{
    QFETCH(QString, condition);

    BoundCalendar bound(QDate(2026, 3, 1), {QDate(2026, 3, 2)});
    QVERIFY(bound.calendar.IsMarked(2));
    if (condition == "clNone")
        bound.calendar.SetHollidayColor(clNone);
    else if (condition == "empty field")
        bound.calendar.SetDataField(QString());
    else if (condition == "unknown field")
        bound.calendar.SetDataField(QStringLiteral("DTFERICOMP"));
    else if (condition == "closed set")
        bound.dataSet.Close();
    else if (condition == "disabled source")
        bound.source.SetEnabled(false);
    else
        bound.calendar.SetDataSource(nullptr);

    QVERIFY(bound.calendar.MarkedDays().isEmpty());
    QCOMPARE(bound.paintedAt(2), ColorToQColor(clSilver));
}

void TstTDBCalendar::currentDayHighlight()
{
    BoundCalendar bound(QDate(2026, 3, 9), {QDate(2026, 3, 9)});
    const QColor highlight = QApplication::palette().color(QPalette::Highlight);
    QCOMPARE(bound.paintedAt(9), kGreen);
    bound.calendar.SetShowCurrentDay(true);
    QCOMPARE(bound.paintedAt(9), highlight);
    bound.calendar.SetDateElement(3, 10);
    QCOMPARE(bound.paintedAt(10), highlight);
    QCOMPARE(bound.paintedAt(9), kGreen);
    bound.calendar.SetShowCurrentDay(false);
    QCOMPARE(bound.paintedAt(10), ColorToQColor(clSilver));
}

void TstTDBCalendar::unsavedDayIsPaintedApart_data()
{
    QTest::addColumn<bool>("merged"); // 15 March posted after 2 March was loaded, then saved?
    QTest::newRow("posted, not yet saved") << false;
    QTest::newRow("saved: change log merged") << true;
}

void TstTDBCalendar::unsavedDayIsPaintedApart()
{
    QFETCH(bool, merged);
    BoundCalendar bound(QDate(2026, 3, 15), {});
    TClientDataSet days;
    days.AddField(QStringLiteral("DTPRODUCAO"), TFieldType::ftDate);
    days.SetData({{"fields", QJsonArray{QJsonObject{{"name", "DTPRODUCAO"}, {"type", "date"}}}},
                  {"rows", QJsonArray{QJsonArray{"2026-03-02"}}}});
    bound.source.SetDataSet(&days);
    days.Append();
    days.FieldByName(QStringLiteral("DTPRODUCAO"))->SetAsDate(QDate(2026, 3, 15));
    days.Post();
    if (merged)
        days.MergeChangeLog();

    // A saved day is filled with the mark colour; an unsaved one is hatched, mostly background.
    const QImage cell = bound.calendar.grab(bound.calendar.dayRect(15)).toImage();
    int green = 0;
    for (int i = 0; i < cell.width() * cell.height(); ++i)
        green += cell.pixelColor(i % cell.width(), i / cell.width()) == kGreen;
    QCOMPARE(bound.calendar.MarkedDays(), (QList<int>{2, 15}));
    QCOMPARE(bound.calendar.IsPending(15), !merged);
    QCOMPARE(bound.paintedAt(2), kGreen);
    QCOMPARE(green > cell.width() * cell.height() / 2, merged);
    QCOMPARE(bound.calendar.accessibleDescription().endsWith("dia de produção não gravado"),
             !merged);
}

QTEST_MAIN(TstTDBCalendar)
#include "tst_tdbcalendar.moc"
