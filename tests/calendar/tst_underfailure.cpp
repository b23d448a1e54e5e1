// The screens under failure: every command that reaches the server (or, for the report, the
// database) is run while its own call fails — the server stopped, refusing the caller, or its
// database refusing — and must show one clear message, close the progress animation, give the
// cursor back, keep a day left unsent pending and painted, and work again once the server is back.

#include "calendarscreen.h"

#include "export/cli_qmr07702.h"
#include "report/cli_qmr07701.h"

#include "controls/hostcolors.h"
#include "controls/showavi.h"
#include "controls/tanimate.h"
#include "controls/tbtnpesquisa.h"
#include "controls/tdateeditplus.h"
#include "controls/tpanel.h"
#include "controls/tspeedbutton.h"
#include "core/dialogs.h"
#include "data/dtmdbgeral.h"
#include "data/tclientdataset.h"
#include "screens/tfrmdadosgerrel.h"

#include <server.h>

#include <QGuiApplication>
#include <QMenu>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

using Cli_qmr07700::TfrmCaleProdu;
using Cli_qmr07701::TfrmListCaleProdu;
using Cli_qmr07702::TfrmExportCaleProdu;

extern "C" void Initialize();

namespace {

enum class Failure { Stopped, Unauthorized, Refusing };

// The tables whose renaming makes every calendar method fail in the database.
const QStringList RefusedTables{QStringLiteral("CALEPRODUCAO"), QStringLiteral("FERIADO")};

const QDate Selected(2026, 4, 22); // a production day
const QDate Unsent(2026, 4, 23);   // the day left pending by a failed upload
const QDate NextDay(2026, 4, 24);  // the day posted once the server is back

} // namespace

Q_DECLARE_METATYPE(Failure)

class tst_underfailure : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void commandUnderFailure_data();
    void commandUnderFailure();
    void readsAgainAfterTheDatabaseDropsTheSession();
    void reloadAfterAWriteIsOffered_data();
    void reloadAfterAWriteIsOffered();

private:
    using Command = std::function<void(tst_underfailure &, bool again)>;
    static const std::map<QString, Command> &commands();

    bool startServer(QString *error, const QString &token = {});
    void breakServer();
    void mendServer();
    TfrmExportCaleProdu *openExportDialog();
    void closeExportDialog();
    void runReport(TSpeedButton *TfrmDadosGerRel::*button);
    void clickDay(const QDate &day);
    void deleteScope(QAction *TfrmCaleProdu::*entry, const QDate &day = Selected);
    void include(const QDate &day);
    bool painted(const QDate &day) const;
    QStringList stored();

    testsupport::ScreenEnvironment m_env;
    std::unique_ptr<caleserver::Server> m_server;
    int m_port = 0;
    TfrmCaleProdu *m_screen = nullptr;
    QList<QVariantList> m_calls;
    // The server fails as the screen calls this method; empty: nothing armed.
    QString m_armedAt;
    QString m_periodicity;
    Failure m_failure = Failure::Stopped;
    bool m_broken = false;
};

bool tst_underfailure::startServer(QString *error, const QString &token)
{
    caleserver::ServerOptions options;
    options.token = token.toStdString();
    options.databaseUrl = m_env.fixture.url().toStdString();
    options.port = m_port;
    options.threads = 2;
    m_server = std::make_unique<caleserver::Server>(options);
    std::string reason;
    if (!m_server->start(&reason)) {
        *error = QString::fromStdString(reason);
        return false;
    }
    m_port = m_server->port();
    return true;
}

void tst_underfailure::breakServer()
{
    m_broken = true;
    QString error;
    switch (m_failure) {
    case Failure::Stopped:
        m_server.reset();
        break;
    case Failure::Unauthorized:
        // Restarted with a token the screens do not carry: every call gets 401.
        m_server.reset();
        QVERIFY2(startServer(&error, QStringLiteral("outro")), qPrintable(error));
        break;
    case Failure::Refusing:
        for (const QString &table : RefusedTables)
            QVERIFY(m_env.fixture.database().exec(
                QStringLiteral("ALTER TABLE %1 RENAME TO %1_OFF").arg(table)));
        break;
    }
}

void tst_underfailure::mendServer()
{
    if (!m_broken)
        return;
    m_broken = false;
    if (m_failure == Failure::Refusing) {
        for (const QString &table : RefusedTables)
            QVERIFY(m_env.fixture.database().exec(
                QStringLiteral("ALTER TABLE %1_OFF RENAME TO %1").arg(table)));
        return;
    }
    m_server.reset();
    QString error;
    // Back on the same address, as a restarted service would be.
    QVERIFY2(startServer(&error), qPrintable(error));
}

