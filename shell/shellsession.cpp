#include "shellsession.h"

#include "data/clientsettings.h"

#include "core/application.h"
#include "core/dialogs.h"
#include "data/dtmdbgeral.h"
#include "data/operatorcontext.h"
#include "demodata.h"
#include "helpviewer.h"
#include "localdatabase.h"
#include "package/packageloader.h"
#include "server.h"
#include "storage/schema.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRandomGenerator>

namespace {

// 256 bits from the system's generator, as hexadecimal.
QString randomToken()
{
    quint32 words[8];
    QRandomGenerator::system()->fillRange(words);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(words), sizeof words).toHex());
}

} // namespace

ShellSession::ShellSession() = default;

ShellSession::~ShellSession()
{
    stop();
}

bool ShellSession::start(const ShellOptions &options, QString *error)
{
    const QString databaseUrl = options.databaseUrl.isEmpty()
                                    ? QString::fromStdString(caleserver::defaultDatabaseUrl())
                                    : options.databaseUrl;

    DefaultOperatorContext &context = ShellOperatorContext();
    context.SetBranch(options.branch);
    context.SetPerBranch(options.perBranch);
    context.SetToken(options.token);
    SetHorizonDays(options.horizonDays);
    SetDefaultPeriodicity(options.periodicity);
    m_periodicity = options.periodicity;
    context.SetOperatorName(options.operatorName);
    if (options.serverHost.isEmpty()) {
        if (!startEmbeddedServer(databaseUrl, options.seedDemo, error))
            return false;
        context.SetServer(QStringLiteral("127.0.0.1"), m_server->port());
        context.SetToken(m_embeddedToken);
    } else {
        context.SetServer(options.serverHost, options.serverPort);
    }

    if (!dtmDBGeral::Open(databaseUrl, error))
        return false;
    SetHelpHandler(ShowHelpTopic);
    return loadPackage(error);
}

bool ShellSession::startEmbeddedServer(const QString &databaseUrl, bool seedDemo, QString *error)
{
    if (!PrepareLocalDatabase(databaseUrl, seedDemo, error))
        return false;
    std::string message;
    caleserver::ServerOptions options;
    options.databaseUrl = databaseUrl.toStdString();
    options.port = 0;
    options.threads = 2;
    // Anything on this machine (a web page through the browser included) can reach loopback:
    // only this process knows the token.
    m_embeddedToken = randomToken();
    options.token = m_embeddedToken.toStdString();
    m_server = std::make_unique<caleserver::Server>(options);
    if (m_server->start(&message))
        return true;
    *error = QString::fromStdString(message);
    return false;
}

bool ShellSession::loadPackage(QString *error)
{
    const QString libDir = QCoreApplication::applicationDirPath() + QStringLiteral("/../lib");
    const QString file = QDir(libDir).absoluteFilePath(QStringLiteral("libPkg_qmr07700.so"));
    m_package = host::LoadPackage(file, error);
    if (!m_package)
        return false;
    m_iniProc = reinterpret_cast<void (*)()>(m_package->resolve("IniProc"));
    if (!m_iniProc) {
        *error = QStringLiteral("O pacote %1 não exporta IniProc.").arg(file);
        return false;
    }
    m_iniProcVisaoGeral = reinterpret_cast<void (*)()>(m_package->resolve("IniProcVisaoGeral"));
    m_avisoInicial =
        reinterpret_cast<int (*)(const char *, char *, int)>(m_package->resolve("AvisoInicial"));
    m_iniProcAvisos = reinterpret_cast<void (*)(const char *)>(m_package->resolve("IniProcAvisos"));
    return true;
}

void ShellSession::attach(QWidget *mainWindow, QMdiArea *mdiArea)
{
    host::SetMainForm(mainWindow, mdiArea);
}

void ShellSession::openCalendar()
{
    if (m_iniProc)
        m_iniProc();
}

void ShellSession::openOverview()
{
    if (m_iniProcVisaoGeral)
        m_iniProcVisaoGeral();
}

QString ShellSession::calendarWarning()
{
    if (!m_avisoInicial)
        return QString();
    char text[256] = {};
    m_avisoInicial(m_periodicity.toUtf8().constData(), text, int(sizeof text));
    return QString::fromUtf8(text);
}

void ShellSession::openWarnings()
{
    if (m_iniProcAvisos)
        m_iniProcAvisos(m_periodicity.toUtf8().constData());
}

void ShellSession::stop()
{
    // Screens belong to the main window, which is gone by now; unload the package before the
    // server so nothing of it can call out any more.
    m_package.reset();
    dtmDBGeral::Close();
    if (m_server)
        m_server->stop();
    m_server.reset();
}
