#pragma once

#include "calehost_export.h"

#include <QIcon>
#include <QString>

namespace host {

// The picture of a command by its freedesktop icon name ("document-print", "help-contents"):
// the desktop theme's when it has one that draws, else the host's own.
CALEHOST_EXPORT QIcon ToolIcon(const QString &name);

} // namespace host
