// caleprodu: the host shell. Loads the screen package, opens the calendar screen and, unless told
// where an application server is, runs one inside this process over the default database.

#include "caleprodu_version.h"
#include "mainwindow.h"
#include "qttranslations.h"
#include "reportbatch.h"
#include "shellconfig.h"
#include "shelloptions.h"
#include "shellsession.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <memory>

namespace {

QStringList ArgumentList(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

} // namespace

int main(int argc, char *argv[])
{
    // Read before the GUI starts: --help and a refused option need no display. The configuration
    // files give defaults for what the command line leaves out; help never depends on them.
    QStringList arguments = ArgumentList(argc, argv);
    const bool wantsHelp =
        arguments.contains(QStringLiteral("--help")) || arguments.contains(QStringLiteral("-h"));
    QString configError;
    if (!wantsHelp && !ApplyShellConfigFiles(arguments, &configError)) {
        std::fprintf(stderr, "caleprodu: %s\n", configError.toLocal8Bit().constData());
        return 2;
    }
    const ShellOptions options = ParseShellOptions(arguments);
    if (options.help) {
        std::fputs(ShellUsage().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (options.version) {
        std::printf("caleprodu %s\n", CALEPRODU_VERSION);
        return 0;
    }
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "caleprodu: %s\n", options.error.toLocal8Bit().constData());
        return 2;
    }
    // A batch report opens no window: it needs no display.
    if (!options.report.isEmpty() && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("caleprodu"));
    QApplication::setOrganizationName(QStringLiteral("caleprodu"));
    if (!LoadQtTranslations())
        std::fprintf(stderr, "caleprodu: traduções do Qt não encontradas; os diálogos do Qt "
                             "ficam em inglês (instale qt6-translations-l10n)\n");

    if (!options.report.isEmpty())
        return RunReportBatch(options);

    ShellSession session;
    QString error;
    if (!session.start(options, &error)) {
        std::fprintf(stderr, "caleprodu: %s\n", qPrintable(error));
        if (options.screenshot.isEmpty())
            QMessageBox::critical(nullptr, QStringLiteral("Calendário da Produção"), error);
        return 1;
    }

    auto window = std::make_unique<MainWindow>([&session] { session.openCalendar(); });
    window->addOverviewCommand([&session] { session.openOverview(); });
    session.attach(window.get(), window->mdiArea());
    window->show();
    session.openCalendar();
    window->showCalendarWarning(session.calendarWarning(), [&session] { session.openWarnings(); });

    if (!options.screenshot.isEmpty()) {
        // Let the screens finish their first activation before taking the picture.
        QTimer::singleShot(300, window.get(), [&] {
            const bool saved = window->grab().save(options.screenshot, "PNG");
            if (!saved)
                std::fprintf(stderr, "caleprodu: could not write %s\n",
                             qPrintable(options.screenshot));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    const int status = QApplication::exec();
    // The screens' code lives in the package: close them before it is unloaded.
    window.reset();
    session.stop();
    return status;
}
