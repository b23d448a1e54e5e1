#pragma once

#include "calehost_export.h"

#include <QList>
#include <QString>

namespace host {

// What the host knows of a loaded screen package: its file, and where its resource bundle is
// mapped when one was found beside it.
struct ModuleRecord
{
    QString fileName;
    QString bundleFile;   // empty: the package's own (built-in) resources are used
    QString resourceRoot; // mapping root of the bundle, e.g. "/Pkg_qmr07700"
};

CALEHOST_EXPORT void RegisterModule(ModuleRecord *record);
CALEHOST_EXPORT void UnregisterModule(ModuleRecord *record);
CALEHOST_EXPORT QList<ModuleRecord *> Modules();

// The resource path to read for `path` (":/forms/..."): the module's bundle when it holds the
// file, else the built-in resource. A bundle is registered over the built-in resources.
CALEHOST_EXPORT QString ResourcePath(const ModuleRecord *record, const QString &path);

// A screen's form resource (layout, message table, query) by its name under ":/forms/": from the
// bundle of the first loaded package that holds it, else the built-in resource. Screens ask for
// their forms through here, so that none of them depends on the package that carries it.
CALEHOST_EXPORT QString FormResource(const QString &name);
// The resource bundle that belongs to a package file: the same base name with ".rcc".
CALEHOST_EXPORT QString BundleFileFor(const QString &packageFile);

} // namespace host
