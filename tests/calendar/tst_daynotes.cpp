// The calendar screen shows why a day cannot change: the branch's holidays (its own and the
// company-wide ones) and the closed period, on the calendar and in the hint of "Incluir".

#include "calendarscreen.h"

#include "controls/tspeedbutton.h"

extern "C" void Initialize();

using namespace Cli_qmr07700;

class tst_daynotes : public QObject
{
    Q_OBJECT

    testsupport::ScreenEnvironment m_env;
    QList<QVariantList> m_calls;

private slots:
    void initTestCase()
    {
        CALEPRODU_START_SCREENS(m_env);
        Initialize();
    }
    void init()
    {
        m_env.reset();
        m_env.dialogs.takeFocus = false;
        m_env.context.processingDate = QDate(2026, 3, 1);
    }
    void cleanup() { calendartest::CloseScreens(m_env); }

    void explainsDay_data()
    {
        QTest::addColumn<QDate>("date");
        QTest::addColumn<QString>("holiday");
        QTest::addColumn<bool>("closed");
        QTest::addColumn<QString>("hint");
        QTest::newRow("own holiday, closed period")
            << QDate(2026, 1, 25) << QStringLiteral("Aniversário de São Paulo") << true
            << QStringLiteral("Incluir: dia anterior à data de processamento (01/03/2026), "
                              "período fechado.");
        QTest::newRow("company-wide holiday, open period")
            << QDate(2026, 4, 21) << QStringLiteral("Tiradentes") << false
            << QStringLiteral("Incluir: feriado nesta data (Tiradentes); a periodicidade não "
                              "produz em feriados.");
        QTest::newRow("first day of the year")
            << QDate(2026, 1, 1) << QStringLiteral("Confraternização Universal") << true
            << QStringLiteral("Incluir: dia anterior à data de processamento (01/03/2026), "
                              "período fechado.");
        QTest::newRow("processing date itself is open")
            << QDate(2026, 3, 2) << QString() << false << QStringLiteral("Incluir");
        QTest::newRow("closed ordinary day")
            << QDate(2026, 2, 10) << QString() << true
            << QStringLiteral("Incluir: dia anterior à data de processamento (01/03/2026), "
                              "período fechado.");
    }

    void explainsDay()
    {
        QFETCH(QDate, date);
        QFETCH(QString, holiday);
        QFETCH(bool, closed);
        QFETCH(QString, hint);
        TfrmCaleProdu *screen = calendartest::OpenScreen(m_env, this, &m_calls);
        QVERIFY(screen);
        QVERIFY(calendartest::GoLive(screen, QStringLiteral("01"), date));
        TDBCalendar *calendar = screen->Calendar(date.month());
        QCOMPARE(calendar->HolidayName(date.day()), holiday);
        QCOMPARE(calendar->IsClosed(date.day()), closed);
        const QString description = calendar->accessibleDescription();
        QCOMPARE(description.contains(QStringLiteral("feriado: ") + holiday), !holiday.isEmpty());
        QCOMPARE(description.contains(QStringLiteral("período fechado")), closed);
        QCOMPARE(screen->sbtIncluir->Hint(), hint);
    }
};

QTEST_MAIN(tst_daynotes)
#include "tst_daynotes.moc"
