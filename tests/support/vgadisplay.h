#pragma once

#include <QApplication>
#include <QTemporaryFile>
#include <QTest>

namespace testsupport {

// The main() of a test that runs on an offscreen display of 640 x 480, the smallest the screens
// are laid out for: QTEST_MAIN with that display.
template <typename Test> int runOnVgaDisplay(int argc, char *argv[])
{
    QTemporaryFile config;
    if (!config.open())
        return 1;
    config.write(R"({"screens": [{"name": "vga", "x": 0, "y": 0, "width": 640, "height": 480,
                     "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    config.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.fileName().toLocal8Bit());
    QApplication app(argc, argv);
    Test test;
    return QTest::qExec(&test, argc, argv);
}

} // namespace testsupport