void tst_underfailure::initTestCase()
{
    CALEPRODU_START_SCREENS(m_env);
    Initialize();
    // Destinations open for all of 2026, so that the export's copy writes.
    QVERIFY(m_env.fixture.database().exec(
        QStringLiteral("UPDATE FILIAL SET DTPROCESSA = '2026-01-01'")));
    QString error;
    QVERIFY2(startServer(&error), qPrintable(error));
    m_env.dialogs.printAnswer = false;
}

void tst_underfailure::init()
{
    m_env.reset();
    m_env.context.port = m_port;
    m_calls.clear();
    m_armedAt.clear();
    for (const char *periodicity : {"01", "02"}) {
        for (const char *day : {"2026-01-05", "2026-01-06", "2026-04-22", "2026-05-04"})
            QVERIFY(m_env.fixture.database().exec(
                QStringLiteral("INSERT INTO CALEPRODUCAO VALUES ('0001', ?, ?)"),
                {QString::fromLatin1(periodicity), QString::fromLatin1(day)}));
    }
    m_env.window->windowHandle()->requestActivate();
    m_screen = calendartest::OpenScreen(m_env, this, &m_calls);
    QVERIFY(m_screen);
    connect(m_screen->netCaleComp, &TNetConnection::called, this, [this](const QString &method) {
        if (method != m_armedAt)
            return;
        m_armedAt.clear();
        breakServer();
    });
}

void tst_underfailure::cleanup()
{
    mendServer();
    closeExportDialog();
    calendartest::CloseScreens(m_env);
}

void tst_underfailure::cleanupTestCase()
{
    calendartest::CloseScreens(m_env);
    m_server.reset();
}

void tst_underfailure::clickDay(const QDate &day)
{
    // A closed pop-up menu or dialog can leave no window active; the operator's click activates.
    QApplication::setActiveWindow(m_env.window.get());
    calendartest::ClickDay(m_screen->Calendar(day.month()), day.day());
}

void tst_underfailure::include(const QDate &day)
{
    clickDay(day);
    QTest::mouseClick(m_screen->sbtIncluir, Qt::LeftButton);
    if (m_screen->cdsCaleProdu->State() == TDataSetState::dsInsert)
        QTest::mouseClick(m_screen->sbtConfirmar, Qt::LeftButton);
}

void tst_underfailure::deleteScope(QAction *TfrmCaleProdu::*entry, const QDate &day)
{
    clickDay(day);
    QTest::mouseClick(m_screen->sbtExcluir, Qt::LeftButton);
    (m_screen->*entry)->trigger();
    m_screen->pmnExcluir->hide();
}

TfrmExportCaleProdu *tst_underfailure::openExportDialog()
{
    TfrmExportCaleProdu *dialog = Cli_qmr07702::CreateExportDialog(
        QStringLiteral("0001"), QStringLiteral("02"), QStringLiteral("2026"));
    dialog->show();
    QApplication::setActiveWindow(dialog);
    (void)QTest::qWaitFor([dialog] { return !dialog->PrimAtiv(); });
    return dialog;
}

void tst_underfailure::closeExportDialog()
{
    if (Cli_qmr07702::frmExportCaleProdu)
        Cli_qmr07702::frmExportCaleProdu->close();
    (void)QTest::qWaitFor([] { return Cli_qmr07702::frmExportCaleProdu.isNull(); });
}

void tst_underfailure::runReport(TSpeedButton *TfrmDadosGerRel::*button)
{
    QTemporaryDir dir;
    m_env.dialogs.saveAnswer = dir.filePath(QStringLiteral("calendario.pdf"));
    std::unique_ptr<TfrmListCaleProdu> dialog(
        TfrmDadosGerRel::Create<TfrmListCaleProdu>(m_env.window.get()));
    dialog->show();
    QApplication::setActiveWindow(dialog.get());
    dialog->depIni->SetText(QStringLiteral("01/2026"));
    dialog->depFim->SetText(QStringLiteral("12/2026"));
    (dialog.get()->*button)->click();
}

