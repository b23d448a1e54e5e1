#include "faultsupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <csignal>
#include <future>

namespace faults {

namespace {

constexpr int startLimitMs = 30000;

// Runs a program to its end; its standard output, or empty with *error.
QString runProgram(const QString &program, const QStringList &arguments, QString *error)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        *error = program + QLatin1Char(' ') + arguments.join(QLatin1Char(' ')) +
                 QStringLiteral(" failed: ") +
                 QString::fromLocal8Bit(process.readAllStandardError());
        return {};
    }
    return QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
}

} // namespace

ServerProcess::ServerProcess(QString databaseUrl, QStringList arguments)
    : m_databaseUrl(std::move(databaseUrl))
    , m_arguments(std::move(arguments))
{
    static int counter = 0;
    m_logPath = QDir::tempPath() + QStringLiteral("/caleprodu-fault-server-%1-%2.log")
                                       .arg(QCoreApplication::applicationPid())
                                       .arg(++counter);
}

ServerProcess::~ServerProcess()
{
    kill();
    QFile::remove(m_logPath);
}

bool ServerProcess::start(QString *error)
{
    kill();
    m_port = 0;
    QFile::remove(m_logPath);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    m_process.setStandardOutputFile(m_logPath);
    m_process.start(QStringLiteral(CALEPRODU_SERVER_BIN),
                    QStringList{QStringLiteral("--database"), m_databaseUrl,
                                QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")} +
                        m_arguments);
    if (!m_process.waitForStarted()) {
        *error = QStringLiteral("caleprodu-server did not start: ") + m_process.errorString();
        return false;
    }
    for (int waited = 0; waited < startLimitMs; waited += 20) {
        if (m_process.state() != QProcess::Running)
            break;
        if (m_port == 0)
            m_port = portFromLog();
        if (m_port != 0 && client().get(QStringLiteral("/health")).httpStatus == 200)
            return true;
        QThread::msleep(20);
    }
    *error = QStringLiteral("caleprodu-server did not come up:\n") + logTail();
    kill();
    return false;
}

void ServerProcess::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    ::kill(pid_t(m_process.processId()), SIGKILL);
    m_process.waitForFinished(-1);
}

bool ServerProcess::isRunning() const
{
    return m_process.state() == QProcess::Running;
}

qint64 ServerProcess::pid() const
{
    return m_process.processId();
}

QString ServerProcess::logTail() const
{
    QFile log(m_logPath);
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll().right(4000));
}

int ServerProcess::portFromLog() const
{
    static const QRegularExpression listening(QStringLiteral("escutando em \\S+ porta (\\d+)"));
    const QRegularExpressionMatch match = listening.match(logTail());
    return match.hasMatch() ? match.captured(1).toInt() : 0;
}

std::optional<testsupport::RpcClient::Reply> ServerProcess::callWithin(
    std::chrono::milliseconds limit,
    const std::function<testsupport::RpcClient::Reply(const testsupport::RpcClient &)> &call,
    const std::function<void()> &whileWaiting)
{
    const testsupport::RpcClient rpc = client();
    std::future<testsupport::RpcClient::Reply> answer =
        std::async(std::launch::async, [rpc, &call] { return call(rpc); });
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (answer.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (std::chrono::steady_clock::now() >= deadline) {
            // The connection dies with the server, which ends the call.
            kill();
            answer.wait();
            return std::nullopt;
        }
        if (whileWaiting)
            whileWaiting();
    }
    return answer.get();
}

ThrowawayCluster::~ThrowawayCluster()
{
    remove();
}

bool ThrowawayCluster::installed()
{
    const QDir versions(QStringLiteral("/usr/lib/postgresql"));
    for (const QString &version : versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (QFile::exists(versions.filePath(version + QStringLiteral("/bin/initdb"))))
            return true;
    return false;
}

QString ThrowawayCluster::start(QString *error)
{
    if (!m_url.isEmpty())
        return m_url;
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/caleprodu-fault-pg-XXXXXX"));
    if (!dir.isValid()) {
        *error = QStringLiteral("cannot create a temporary folder");
        return {};
    }
    dir.setAutoRemove(false);
    m_dir = dir.path();
    m_url = runProgram(QStringLiteral(CALEPRODU_SOURCE_DIR "/scripts/pg-throwaway"),
                       {QStringLiteral("start"), m_dir}, error);
    if (m_url.isEmpty())
        remove();
    return m_url;
}

bool ThrowawayCluster::apply(const QString &fault, QString *error)
{
    runProgram(QStringLiteral(CALEPRODU_SOURCE_DIR "/scripts/pg-throwaway"), {fault, m_dir}, error);
    return error->isEmpty();
}

void ThrowawayCluster::remove()
{
    if (m_dir.isEmpty())
        return;
    QString ignored;
    runProgram(QStringLiteral(CALEPRODU_SOURCE_DIR "/scripts/pg-throwaway"),
               {QStringLiteral("stop"), m_dir}, &ignored);
    m_dir.clear();
    m_url.clear();
}

int environmentInt(const char *name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok ? value : fallback;
}

} // namespace faults
