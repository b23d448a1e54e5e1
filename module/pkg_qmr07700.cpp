// The package frame: package information, load and unload steps, the unit initialisation table
// and the plain-named exports that the host's package loader and shell look up.

#include "calendar/cli_qmr07700.h"
#include "export/cli_qmr07702.h"
#include "overview/cli_qmr07703.h"
#include "report/cli_qmr07701.h"

#include "package/moduleregistry.h"
#include "package/packageinfo.h"
#include "package/packageloader.h"

#include <QFileInfo>
#include <QResource>

#include <dlfcn.h>

namespace Pkg_qmr07700 {

namespace {

const char *const requiredPackages[] = {"_orv", "_rtl", "_qr", "_lib",
                                        "_ger", "_frm", "_db", "_vcl"};
const char *const containedUnits[] = {"Pkg_QMR07700", "CLI_QMR07701", "SysInit",
                                      "CLI_QMR07702", "CLI_QMR07700", "CLI_QMR07703"};

const HostPackageInfo packageInfo = {
    PackageFlagPackageModule | PackageFlagRunOnly | PackageFlagNeverBuild,
    requiredPackages,
    int(std::size(requiredPackages)),
    containedUnits,
    int(std::size(containedUnits)),
};

// Units of the required packages come first, in dependency order; the module's own units last.
const HostUnitEntry units[] = {
    {"Cli_qmr07701", Cli_qmr07701::Initialization, Cli_qmr07701::Finalization},
    {"PadrImportExport", nullptr, nullptr},
    {"Cli_qmr07702", Cli_qmr07702::Initialization, Cli_qmr07702::Finalization},
    {"Cli_qmr07700", Cli_qmr07700::Initialization, Cli_qmr07700::Finalization},
    {"Cli_qmr07703", Cli_qmr07703::Initialization, Cli_qmr07703::Finalization},
};
const HostInitTable initTable = {int(std::size(units)), units};
int unitCounters[std::size(units)] = {};

} // namespace

host::ModuleRecord Module;

namespace {

// Load: find the package's own file name, register a resource bundle found beside it over the
// built-in resources, and make the module known to the host.
void Load()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void *>(&Load), &info) && info.dli_fname)
        Module.fileName = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteFilePath();
    const QString bundle = host::BundleFileFor(Module.fileName);
    if (!Module.fileName.isEmpty() && QFileInfo::exists(bundle) &&
        QResource::registerResource(bundle, QStringLiteral("/Pkg_qmr07700"))) {
        Module.bundleFile = bundle;
        Module.resourceRoot = QStringLiteral("/Pkg_qmr07700");
    }
    host::RegisterModule(&Module);
}

// Unload: forget the module and release its resource bundle.
void Unload()
{
    host::UnregisterModule(&Module);
    if (!Module.bundleFile.isEmpty())
        QResource::unregisterResource(Module.bundleFile, Module.resourceRoot);
    Module.bundleFile.clear();
    Module.resourceRoot.clear();
}

// Runs the load steps when the library is mapped and the unload steps when it is released;
// defined after Module, so Module outlives the unload steps.
struct LibraryEntryPoint
{
    LibraryEntryPoint() { Load(); }
    ~LibraryEntryPoint() { Unload(); }
} libraryEntryPoint;

} // namespace

const int *UnitCounters()
{
    return unitCounters;
}

} // namespace Pkg_qmr07700

extern "C" {

const HostPackageInfo *GetPackageInfo()
{
    return &Pkg_qmr07700::packageInfo;
}

const HostInitTable *GetPackageInfoTable()
{
    return &Pkg_qmr07700::initTable;
}

void Initialize()
{
    host::InitializeUnits(&Pkg_qmr07700::initTable, Pkg_qmr07700::unitCounters);
}

void Finalize()
{
    host::FinalizeUnits(&Pkg_qmr07700::initTable, Pkg_qmr07700::unitCounters);
}

void IniProc()
{
    Cli_qmr07700::IniProc();
}

// The overview screen, from the shell's menu.
void IniProcVisaoGeral()
{
    Cli_qmr07703::IniProc();
}

// The start-up warning for the shell's status bar, as UTF-8 text into a buffer of size bytes; its
// length, 0 when no branch is in warning.
int AvisoInicial(const char *periodicity, char *text, int size)
{
    const QByteArray warning =
        Cli_qmr07703::AvisoInicial(QString::fromUtf8(periodicity)).toUtf8().left(size - 1);
    qstrncpy(text, warning.constData(), size_t(size));
    return int(warning.size());
}

// The overview showing only the branches in warning, from the shell's start-up warning.
void IniProcAvisos(const char *periodicity)
{
    Cli_qmr07703::IniProcAvisos(QString::fromUtf8(periodicity));
}
}
