#pragma once

#include "store/server/ServerConnection.h"

#include <QString>
#include <memory>

namespace testing_support {

// A new, empty database on the test server (VANTREL_TEST_DATABASE_URL, which
// scripts/test and scripts/test-server set), dropped again at the end. The
// test fails, rather than skips, when no server is given.
class ServerTestDatabase
{
public:
    ServerTestDatabase();
    ~ServerTestDatabase();
    ServerTestDatabase(const ServerTestDatabase &) = delete;
    ServerTestDatabase &operator=(const ServerTestDatabase &) = delete;

    bool isReady() const { return !m_url.isEmpty(); }
    const QString &url() const { return m_url; }
    // The server's own URL, for what needs no database of its own.
    static QString serverUrl();
    std::unique_ptr<store::ServerConnection> connect() const;

private:
    QString m_name;
    QString m_url;
};

} // namespace testing_support
