#include "AccountTables.h"
#include "support/InstallationTree.h"
#include "support/PrivateDatabaseServer.h"
#include "support/TestDatabase.h"

#include <QFile>
#include <gtest/gtest.h>
#include <memory>

namespace {

const QString DatabaseContext = QStringLiteral("Cannot be found, check IP Adress, and SQL Password");

// Stops the server at the n-th read of a field. A target reads each field at its assignment, after its
// row update's query and before the write, so the server goes away in the middle of that row update.
class StopServerAtFieldRead : public FormValues {
public:
    StopServerAtFieldRead(PrivateDatabaseServer &server, Field field, int read)
        : m_server(server)
        , m_field(field)
        , m_stopAt(read)
    {
    }

    QString fieldText(Field field) const override
    {
        if (field == m_field && ++m_reads == m_stopAt)
            m_server.stop();
        return FormValues::fieldText(field);
    }

private:
    PrivateDatabaseServer &m_server;
    Field m_field;
    int m_stopAt;
    mutable int m_reads = 0;
};

} // namespace

// The server stops before or during a run: what the run reports, which ticks it keeps, and which rows the
// server holds once it is back.
class ServerStop : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!TestDatabase::isTSql())
            server = std::make_unique<PrivateDatabaseServer>();
    }
    static void TearDownTestSuite() { server.reset(); }

    void SetUp() override
    {
        if (TestDatabase::isTSql())
            GTEST_SKIP() << "These run on a PostgreSQL of their own: they stop the server, which only a server of their own may be";
        if (!server->isRunning())
            server->start();
        ASSERT_TRUE(server->isRunning());
        server->execute(AccountTables::create());
    }

    void prepare(FormValues &form)
    {
        pointAtTestSystem(form, tree);
        form.setFieldText(Field::txtSQLIP, server->sqlAddress());
        AccountTables::setNewValues(form);
        AccountTables::tickOnlyDatabaseTargets(form);
    }

    static QStringList rows(const char *table) { return AccountTables::rows(server->admin(), QLatin1String(table)); }

    static std::unique_ptr<PrivateDatabaseServer> server;
    InstallationTree tree;
    Module1 module;
};

std::unique_ptr<PrivateDatabaseServer> ServerStop::server;

TEST_F(ServerStop, StoppedBeforeTheRunGivesTheMessageAloneAndKeepsEverything)
{
    FormValues form;
    prepare(form);
    server->stop();
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    server->start();

    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data"));
    EXPECT_FALSE(outcome.cause.isEmpty());
    for (int target = 0; target < FirstFileTarget; ++target)
        EXPECT_TRUE(form.isTicked(target)) << "target " << target;
    EXPECT_FALSE(QFile::exists(tree.settingsPath()));
    EXPECT_EQ(module.dbConnection.state(), DbConnection::State::Closed);
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(rows(table), AccountTables::initialRows(QLatin1String(table)));
}

TEST_F(ServerStop, StoppedBetweenTwoTargetsWritesNoRowOfEither)
{
    // txtSGPort is read three times by the checks before the run (target 1's and the settings'), then by target
    // 1's row update, after target 0 wrote its rows and before target 1 writes.
    StopServerAtFieldRead form(*server, Field::txtSGPort, 4);
    prepare(form);
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    ASSERT_FALSE(server->isRunning());
    server->start();

    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data") + QStringLiteral("TBL_SELECTGATEIPS") + DatabaseContext);
    EXPECT_FALSE(outcome.cause.isEmpty());
    for (int target = 0; target < FirstFileTarget; ++target)
        EXPECT_TRUE(form.isTicked(target)) << "target " << target;
    EXPECT_FALSE(QFile::exists(tree.settingsPath()));
    EXPECT_NE(module.dbConnection.state(), DbConnection::State::Open);
    EXPECT_FALSE(module.dbRecordset.isOpen());
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(rows(table), AccountTables::initialRows(QLatin1String(table)));
}

TEST_F(ServerStop, StoppedInsideARowUpdateWritesNothingOfItAndTheNextRunDoesTheTargetWhole)
{
    // txtNICIP is read by the first, third and fourth row update of target 0, once by the checks before the
    // run and once by the run itself: the fifth read is the run's third row update, between its query and
    // its write.
    StopServerAtFieldRead form(*server, Field::txtNICIP, 5);
    prepare(form);
    const RunOutcome outcome = runUpdateOnLoopback(form, module, tree.settingsPath());
    ASSERT_FALSE(server->isRunning());
    server->start();

    EXPECT_EQ(outcome.message, QStringLiteral("Error Reading Data") + QStringLiteral("TBL_PUBIPS") + DatabaseContext);
    EXPECT_TRUE(form.isTicked(0));
    EXPECT_TRUE(form.isTicked(1));
    EXPECT_TRUE(form.isTicked(2));
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(rows(table), AccountTables::initialRows(QLatin1String(table)));

    // The same module and form again, the server back: the kept ticks redo all three targets.
    const RunOutcome again = runUpdateOnLoopback(form, module, tree.settingsPath());
    ASSERT_TRUE(again.succeeded) << again.cause.toStdString();
    for (const char *table : {"TBL_PUBIPS", "TBL_SELECTGATEIPS", "TBL_SERVERINFO"})
        EXPECT_EQ(rows(table), AccountTables::updatedRows(QLatin1String(table)));
    EXPECT_TRUE(QFile::exists(tree.settingsPath()));
}
