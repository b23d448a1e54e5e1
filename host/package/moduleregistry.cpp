#include "package/moduleregistry.h"

#include <QFileInfo>
#include <QMutex>

namespace host {

namespace {
QMutex g_lock;
QList<ModuleRecord *> g_modules;
} // namespace

void RegisterModule(ModuleRecord *record)
{
    QMutexLocker lock(&g_lock);
    if (!g_modules.contains(record))
        g_modules.append(record);
}

void UnregisterModule(ModuleRecord *record)
{
    QMutexLocker lock(&g_lock);
    g_modules.removeAll(record);
}

QList<ModuleRecord *> Modules()
{
    QMutexLocker lock(&g_lock);
    return g_modules;
}

QString ResourcePath(const ModuleRecord *record, const QString &path)
{
    if (record && !record->resourceRoot.isEmpty() && path.startsWith(QLatin1String(":/"))) {
        const QString overridden = QLatin1Char(':') + record->resourceRoot + path.mid(1);
        if (QFileInfo::exists(overridden))
            return overridden;
    }
    return path;
}

QString FormResource(const QString &name)
{
    const QString path = QStringLiteral(":/forms/") + name;
    for (const ModuleRecord *record : Modules()) {
        const QString found = ResourcePath(record, path);
        if (found != path)
            return found;
    }
    return path;
}

QString BundleFileFor(const QString &packageFile)
{
    const QFileInfo info(packageFile);
    QString base = info.completeBaseName();
    // libPkg_x.so.1 -> libPkg_x
    const int dot = base.indexOf(QLatin1Char('.'));
    if (dot > 0)
        base.truncate(dot);
    return info.absolutePath() + QLatin1Char('/') + base + QLatin1String(".rcc");
}

} // namespace host
