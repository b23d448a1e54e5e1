#pragma once

#include "fakeoperatorcontext.h"
#include "scripteddialogs.h"
#include "serverfixture.h"

#include <QMainWindow>

#include <memory>

class QMdiArea;

namespace testsupport {

// Everything a screen needs to run for real in a test: a seeded database and a server on
// loopback (SQLite), the shared read-only connection on that database, a main window with an MDI
// area, the operator context and clock doubles pointing at the server, and scripted dialogs.
class ScreenEnvironment
{
public:
    ScreenEnvironment();
    ~ScreenEnvironment();

    // Creates the database and server and opens the connection; false with the reason.
    bool start(QString *message);
    // Empties the calendar rows and puts the doubles back to their defaults.
    void reset();

    ServerFixture fixture{{.seedDemo = true, .token = {}, .threads = 2}};
    FakeOperatorContext context;
    FakeClock clock;
    ScriptedDialogs dialogs;
    std::unique_ptr<QMainWindow> window;
    QMdiArea *mdiArea = nullptr;
};

} // namespace testsupport

// For initTestCase(): starts the environment or fails the test case with the reason.
#define CALEPRODU_START_SCREENS(environment)                                                       \
    do {                                                                                           \
        QString startMessage_;                                                                     \
        QVERIFY2((environment).start(&startMessage_), qPrintable(startMessage_));                  \
    } while (false)
