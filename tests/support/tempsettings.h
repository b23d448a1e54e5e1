#pragma once

#include <QSettings>
#include <QTemporaryDir>

namespace testsupport {

// Points the user's settings (the main window's geometry) into a folder of its own while it
// lives, so a test never reads or writes the developer's.
struct TempSettings
{
    TempSettings()
    {
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    }
    QTemporaryDir dir;
};

} // namespace testsupport
