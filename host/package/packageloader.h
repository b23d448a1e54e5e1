#pragma once

#include "calehost_export.h"
#include "package/packageinfo.h"

#include <QLibrary>
#include <QString>
#include <QStringList>

#include <memory>

namespace host {

// The packages this host provides to the screen packages it loads.
CALEHOST_EXPORT QStringList ProvidedPackages();

// A loaded and initialised screen package.
class CALEHOST_EXPORT Package
{
public:
    ~Package();
    QString fileName() const { return m_library.fileName(); }
    QStringList RequiredPackages() const { return m_requires; }
    QStringList ContainedUnits() const { return m_contains; }
    unsigned flags() const { return m_flags; }
    // Resolves an exported symbol (e.g. "IniProc"); null when absent.
    QFunctionPointer resolve(const char *symbol);

private:
    friend std::unique_ptr<Package> LoadPackage(const QString &, QString *);
    explicit Package(const QString &fileName);

    QLibrary m_library;
    QStringList m_requires;
    QStringList m_contains;
    unsigned m_flags = 0;
    PackageProcedure m_finalize = nullptr;
};

// Loads a package, checks that the host provides every package it requires, and initialises
// it. Returns null with a Portuguese message when the file cannot be loaded, is no package, or
// needs a package this host lacks. Destroying the Package finalises and unloads it.
CALEHOST_EXPORT std::unique_ptr<Package> LoadPackage(const QString &fileName, QString *error);

// Runs a package's unit initialisation table: each unit's initialisation in table order
// (Initialize), or its finalisation in reverse order (Finalize). Each unit's body runs only at
// its first initialisation and when its count returns to zero; counts live with the package.
CALEHOST_EXPORT void InitializeUnits(const HostInitTable *table, int *counters);
CALEHOST_EXPORT void FinalizeUnits(const HostInitTable *table, int *counters);

} // namespace host
