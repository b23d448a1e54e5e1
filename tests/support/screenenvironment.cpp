#include "screenenvironment.h"

#include "core/application.h"
#include "data/dtmdbgeral.h"

#include <QMdiArea>

namespace testsupport {

ScreenEnvironment::ScreenEnvironment() = default;

ScreenEnvironment::~ScreenEnvironment()
{
    host::SetMainForm(nullptr, nullptr);
    window.reset();
    dtmDBGeral::Close();
    fixture.cleanup();
}

bool ScreenEnvironment::start(QString *message)
{
    if (fixture.use(Engine::Sqlite, message) != ServerFixture::Status::Ready)
        return false;
    context.port = fixture.port();
    if (!dtmDBGeral::Open(fixture.url(), message))
        return false;
    window = std::make_unique<QMainWindow>();
    mdiArea = new QMdiArea(window.get());
    window->setCentralWidget(mdiArea);
    window->resize(1024, 700);
    host::SetMainForm(window.get(), mdiArea);
    window->show();
    return true;
}

void ScreenEnvironment::reset()
{
    fixture.database().exec(QStringLiteral("DELETE FROM CALEPRODUCAO"));
    fixture.database().recount();
    dialogs.clear();
    dialogs.answers.clear();
    dialogs.lookupAnswers.clear();
    context.branch = QStringLiteral("0001");
    context.perBranch = false;
    context.failServerAddress = false;
    context.processingDate = QDate();
    context.processingDates.clear();
    context.port = fixture.port();
    clock.now = QDateTime(QDate(2026, 3, 10), QTime(9, 0));
}

} // namespace testsupport
