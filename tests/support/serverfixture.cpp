#include "serverfixture.h"

#include <demodata.h>

namespace testsupport {

ServerFixture::ServerFixture()
    : ServerFixture(Options())
{}

ServerFixture::ServerFixture(Options options)
    : m_options(std::move(options))
{}

ServerFixture::~ServerFixture()
{
    cleanup();
}

ServerFixture::Status ServerFixture::use(Engine engine, QString *message)
{
    m_current = engine;
    Environment &environment = m_environments[engine];
    if (environment.server)
        return Status::Ready;
    environment.database = std::make_unique<TestDatabase>(engine);
    bool skipped = false;
    if (!environment.database->create(message, &skipped)) {
        environment.database.reset();
        return skipped ? Status::Skipped : Status::Failed;
    }
    std::string seedError;
    if (m_options.seedDemo &&
        !caleserver::seedDemo(environment.database->url().toStdString(), &seedError)) {
        *message = QString::fromStdString(seedError);
        return Status::Failed;
    }
    environment.server = startAnother(message, m_options.token);
    return environment.server ? Status::Ready : Status::Failed;
}

TestDatabase &ServerFixture::database()
{
    return *m_environments.at(m_current).database;
}

caleserver::Server &ServerFixture::server()
{
    return *m_environments.at(m_current).server;
}

int ServerFixture::port()
{
    return server().port();
}

RpcClient ServerFixture::client()
{
    return RpcClient(port(), m_options.token);
}

std::unique_ptr<caleserver::Server> ServerFixture::startAnother(QString *error, QString token)
{
    caleserver::ServerOptions options;
    options.databaseUrl = database().url().toStdString();
    options.port = 0;
    options.threads = m_options.threads;
    options.token = token.toStdString();
    options.statementTimeoutMs = m_options.statementTimeoutMs;
    auto server = std::make_unique<caleserver::Server>(options);
    std::string message;
    if (!server->start(&message)) {
        *error = QString::fromStdString(message);
        return nullptr;
    }
    return server;
}

void ServerFixture::cleanup()
{
    for (auto &[engine, environment] : m_environments)
        environment.server.reset();
    m_environments.clear();
}

} // namespace testsupport