const std::map<QString, tst_underfailure::Command> &tst_underfailure::commands()
{
    using T = tst_underfailure;
    static const std::map<QString, Command> table{
        {"load",
         [](T &t, bool) {
             QApplication::setActiveWindow(t.m_env.window.get());
             // A click, as the operator does: after an error box only the operator moves on.
             QTest::mouseClick(t.m_screen->medCdPeriodicidade, Qt::LeftButton);
             t.clickDay(Selected);
             QVERIFY(t.m_broken || t.m_screen->cdsCaleProdu->Active());
         }},
        {"post", [](T &t, bool again) { t.include(again ? QDate(2026, 4, 27) : Unsent); }},
        {"post on changing the day",
         [](T &t, bool again) {
             t.clickDay(again ? QDate(2026, 4, 27) : Unsent);
             QTest::mouseClick(t.m_screen->sbtIncluir, Qt::LeftButton);
             t.clickDay(QDate(2026, 4, 28));
         }},
        {"holiday check", [](T &t, bool) { t.include(QDate(2026, 4, 27)); }},
        {"delete day",
         [](T &t, bool again) {
             // The day deleted before its reload failed is gone: the next one is taken.
             t.deleteScope(&TfrmCaleProdu::mnuDia, again ? QDate(2026, 5, 4) : Selected);
         }},
        {"delete month", [](T &t, bool) { t.deleteScope(&TfrmCaleProdu::mnuMes); }},
        {"delete year", [](T &t, bool) { t.deleteScope(&TfrmCaleProdu::mnuAno); }},
        {"verify",
         [](T &t, bool) {
             t.clickDay(Selected);
             QTest::mouseClick(t.m_screen->sbtVerificar, Qt::LeftButton);
         }},
        {"calculate month",
         [](T &t, bool) {
             t.clickDay(Selected);
             QTest::mouseClick(t.m_screen->sbtCalcMes, Qt::LeftButton);
         }},
        {"calculate year",
         [](T &t, bool) {
             t.clickDay(Selected);
             QTest::mouseClick(t.m_screen->sbtCalcAno, Qt::LeftButton);
         }},
        {"export command",
         [](T &t, bool) {
             // The dialog opens modally once the server answers; it is closed at once.
             QTimer closer;
             closer.setInterval(10);
             QObject::connect(&closer, &QTimer::timeout, [] {
                 if (QWidget *modal = QApplication::activeModalWidget())
                     modal->close();
             });
             closer.start();
             QTest::mouseClick(t.m_screen->sbtExportar, Qt::LeftButton);
         }},
        {"export branch lookup",
         [](T &t, bool) {
             QTest::mouseClick(t.openExportDialog()->btpFilial, Qt::LeftButton);
             t.closeExportDialog();
         }},
        {"export copy",
         [](T &t, bool) {
             TfrmExportCaleProdu *dialog = t.openExportDialog();
             QTest::mouseClick(dialog->sbtImportExport, Qt::LeftButton);
             QVERIFY(!dialog->panAnimacao->isVisible());
             QVERIFY(!dialog->amnTempo->Active());
             t.closeExportDialog();
         }},
        {"report preview", [](T &t, bool) { t.runReport(&TfrmDadosGerRel::sbtPreview); }},
        {"report print", [](T &t, bool) { t.runReport(&TfrmDadosGerRel::sbtPrint); }},
        {"report save", [](T &t, bool) { t.runReport(&TfrmDadosGerRel::sbtSalvarComo); }},
    };
    return table;
}

bool tst_underfailure::painted(const QDate &day) const
{
    TDBCalendar *calendar = m_screen->Calendar(day.month());
    return calendar->HollidayColor() != clNone && calendar->IsMarked(day.day());
}

QStringList tst_underfailure::stored()
{
    QStringList days;
    for (const QString &row : m_env.fixture.database().calendar()) {
        if (row.startsWith(QStringLiteral("0001/%1/").arg(m_periodicity)))
            days.append(row.mid(8));
    }
    return days;
}

