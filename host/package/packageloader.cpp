#include "package/packageloader.h"

namespace host {

QStringList ProvidedPackages()
{
    return {QStringLiteral("_rtl"), QStringLiteral("_vcl"), QStringLiteral("_db"),
            QStringLiteral("_orv"), QStringLiteral("_frm"), QStringLiteral("_ger"),
            QStringLiteral("_lib"), QStringLiteral("_qr")};
}

Package::Package(const QString &fileName)
    : m_library(fileName)
{}

Package::~Package()
{
    if (m_finalize)
        m_finalize();
    m_library.unload();
}

QFunctionPointer Package::resolve(const char *symbol)
{
    return m_library.resolve(symbol);
}

std::unique_ptr<Package> LoadPackage(const QString &fileName, QString *error)
{
    std::unique_ptr<Package> package(new Package(fileName));
    if (!package->m_library.load()) {
        *error = QStringLiteral("Não foi possível carregar o pacote %1: %2")
                     .arg(fileName, package->m_library.errorString());
        return nullptr;
    }
    auto info = reinterpret_cast<GetPackageInfoFunction>(package->resolve("GetPackageInfo"));
    auto initialize = reinterpret_cast<PackageProcedure>(package->resolve("Initialize"));
    auto finalize = reinterpret_cast<PackageProcedure>(package->resolve("Finalize"));
    if (!info || !initialize || !finalize) {
        *error = QStringLiteral("O arquivo %1 não é um pacote de telas.").arg(fileName);
        return nullptr;
    }
    const HostPackageInfo *packageInfo = info();
    package->m_flags = packageInfo->flags;
    for (int i = 0; i < packageInfo->requiredCount; ++i)
        package->m_requires << QString::fromLatin1(packageInfo->requiredPackages[i]);
    for (int i = 0; i < packageInfo->containedCount; ++i)
        package->m_contains << QString::fromLatin1(packageInfo->containedUnits[i]);

    const QStringList provided = ProvidedPackages();
    for (const QString &required : std::as_const(package->m_requires)) {
        if (!provided.contains(required)) {
            *error = QStringLiteral("O pacote %1 requer o pacote \"%2\", que este sistema não "
                                    "fornece. O pacote não foi carregado.")
                         .arg(fileName, required);
            return nullptr;
        }
    }
    initialize();
    package->m_finalize = finalize;
    return package;
}

void InitializeUnits(const HostInitTable *table, int *counters)
{
    for (int i = 0; i < table->count; ++i) {
        if (counters[i]++ == 0 && table->units[i].initialization)
            table->units[i].initialization();
    }
}

void FinalizeUnits(const HostInitTable *table, int *counters)
{
    for (int i = table->count - 1; i >= 0; --i) {
        if (counters[i] > 0 && --counters[i] == 0 && table->units[i].finalization)
            table->units[i].finalization();
    }
}

} // namespace host
