#pragma once

#include "tempsettings.h"

#include <QApplication>
#include <QSize>
#include <QTemporaryFile>
#include <QTest>

namespace testsupport {

// The main() of a test that runs on one offscreen display of the given size: QTEST_MAIN with
// that display, and the user's settings in a folder of their own.
template <typename Test> int runOnDisplay(int argc, char *argv[], QSize size)
{
    QTemporaryFile config;
    if (!config.open())
        return 1;
    config.write(QStringLiteral(R"({"screens": [{"name": "display", "x": 0, "y": 0,
                     "width": %1, "height": %2, "logicalDpi": 96, "logicalBaseDpi": 96,
                     "dpr": 1}]})")
                     .arg(size.width())
                     .arg(size.height())
                     .toUtf8());
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    TempSettings settings;
    Test test;
    return QTest::qExec(&test, argc, argv);
}

// The main() of a test that runs on an offscreen display of 640 x 480, the smallest the screens
// are laid out for.
template <typename Test> int runOnVgaDisplay(int argc, char *argv[])
{
    return runOnDisplay<Test>(argc, argv, QSize(640, 480));
}

} // namespace testsupport
