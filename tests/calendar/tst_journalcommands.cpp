// The calendar screen's journal commands: history, undo of the newest change, calculation
// preview, against a real server on loopback.

#include "calendar/cli_qmr07700.h"
#include "calendarscreen.h"
#include "screenenvironment.h"

#include "controls/tspeedbutton.h"
#include "data/tclientdataset.h"
#include "screens/tchangeswindow.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWindow>

#include <functional>

extern "C" void Initialize();

using namespace Cli_qmr07700;

class tst_journalcommands : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        CALEPRODU_START_SCREENS(m_env);
        Initialize();
    }
    void init()
    {
        m_env.reset();
        m_calls.clear();
        // Each case starts with an empty journal.
        QVERIFY(m_env.fixture.database().exec(QStringLiteral("DELETE FROM ALTERACAOMES")));
        QVERIFY(m_env.fixture.database().exec(QStringLiteral("DELETE FROM ALTERACAO")));
        // A closed window can leave none focused; the main window takes it back.
        m_env.window->windowHandle()->requestActivate();
    }
    void cleanup() { calendartest::CloseScreens(m_env); }

    void commandsFollowTheYearView_data();
    void commandsFollowTheYearView();
    void undoRestoresTheCalendarWhenConfirmed_data();
    void undoRestoresTheCalendarWhenConfirmed();
    void historyShowsTheMonthsChangeSets_data();
    void historyShowsTheMonthsChangeSets();
    void previewShowsTheCalculationBeforeItRuns_data();
    void previewShowsTheCalculationBeforeItRuns();

private:
    TfrmCaleProdu *openLive();
    QStringList stored();
    // Runs `step` on the changes window once it is shown modally.
    void whenWindowShown(QTimer &timer, const std::function<void(TChangesWindow *)> &step);

    testsupport::ScreenEnvironment m_env;
    QList<QVariantList> m_calls;
};

TfrmCaleProdu *tst_journalcommands::openLive()
{
    m_env.context.processingDate = QDate(2024, 1, 1);
    TfrmCaleProdu *screen = calendartest::OpenScreen(m_env, this, &m_calls);
    if (!screen)
        return nullptr;
    screen->medCdFilial->SetText(QStringLiteral("0002"));
    if (!calendartest::GoLive(screen, QStringLiteral("01"), QDate(2024, 3, 20)))
        return nullptr;
    m_calls.clear();
    return screen;
}

QStringList tst_journalcommands::stored()
{
    return m_env.fixture.database().calendar().filter(QStringLiteral("0002/01/"));
}

void tst_journalcommands::whenWindowShown(QTimer &timer,
                                          const std::function<void(TChangesWindow *)> &step)
{
    timer.setInterval(10);
    connect(&timer, &QTimer::timeout, this, [&timer, step] {
        auto *window = qobject_cast<TChangesWindow *>(QApplication::activeModalWidget());
        if (!window)
            return;
        timer.stop();
        step(window);
    });
    timer.start();
}

void tst_journalcommands::commandsFollowTheYearView_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("caption");
    QTest::newRow("history") << "Historico"
                             << "Histórico";
    QTest::newRow("undo") << "Desfazer"
                          << "Desfazer Última Alteração";
    QTest::newRow("preview") << "PreviaCalculo"
                             << "Prévia do Cálculo";
}

void tst_journalcommands::commandsFollowTheYearView()
{
    QFETCH(QString, name);
    QFETCH(QString, caption);
    TfrmCaleProdu *screen = calendartest::OpenScreen(m_env, this, &m_calls);
    QVERIFY(screen);
    auto *button = screen->findChild<TSpeedButton *>("sbt" + name);
    auto *item = screen->findChild<QAction *>("mnu" + name);
    QVERIFY(button && item);
    QCOMPARE(button->accessibleName(), caption);
    QCOMPARE(item->text(), caption);
    QVERIFY(!button->isEnabled());
    QVERIFY(!item->isEnabled());
    screen->medCdFilial->SetText(QStringLiteral("0002"));
    QVERIFY(calendartest::GoLive(screen, QStringLiteral("01"), QDate(2024, 3, 20)));
    QVERIFY(button->isEnabled());
    QVERIFY(item->isEnabled());
}

void tst_journalcommands::undoRestoresTheCalendarWhenConfirmed_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("confirmed") << int(mrYes);
    QTest::newRow("declined") << int(mrNo);
}

