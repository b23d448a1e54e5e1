// bench-client: the calendar screen with real widgets (offscreen) against an application server in
// this process on loopback, over a fresh demo database. Prints the client's figures in the form
// scripts/bench collects:
//   P4 leave-filter-panel ours=... baseline=... ratio=... target=50 unit=ms pass=...
//   P4 year-keystroke ours=... baseline=... ratio=... target=20 unit=ms pass=...
// The baseline of each is the same year load called alone through the screen's own connection.
//
//   bench-client --runs N --work DIR   the measurements
//   bench-client --bare-window         an empty main window, shown once: the toolkit's own memory
//   bench-client --runs N --overview URL --year Y
//                                      P8: the overview opened on the database at URL, from the
//                                      command to the painted grid, beside GetVisaoGeral alone

#include "calendar/cli_qmr07700.h"
#include "overview/cli_qmr07703.h"

#include "controls/hostcolors.h"
#include "controls/tdbcalendar.h"
#include "controls/tmaskedit.h"
#include "controls/tspinedit.h"
#include "core/application.h"
#include "core/dialogs.h"
#include "data/dtmdbgeral.h"
#include "data/operatorcontext.h"
#include "data/tclientdataset.h"
#include "demodata.h"
#include "net/tnetconnection.h"
#include "server.h"
#include "storage/schema.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QTimer>

#include <algorithm>
#include <cstdio>

extern "C" void Initialize();

using namespace Cli_qmr07700;

namespace {

// Answers every dialog with its default and counts them: a dialog during a run is a failed run.
class SilentDialogs : public Dialogs
{
public:
    int MessageBox(TMsgDlgType, const QString &text, TMsgDlgButtons, int) override
    {
        ++shown;
        std::fprintf(stderr, "bench-client: message: %s\n", qPrintable(text));
        return mrOk;
    }
    int Lookup(const QString &, const QStringList &, const QList<QStringList> &,
               const QString &) override
    {
        ++shown;
        return -1;
    }
    bool ListSearch(const QString &, const QStringList &, const QList<QStringList> &,
                    QList<int> &) override
    {
        ++shown;
        return false;
    }
    bool PrintSetup(QPrinter *) override { return false; }
    QString SaveFileName(const QString &, const QString &, const QString &) override { return {}; }

