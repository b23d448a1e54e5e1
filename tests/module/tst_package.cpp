#include "calendar/cli_qmr07700.h"
#include "module/pkg_qmr07700.h"
#include "report/cli_qmr07701.h"

#include "package/moduleregistry.h"
#include "package/packageloader.h"

#include <QFile>
#include <QFileInfo>
#include <QTest>

class tst_package : public QObject
{
    Q_OBJECT
private slots:
    void refusesPackageThatNeedsAMissingPackage();
    void refusesFileThatIsNoPackage();
    void describesItselfToTheLoader();
    void registersItsResourceBundle();
    void unitsInitialiseOnceAndFinaliseAtZero();
};

void tst_package::refusesPackageThatNeedsAMissingPackage()
{
    QString error;
    std::unique_ptr<host::Package> package = host::LoadPackage(NEEDSMISSING_FILE, &error);
    QVERIFY(!package);
    QVERIFY2(error.contains(QLatin1String("\"_xyz\"")), qPrintable(error));
    QVERIFY(error.contains(QStringLiteral("não foi carregado")));
}

void tst_package::refusesFileThatIsNoPackage()
{
    QString error;
    QVERIFY(!host::LoadPackage(QStringLiteral("/nonexistent/libPkg_none.so"), &error));
    QVERIFY2(error.startsWith(QStringLiteral("Não foi possível carregar o pacote")),
             qPrintable(error));
}

void tst_package::describesItselfToTheLoader()
{
    QString error;
    std::unique_ptr<host::Package> package = host::LoadPackage(PACKAGE_FILE, &error);
    QVERIFY2(package, qPrintable(error));
    QCOMPARE(package->flags(), 0x4C000005u);
    QCOMPARE(package->RequiredPackages(),
             QStringList({"_orv", "_rtl", "_qr", "_lib", "_ger", "_frm", "_db", "_vcl"}));
    QCOMPARE(package->ContainedUnits(),
             QStringList({"Pkg_QMR07700", "CLI_QMR07701", "SysInit", "CLI_QMR07702", "CLI_QMR07700",
                          "CLI_QMR07703"}));
    QVERIFY(package->resolve("IniProc"));
    QVERIFY(package->resolve("IniProcVisaoGeral"));
    QVERIFY(package->resolve("GetPackageInfoTable"));
}

void tst_package::registersItsResourceBundle()
{
    const host::ModuleRecord &module = Pkg_qmr07700::Module;
    QVERIFY(host::Modules().contains(const_cast<host::ModuleRecord *>(&module)));
    QCOMPARE(QFileInfo(module.fileName).fileName(), QStringLiteral("libPkg_qmr07700.so"));
    QCOMPARE(module.bundleFile, host::BundleFileFor(module.fileName));

    const QString builtIn = QStringLiteral(":/forms/cli_qmr07700.msg");
    const QString path = host::ResourcePath(&module, builtIn);
    QCOMPARE(path, QStringLiteral(":/Pkg_qmr07700/forms/cli_qmr07700.msg"));
    QFile bundled(path);
    QVERIFY(bundled.open(QIODevice::ReadOnly));
    QVERIFY(bundled.readAll().startsWith("Fili_Empty|Filial deve ser informada."));
    // A file the bundle lacks comes from the built-in resources.
    QCOMPARE(host::ResourcePath(&module, QStringLiteral(":/forms/none.msg")),
             QStringLiteral(":/forms/none.msg"));
}

void tst_package::unitsInitialiseOnceAndFinaliseAtZero()
{
    using namespace Cli_qmr07700;
    QString error;
    std::unique_ptr<host::Package> package = host::LoadPackage(PACKAGE_FILE, &error);
    QVERIFY2(package, qPrintable(error));
    auto initialize = reinterpret_cast<void (*)()>(package->resolve("Initialize"));
    auto finalize = reinterpret_cast<void (*)()>(package->resolve("Finalize"));
    QVERIFY(boPassarChange);
    QCOMPARE(Pkg_qmr07700::UnitCounters()[3], 1);

    inSelectDbc = 7;
    stCDFILIAL = QStringLiteral("0009");
    Cli_qmr07701::stListaFili = QStringLiteral("0001,0002");
    initialize();
    QCOMPARE(Pkg_qmr07700::UnitCounters()[3], 2);
    QCOMPARE(inSelectDbc, 7); // the body ran only at the first initialisation

    finalize();
    QCOMPARE(stCDFILIAL, QStringLiteral("0009"));
    QCOMPARE(Cli_qmr07701::stListaFili, QStringLiteral("0001,0002"));

    package.reset(); // the loader's Finalize brings the count to zero
    QCOMPARE(Pkg_qmr07700::UnitCounters()[3], 0);
    QVERIFY(stCDFILIAL.isEmpty());
    QVERIFY(Cli_qmr07701::stListaFili.isEmpty());
}

QTEST_MAIN(tst_package)
#include "tst_package.moc"