void tst_underfailure::commandUnderFailure_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("periodicity");
    QTest::addColumn<QString>("method"); // the call that fails; empty: the database at once
    QTest::addColumn<bool>("unsentBefore");
    QTest::addColumn<Failure>("failure");

    struct Row
    {
        const char *command;
        const char *periodicity;
        const char *method;
        bool unsentBefore; // a failed upload leaves a day pending before the command
    };
    // Entering the filter panel to load another calendar closes the record set on purpose, and
    // so does a failed reload after a write; the holiday check refuses the include that would
    // leave a day unsent: those rows start clean.
    const Row rows[] = {
        {"load", "02", "GetCaleProdu", false},
        {"post", "02", "SetCaleProdu", false},
        {"post", "02", "GetCaleProdu", false},
        {"post on changing the day", "02", "SetCaleProdu", false},
        {"holiday check", "01", "GetVerificaDiaUtil", false},
        {"delete day", "02", "GetDelCaleProdu", true},
        {"delete day", "02", "GetCaleProdu", false},
        {"delete month", "02", "GetDelCaleProduMes", true},
        {"delete year", "02", "GetDelCaleProduAno", true},
        {"verify", "02", "GetCaleProdu", true},
        {"calculate month", "02", "CalculaProducao", true},
        {"calculate year", "02", "CalculaProducao", true},
        {"calculate year", "02", "GetCaleProdu", false},
        {"export command", "02", "GetPesqCaleProdu", true},
        {"export branch lookup", "02", "GetExpCaleProdu", true},
        {"export copy", "02", "GetExpCaleProdu", true},
        {"export copy", "02", "GetVerifica", true},
        {"export copy", "02", "GetInsDel", true},
        {"report preview", "02", "", true},
        {"report print", "02", "", true},
        {"report save", "02", "", true},
    };
    for (const Row &row : rows) {
        const bool report = QByteArray(row.method).isEmpty();
        for (const Failure failure : {Failure::Stopped, Failure::Unauthorized, Failure::Refusing}) {
            // The report reads the database only: the server does not concern it.
            if (report && failure != Failure::Refusing)
                continue;
            const char *const names[] = {"server stopped", "server refusing the caller",
                                         "database refusing"};
            QTest::addRow("%s %s, %s", row.command, row.method, names[int(failure)])
                << row.command << row.periodicity << row.method << row.unsentBefore << failure;
        }
    }
}

void tst_underfailure::commandUnderFailure()
{
    QFETCH(QString, command);
    QFETCH(QString, periodicity);
    QFETCH(QString, method);
    QFETCH(bool, unsentBefore);
    QFETCH(Failure, failure);
    m_failure = failure;
    m_periodicity = periodicity;
    QVERIFY(calendartest::GoLive(m_screen, periodicity, Unsent));
    QVERIFY(painted(Selected));
    TClientDataSet *days = m_screen->cdsCaleProdu;

    if (unsentBefore) {
        m_armedAt = QStringLiteral("SetCaleProdu");
        include(Unsent);
        QCOMPARE(days->ChangeCount(), 1);
        mendServer();
        m_env.dialogs.clear();
    }

    m_calls.clear();
    if (method.isEmpty())
        breakServer();
    else
        m_armedAt = method;
    commands().at(command)(*this, false);
    QVERIFY2(m_broken, "the command never made the call that fails");
    const QString expected = method.isEmpty() ? QStringLiteral("Erro ao consultar o banco de dados")
                             : failure != Failure::Refusing
                                 ? QStringLiteral("Servidor de aplicação indisponível")
                                 : QStringLiteral("Falha no banco de dados; nada foi alterado");
    QList<ScriptedDialogs::Message> errors;
    for (const ScriptedDialogs::Message &message : std::as_const(m_env.dialogs.messages)) {
        if (message.kind == TMsgDlgType::mtError)
            errors.append(message);
    }
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().text.startsWith(expected), qPrintable(errors.first().text));
    QVERIFY(!ShowAviActive());
    QVERIFY(!QGuiApplication::overrideCursor());
    QVERIFY(days->State() != TDataSetState::dsInsert);
    const bool unsent = unsentBefore || (command.startsWith(QLatin1String("post")) &&
                                         method == QLatin1String("SetCaleProdu"));
    if (unsent) {
        QCOMPARE(days->ChangeCount(), 1);
        QVERIFY(painted(Unsent));
    }

    mendServer();
    if (!days->Active()) {
        // Nothing loaded: leaving the filter panel loads the year again.
        commands().at(QStringLiteral("load"))(*this, true);
        QVERIFY(days->Active());
    } else {
        // Back: the next post carries the unsent day with its own, or Verify drops it.
        const QStringList before = stored();
        const bool sentBefore = before.contains(Unsent.toString(Qt::ISODate));
        if (failure != Failure::Refusing) {
            include(NextDay);
            QVERIFY(stored().contains(NextDay.toString(Qt::ISODate)));
        } else {
            clickDay(Selected);
            QTest::mouseClick(m_screen->sbtVerificar, Qt::LeftButton);
            QCOMPARE(stored(), before);
            QCOMPARE(painted(Unsent), sentBefore);
        }
        QCOMPARE(stored().contains(Unsent.toString(Qt::ISODate)),
                 sentBefore || (unsent && failure != Failure::Refusing));
        QCOMPARE(days->ChangeCount(), 0);
    }

    // And the command itself works again.
    m_env.dialogs.clear();
    m_calls.clear();
    commands().at(command)(*this, true);
    if (days->State() == TDataSetState::dsInsert)
        QTest::mouseClick(m_screen->sbtCancelar, Qt::LeftButton);
    for (const ScriptedDialogs::Message &message : std::as_const(m_env.dialogs.messages))
        QVERIFY2(message.kind != TMsgDlgType::mtError, qPrintable(message.text));
    if (!method.isEmpty())
        QVERIFY(calendartest::CallsOf(m_calls, method) > 0);
    QVERIFY(!ShowAviActive());
    QVERIFY(!QGuiApplication::overrideCursor());
}