    int shown = 0;
};

// Runs the event loop until done() holds, at most timeoutMs; false on timeout.
template <typename Done> bool spinUntil(Done done, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Lets posted events (layout, paint of the offscreen backing store) run.
void settle()
{
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

double median(QList<double> values)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype n = values.size();
    return n % 2 ? values.at(n / 2) : (values.at(n / 2 - 1) + values.at(n / 2)) / 2;
}

void printFigure(const char *name, double ours, double baseline, double target)
{
    std::printf("P4 %s ours=%.2f baseline=%.2f ratio=%.2f target=%.0f unit=ms pass=%s\n", name,
                ours, baseline, baseline > 0 ? ours / baseline : 0.0, target,
                ours > 0 && ours <= target ? "yes" : "no");
    std::fflush(stdout);
}

int fail(const QString &message)
{
    std::fprintf(stderr, "bench-client: %s\n", qPrintable(message));
    return 1;
}

double msSince(const QElapsedTimer &timer)
{
    return static_cast<double>(timer.nsecsElapsed()) / 1e6;
}

// P8: the overview of every branch, opened again and again over a database filled beforehand.
int measureOverview(int runs, int year, SilentDialogs &dialogs)
{
    QList<double> open, alone;
    for (int run = 0; run < runs + 1; ++run) {
        QElapsedTimer timer;
        timer.start();
        Cli_qmr07703::TfrmVisaoGeral *screen = Cli_qmr07703::CriaVisaoGeral();
        screen->ShowOverview(QStringLiteral("01"), year, false);
        screen->grdMeses->repaint();
        settle();
        const double ms = msSince(timer);
        if (screen->grdMeses->rowCount() < 2 || dialogs.shown)
            return fail(QStringLiteral("the overview did not fill its grid"));
        timer.restart();
        const TServerResult result = screen->netVisao->AppServer()->Call(
            QStringLiteral("GetVisaoGeral"), {QStringLiteral("01"), QString::number(year)});
        const double call = msSince(timer);
        if (!result.ok)
            return fail(result.message);
        if (run > 0) { // the first one warms the connections and the caches
            open.append(ms);
            alone.append(call);
        }
    }
    std::printf("P8 overview-open ours=%.2f baseline=%.2f ratio=%.2f target=300 unit=ms pass=%s\n",
                median(open), median(alone), median(alone) > 0 ? median(open) / median(alone) : 0,
                median(open) > 0 && median(open) <= 300 ? "yes" : "no");
    std::fflush(stdout);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption runsOption(QStringLiteral("runs"), QStringLiteral("Runs."),
                                        QStringLiteral("N"), QStringLiteral("15"));
    const QCommandLineOption workOption(QStringLiteral("work"), QStringLiteral("Folder."),
                                        QStringLiteral("DIR"), QDir::tempPath());
    const QCommandLineOption bareOption(QStringLiteral("bare-window"),
                                        QStringLiteral("Only show an empty main window."));
    const QCommandLineOption overviewOption(
        QStringLiteral("overview"), QStringLiteral("Database of P8."), QStringLiteral("URL"));
    const QCommandLineOption yearOption(QStringLiteral("year"), QStringLiteral("Year of P8."),
                                        QStringLiteral("YEAR"), QStringLiteral("2026"));
    parser.addOptions({runsOption, workOption, bareOption, overviewOption, yearOption});
    parser.process(app);

    if (parser.isSet(bareOption)) {
        QMainWindow window;
        window.setCentralWidget(new QMdiArea(&window));
        window.resize(1024, 700);
        window.show();
        QTimer::singleShot(300, &app, &QCoreApplication::quit);
        return QApplication::exec();
    }

    const int runs = std::clamp(parser.value(runsOption).toInt(), 1, 1000);
    QDir().mkpath(parser.value(workOption));
    const bool overview = parser.isSet(overviewOption);
    const QString url = overview ? parser.value(overviewOption)
                                 : QStringLiteral("sqlite:") +
                                       QDir(parser.value(workOption)).absoluteFilePath("client.db");
    QString error;
    std::string serverError;
    caleserver::ServerOptions options;
    options.databaseUrl = url.toStdString();
    options.port = 0;
    options.threads = 2;
    caleserver::Server server(options);
    if (!caleserver::initDatabase(options.databaseUrl, &serverError) ||
        (!overview && !caleserver::seedDemo(options.databaseUrl, &serverError)) ||
        !server.start(&serverError))
        return fail(QString::fromStdString(serverError));

    DefaultOperatorContext &context = ShellOperatorContext();
    context.SetBranch(QStringLiteral("0001"));
    context.SetServer(QStringLiteral("127.0.0.1"), server.port());
    if (!dtmDBGeral::Open(url, &error))
        return fail(error);
    SilentDialogs dialogs;
    SetDialogs(&dialogs);

    auto window = std::make_unique<QMainWindow>();
    auto *mdiArea = new QMdiArea(window.get());
    window->setCentralWidget(mdiArea);
    window->resize(1024, 700);
    host::SetMainForm(window.get(), mdiArea);
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window.get());

    Initialize();
    if (overview) {
        const int status = measureOverview(runs, parser.value(yearOption).toInt(), dialogs);
        mdiArea->closeAllSubWindows();
        settle();
        host::SetMainForm(nullptr, nullptr);
        window.reset();
        SetDialogs(nullptr);
        dtmDBGeral::Close();
        server.stop();
        return status;
    }
    IniProc();
    QPointer<TfrmCaleProdu> screen = frmCaleProdu.data();
    if (!screen || !spinUntil([&] { return !screen->medCdFilial->Text().isEmpty(); }))
        return fail(QStringLiteral("the calendar screen did not open"));
    settle();

    int calls = 0;
    QObject::connect(screen->netCaleComp, &TNetConnection::called, [&calls] { ++calls; });
    const int year = screen->speYear->Value();
    const auto live = [&] {
        return screen->cdsCaleProdu->Active() && screen->Calendar(12)->HollidayColor() == clGreen &&
               screen->Calendar(1)->Date().year() == screen->speYear->Value();
    };

    // The same year load alone, through the screen's connection.
    const auto baseline = [&] {
        QElapsedTimer timer;
        timer.start();
        const TServerResult result = screen->netCaleComp->AppServer()->Call(
            QStringLiteral("GetCaleProdu"),
            {QStringLiteral("0001"), QStringLiteral("01"), QString::number(year)});
        Q_UNUSED(result);
        return msSince(timer);
    };

    // Leaving the filter panel: from the periodicity field to the first calendar.
    QList<double> leave, leaveBase;
    for (int run = 0; run < runs + 1; ++run) {
        screen->medCdPeriodicidade->setFocus();
        settle();
        if (screen->medCdPeriodicidade->Text().isEmpty())
            screen->medCdPeriodicidade->SetText(QStringLiteral("01"));
        settle();
        const int before = calls;
        QElapsedTimer timer;
        timer.start();
        screen->Calendar(1)->setFocus();
        const bool ok = spinUntil(live);
        settle();
        const double ms = msSince(timer);
        if (!ok || calls == before || dialogs.shown)
            return fail(QStringLiteral("leaving the filter panel did not bring the year live"));
        if (run > 0) { // the first one warms the connections and the caches
            leave.append(ms);
            leaveBase.append(baseline());
        }
    }
    printFigure("leave-filter-panel", median(leave), median(leaveBase), 50);

    // One keystroke in the year field: up and down in turn, each re-dating twelve calendars.
    QList<double> key, keyBase;
    screen->speYear->Editor()->setFocus();
    settle();
    for (int run = 0; run < runs + 1; ++run) {
        const int from = screen->speYear->Value();
        const int keyCode = run % 2 ? Qt::Key_Down : Qt::Key_Up;
        const int expected = from + (keyCode == Qt::Key_Up ? 1 : -1);
        const int before = calls;
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, keyCode, Qt::NoModifier);
        QApplication::sendEvent(screen->speYear->Editor(), &press);
        QKeyEvent release(QEvent::KeyRelease, keyCode, Qt::NoModifier);
        QApplication::sendEvent(screen->speYear->Editor(), &release);
        const bool ok = spinUntil(
            [&] { return calls > before && screen->Calendar(12)->Date().year() == expected; });
        settle();
        const double ms = msSince(timer);
        if (!ok || dialogs.shown)
            return fail(QStringLiteral("a keystroke in the year field did not reload the year"));
        if (run > 0) {
            key.append(ms);
            keyBase.append(baseline());
        }
    }
    printFigure("year-keystroke", median(key), median(keyBase), 20);

    mdiArea->closeAllSubWindows();
    spinUntil([&] { return screen.isNull(); }, 2000);
    host::SetMainForm(nullptr, nullptr);
    window.reset();
    SetDialogs(nullptr);
    dtmDBGeral::Close();
    server.stop();
    return 0;
}
