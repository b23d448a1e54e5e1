// caleprodu: the host shell. Loads the screen package, opens the calendar screen and, unless told
// where an application server is, runs one inside this process over the default database.

#include "mainwindow.h"
#include "shellconfig.h"
#include "shelloptions.h"
#include "shellsession.h"

#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("caleprodu"));
    QApplication::setOrganizationName(QStringLiteral("caleprodu"));

    QStringList arguments = QApplication::arguments();
    QString configError;
    if (!ApplyShellConfigFiles(arguments, &configError)) {
        std::fprintf(stderr, "caleprodu: %s\n", qPrintable(configError));
        return 2;
    }
    const ShellOptions options = ParseShellOptions(arguments);
    if (!options.error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(options.error));
        return 2;
    }

    ShellSession session;
    QString error;
    if (!session.start(options, &error)) {
        std::fprintf(stderr, "caleprodu: %s\n", qPrintable(error));
        if (options.screenshot.isEmpty())
            QMessageBox::critical(nullptr, QStringLiteral("Calendário da Produção"), error);
        return 1;
    }

    auto window = std::make_unique<MainWindow>([&session] { session.openCalendar(); });
    session.attach(window.get(), window->mdiArea());
    window->show();
    session.openCalendar();

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
