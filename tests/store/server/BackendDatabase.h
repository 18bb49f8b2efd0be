#pragma once

#include "ServerTestDatabase.h"
#include "store/Database.h"
#include "support/Customers.h"
#include "support/TempProgramFolder.h"

#include <gtest/gtest.h>
#include <memory>

namespace testing_support {

enum class Backend { File, Server };

// A database of either kind with the program's empty tables, in a program
// folder of its own. A server's database is the windows' choice while this
// lives. Unless asked for one of its own, it is the one database the suite
// shares on the server, emptied for each test: a new one per test costs
// more than the test.
class BackendDatabase
{
public:
    explicit BackendDatabase(Backend backend, bool ownServerDatabase = false);
    ~BackendDatabase();
    BackendDatabase(const BackendDatabase &) = delete;
    BackendDatabase &operator=(const BackendDatabase &) = delete;

    bool onServer() const { return m_backend == Backend::Server; }
    // What the engine and a data control open: the file's path or the URL.
    QString name() const;
    const TempProgramFolder &folder() const { return m_folder; }
    // One desk: a connection of its own.
    std::shared_ptr<store::Database> open() const;

    // Customers written, read and removed beside the code under test, by
    // each backend's own means (see Customers.h for the rows). Stored rows
    // hold the values as the backend keeps them: a date is the file's ISO
    // text, a server's date.
    void insert(const QList<CustomerRow> &rows) const;
    QVariantMap stored(const QString &field, const QVariant &value) const;
    int storedCount() const;
    // Every stored row, in the order they were added.
    QList<QVariantMap> storedRows() const;
    void removeAll() const;

    // Drops the database the suite shared (see BackendTest).
    static void dropShared();

private:
    // The server's rows, in row-id order.
    QList<QVariantMap> readRows(const QString &where, const QVariantList &params) const;

    Backend m_backend;
    TempProgramFolder m_folder;
    std::shared_ptr<ServerTestDatabase> m_server;
    std::unique_ptr<store::ServerConnection> m_connection;
};

// A test whose body runs on both backends (see VANTREL_ON_BOTH_BACKENDS).
class BackendTest : public ::testing::TestWithParam<Backend>
{
protected:
    static void TearDownTestSuite() { BackendDatabase::dropShared(); }
    BackendDatabase database{GetParam()};
};

// The same on the file alone, for the tests of what is the file's own.
class FileTest : public ::testing::Test
{
protected:
    BackendDatabase database{Backend::File};
};

std::string backendName(const ::testing::TestParamInfo<Backend> &info);

} // namespace testing_support

#define VANTREL_ON_BOTH_BACKENDS(fixture)                                                                              \
    INSTANTIATE_TEST_SUITE_P(Backends, fixture,                                                                        \
                             ::testing::Values(testing_support::Backend::File, testing_support::Backend::Server),      \
                             testing_support::backendName)
