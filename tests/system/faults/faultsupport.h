#pragma once

#include <rpcclient.h>

#include <QProcess>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace faults {

// caleprodu-server as a process of its own on 127.0.0.1 and a free port, its log in a file: a
// server that can be killed outright, as a crash or an operator would.
class ServerProcess
{
public:
    // `arguments` come after --database and --listen (e.g. --threads 4).
    ServerProcess(QString databaseUrl, QStringList arguments = {});
    ~ServerProcess();
    ServerProcess(const ServerProcess &) = delete;
    ServerProcess &operator=(const ServerProcess &) = delete;

    // Starts the process and returns once /health answers; false with the reason and the log.
    bool start(QString *error);
    // SIGKILL, then reaps the process.
    void kill();
    bool isRunning() const;
    qint64 pid() const;
    int port() const { return m_port; }
    testsupport::RpcClient client() const { return testsupport::RpcClient(m_port); }
    // The end of the server's log, for failure messages.
    QString logTail() const;

    // The answer of `call`, run on a thread of its own; nothing when it takes longer than
    // `limit`, and then the server is killed, so that a server that hangs fails the test instead
    // of hanging it. `whileWaiting` runs over and over on the calling thread until the answer.
    std::optional<testsupport::RpcClient::Reply> callWithin(
        std::chrono::milliseconds limit,
        const std::function<testsupport::RpcClient::Reply(const testsupport::RpcClient &)> &call,
        const std::function<void()> &whileWaiting = {});

private:
    int portFromLog() const;

    QString m_databaseUrl;
    QStringList m_arguments;
    QString m_logPath;
    QProcess m_process;
    int m_port = 0;
};

// A PostgreSQL cluster of the test's own (scripts/pg-throwaway), which it may stop, restart and
// freeze without touching any other test's cluster. Removed on destruction.
class ThrowawayCluster
{
public:
    ThrowawayCluster() = default;
    ~ThrowawayCluster();
    ThrowawayCluster(const ThrowawayCluster &) = delete;
    ThrowawayCluster &operator=(const ThrowawayCluster &) = delete;

    // Whether this machine has PostgreSQL's server programs.
    static bool installed();
    // Starts the cluster (once); its database's URL, or empty with *error.
    QString start(QString *error);
    // One of the script's faults: "halt", "resume", "restart", "freeze", "thaw".
    bool apply(const QString &fault, QString *error);
    void remove();

private:
    QString m_dir;
    QString m_url;
};

// An integer from the environment, or `fallback` when unset or not a number.
int environmentInt(const char *name, int fallback);

} // namespace faults