void tst_journalcommands::undoRestoresTheCalendarWhenConfirmed()
{
    QFETCH(int, answer);
    TfrmCaleProdu *screen = openLive();
    QVERIFY(screen);
    const QStringList before = stored();
    QTest::mouseClick(screen->sbtCalcMes, Qt::LeftButton);
    const QStringList calculated = stored();
    QVERIFY(calculated != before);

    m_env.dialogs.answers = {answer};
    screen->findChild<QAction *>("mnuDesfazer")->trigger();
    const QStringList texts = m_env.dialogs.texts();
    QVERIFY2(!texts.isEmpty() && texts.last().contains("CalculaProducao") &&
                 texts.last().contains(QString::number(calculated.size() - before.size())),
             qPrintable(texts.join('\n')));
    QCOMPARE(stored(), answer == mrYes ? before : calculated);
    QCOMPARE(screen->cdsCaleProdu->RecordCount(), int(stored().size()));
}

void tst_journalcommands::historyShowsTheMonthsChangeSets_data()
{
    QTest::addColumn<bool>("calculated");
    QTest::newRow("after a month's calculation") << true;
    QTest::newRow("no change yet") << false;
}

void tst_journalcommands::historyShowsTheMonthsChangeSets()
{
    QFETCH(bool, calculated);
    TfrmCaleProdu *screen = openLive();
    QVERIFY(screen);
    if (calculated)
        QTest::mouseClick(screen->sbtCalcMes, Qt::LeftButton);
    QList<QStringList> shown;
    QString title;
    QTimer timer;
    whenWindowShown(timer, [&](TChangesWindow *window) {
        title = window->windowTitle();
        for (int row = 0; row < window->Table()->rowCount(); ++row) {
            QStringList cells;
            for (int column = 1; column < window->Table()->columnCount(); ++column)
                cells << window->Table()->item(row, column)->text();
            shown << cells;
        }
        window->CloseButton()->click();
    });
    screen->findChild<QAction *>("mnuHistorico")->trigger();
    QCOMPARE(title, QStringLiteral("Histórico do Calendário"));
    if (!calculated) {
        QVERIFY(shown.isEmpty());
        return;
    }
    const QList<QVariantList> set = m_env.fixture.database().rows(
        QStringLiteral("SELECT DTHRALTERACAO, NMOPERADOR FROM ALTERACAO"));
    QCOMPARE(set.size(), 1);
    QDateTime moment = QDateTime::fromString(set.first().at(0).toString(), Qt::ISODate);
    moment.setTimeSpec(Qt::UTC);
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown.first().mid(0, 3),
             (QStringList{moment.toLocalTime().toString("dd/MM/yyyy HH:mm:ss"),
                          set.first().at(1).toString(), "CalculaProducao"}));
}

void tst_journalcommands::previewShowsTheCalculationBeforeItRuns_data()
{
    QTest::addColumn<QString>("command");
    QTest::newRow("closed") << "Fechar";
    QTest::newRow("calculated") << "Calcular";
}

void tst_journalcommands::previewShowsTheCalculationBeforeItRuns()
{
    QFETCH(QString, command);
    TfrmCaleProdu *screen = openLive();
    QVERIFY(screen);
    const QStringList before = stored();
    QString title;
    QStringList total;
    QTimer timer;
    whenWindowShown(timer, [&](TChangesWindow *window) {
        title = window->windowTitle();
        const int last = window->Table()->rowCount() - 1;
        for (int column : {0, 2, 3})
            total << window->Table()->item(last, column)->text();
        for (QPushButton *button : window->findChildren<QPushButton *>())
            if (button->accessibleName() == command)
                button->click();
    });
    screen->findChild<QAction *>("mnuPreviaCalculo")->trigger();
    QCOMPARE(title, QStringLiteral("Prévia do Cálculo"));
    if (command == QLatin1String("Fechar")) {
        QCOMPARE(stored(), before);
        return;
    }
    int added = 0, removed = 0;
    for (const QString &day : stored())
        added += before.contains(day) ? 0 : 1;
    for (const QString &day : before)
        removed += stored().contains(day) ? 0 : 1;
    QVERIFY(added > 0);
    QCOMPARE(total, (QStringList{"Total", QString::number(added), QString::number(removed)}));
}

QTEST_MAIN(tst_journalcommands)
#include "tst_journalcommands.moc"
