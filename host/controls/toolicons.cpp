#include "controls/toolicons.h"

#include <QFile>

namespace host {

QIcon ToolIcon(const QString &name)
{
    // A theme may list an icon in a format this machine cannot draw: it must yield a picture.
    const QIcon themed = QIcon::fromTheme(name);
    if (!themed.isNull() && !themed.pixmap(16, 16).isNull())
        return themed;
    QIcon own;
    for (const int size : {16, 32}) {
        const QString file = QStringLiteral(":/host/icons/%1/%2.png").arg(size).arg(name);
        if (QFile::exists(file))
            own.addFile(file, QSize(size, size));
    }
    return own;
}

} // namespace host
