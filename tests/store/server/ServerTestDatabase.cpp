#include "ServerTestDatabase.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

namespace testing_support {

namespace {
std::unique_ptr<store::ServerConnection> connectToServer()
{
    const QString url = ServerTestDatabase::serverUrl();
    if (url.isEmpty()) {
        ADD_FAILURE() << "VANTREL_TEST_DATABASE_URL is not set: run the tests through scripts/test, or as "
                         "scripts/test-server ctest ...";
        return nullptr;
    }
    store::EngineError error;
    auto connection = store::ServerConnection::open(url, &error);
    if (!connection)
        ADD_FAILURE() << "The test server does not answer: " << error.text.toStdString();
    return connection;
}
} // namespace

QString ServerTestDatabase::serverUrl()
{
    return qEnvironmentVariable("VANTREL_TEST_DATABASE_URL");
}

ServerTestDatabase::ServerTestDatabase()
{
    static int counter = 0;
    auto server = connectToServer();
    if (!server)
        return;
    m_name = QStringLiteral("vantrel_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
    store::EngineError error;
    // A name made here, of letters, digits and '_' only.
    if (!server->exec(QStringLiteral("CREATE DATABASE %1 ENCODING 'UTF8' TEMPLATE template0").arg(m_name), {}, nullptr,
                      &error)) {
        ADD_FAILURE() << error.text.toStdString();
        m_name.clear();
        return;
    }
    m_url = store::ServerConnection::withDatabase(serverUrl(), m_name);
}

ServerTestDatabase::~ServerTestDatabase()
{
    if (m_name.isEmpty())
        return;
    if (auto server = connectToServer())
        server->exec(QStringLiteral("DROP DATABASE %1 WITH (FORCE)").arg(m_name));
}

std::unique_ptr<store::ServerConnection> ServerTestDatabase::connect() const
{
    store::EngineError error;
    auto connection = store::ServerConnection::open(m_url, &error);
    if (!connection)
        ADD_FAILURE() << error.text.toStdString();
    return connection;
}

} // namespace testing_support