// The shell's read-only session on PostgreSQL is ended behind its back (an administrator, a
// restarted database): the operator's next read on the screen must simply work.
void tst_underfailure::readsAgainAfterTheDatabaseDropsTheSession()
{
    using testsupport::Engine;
    calendartest::CloseScreens(m_env);
    QString message;
    const auto status = m_env.fixture.use(Engine::Postgres, &message);
    auto backToSqlite = qScopeGuard([this] {
        QString ignored;
        calendartest::CloseScreens(m_env);
        m_env.fixture.use(Engine::Sqlite, &ignored);
        dtmDBGeral::Open(m_env.fixture.url(), &ignored);
    });
    if (status == testsupport::ServerFixture::Status::Skipped)
        QSKIP(qPrintable(message));
    QVERIFY2(status == testsupport::ServerFixture::Status::Ready, qPrintable(message));
    QVERIFY2(dtmDBGeral::Open(m_env.fixture.url(), &message), qPrintable(message));
    m_env.context.port = m_env.fixture.port();
    m_screen = calendartest::OpenScreen(m_env, this, &m_calls);
    QVERIFY(m_screen);
    QVERIFY(calendartest::GoLive(m_screen, QStringLiteral("02"), Selected));

    int pid = 0;
    {
        QSqlQuery own(dtmDBGeral::Database());
        QVERIFY(own.exec(QStringLiteral("SELECT pg_backend_pid()")) && own.next());
        pid = own.value(0).toInt();
    }
    QVERIFY(m_env.fixture.database().exec(QStringLiteral("SELECT pg_terminate_backend(?)"), {pid}));
    QVERIFY(QTest::qWaitFor([&] {
        return m_env.fixture.database()
                   .value(QStringLiteral("SELECT COUNT(*) FROM pg_stat_activity WHERE pid = ?"),
                          {pid})
                   .toInt() == 0;
    }));

    // Back in the filter panel and out again: branch, periodicity and processing date are read.
    m_env.dialogs.clear();
    commands().at(QStringLiteral("load"))(*this, true);
    QVERIFY2(m_env.dialogs.messages.isEmpty(), qPrintable(m_env.dialogs.texts().join('\n')));
    QVERIFY(m_screen->cdsCaleProdu->Active());
}

void tst_underfailure::reloadAfterAWriteIsOffered_data()
{
    QTest::addColumn<QString>("command");
    QTest::addColumn<int>("answer");
    for (const char *command : {"delete day", "delete year", "calculate month"}) {
        QTest::addRow("%s, reloaded", command) << command << mrYes;
        QTest::addRow("%s, declined", command) << command << mrNo;
    }
}

void tst_underfailure::reloadAfterAWriteIsOffered()
{
    QFETCH(QString, command);
    QFETCH(int, answer);
    m_failure = Failure::Stopped;
    m_periodicity = QStringLiteral("02");
    QVERIFY(calendartest::GoLive(m_screen, m_periodicity, Selected));
    // The write goes through, the reload after it finds the server gone; it is back when offered.
    m_armedAt = QStringLiteral("GetCaleProdu");
    m_env.dialogs.whileShown = [this](const ScriptedDialogs::Message &) { mendServer(); };
    auto quiet = qScopeGuard([this] { m_env.dialogs.whileShown = nullptr; });
    m_env.dialogs.answers = {command.startsWith(QLatin1String("delete")) ? mrYes : answer, answer};
    commands().at(command)(*this, false);

    const ScriptedDialogs::Message offer = m_env.dialogs.messages.constLast();
    QVERIFY2(offer.text.contains(QStringLiteral("feit")) && offer.buttons == mbYesNo &&
                 offer.text.contains(QStringLiteral("recarregado (Servidor de aplicação")),
             qPrintable(offer.text));
    QCOMPARE(m_screen->cdsCaleProdu->Active(), answer == mrYes);
    // Declined, the view rests as in the filter panel, until the panel is left again.
    QCOMPARE(m_screen->SelectedCalendar() != nullptr, answer == mrYes);
    QCOMPARE(m_screen->Calendar(Selected.month())->HollidayColor() == clNone, answer == mrNo);
}

QTEST_MAIN(tst_underfailure)
#include "tst_underfailure.moc"
